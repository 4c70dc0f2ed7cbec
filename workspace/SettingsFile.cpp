#include "workspace/SettingsFile.h"

#include "platform/AtomicFile.h"
#include "platform/LocalText.h"
#include "workspace/SettingsText.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace tessaly {

namespace {
const QString CannotEncode =
    QStringLiteral("Cannot write \"%1\": \"%2\" cannot be written in %3, its code page");

std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')))
        return trimmed.mid(1, trimmed.size() - 2).trimmed();
    return std::nullopt;
}

bool isComment(const QString& line) {
    const QString trimmed = line.trimmed();
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

SettingsFile SettingsFile::parse(const QByteArray& bytes) {
    SettingsFile file;
    if (bytes.isEmpty())
        return file;
    const QString text = decodeSettingsText(bytes);
    file.lines_ = text.split(QLatin1Char('\n'));
    if (file.lines_.last().isEmpty())
        file.lines_.removeLast();
    for (QString& line : file.lines_) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return file;
}

SettingsFile SettingsFile::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSize)
        return {};
    return parse(file.read(MaxSize));
}

SettingsFile::Location SettingsFile::locate(const QString& section, const QString& key) const {
    Location where;
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QString& line = lines_[i];
        if (const auto name = sectionName(line)) {
            if (inSection)
                break; // a repeated section name is not merged, as on Windows
            inSection = sameName(*name, section);
            if (inSection) {
                where.sectionLine = i;
                where.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection || isComment(line))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        where.sectionEnd = i + 1;
        if (where.keyLine < 0 && sameName(line.left(eq).trimmed(), key))
            where.keyLine = i;
    }
    return where;
}

QString SettingsFile::value(const QString& section, const QString& key, const QString& fallback) const {
    const Location where = locate(section, key);
    if (where.keyLine < 0)
        return fallback;
    const QString& line = lines_[where.keyLine];
    QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

void SettingsFile::setValue(const QString& section, const QString& key, const QString& value) {
    const Location where = locate(section, key);
    if (where.keyLine >= 0) {
        const QString& line = lines_[where.keyLine];
        lines_[where.keyLine] =
            line.left(line.indexOf(QLatin1Char('='))).trimmed() + QLatin1Char('=') + value;
        return;
    }
    const QString entry = key + QLatin1Char('=') + value;
    if (where.sectionLine >= 0) {
        lines_.insert(where.sectionEnd, entry);
        return;
    }
    lines_ << QLatin1Char('[') + section + QLatin1Char(']') << entry;
}

QByteArray SettingsFile::serialize() const {
    QByteArray bytes;
    for (const QString& line : lines_)
        bytes += encodeSettingsText(line) + "\r\n";
    return bytes;
}

std::optional<QString> SettingsFile::save(const QString& path) const {
    // An 8-bit code page holds only some characters: a value it cannot hold would be
    // written as question marks, so the file is left as it is instead.
    const QByteArray bytes = serialize();
    QString text;
    for (const QString& line : lines_)
        text += line + QStringLiteral("\r\n");
    if (decodeSettingsText(bytes) != text)
        return CannotEncode.arg(QDir::toNativeSeparators(path), charactersOutsideLocal8Bit(text),
                                local8BitName());
    return writeFileAtomically(path, bytes);
}

} // namespace tessaly
