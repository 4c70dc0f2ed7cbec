#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace tessaly {

QString cannotCreateFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
}

QString cannotCreateDirectoryMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create directory \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
}

QString cannotOpenFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    // Unbuffered, so that a write the file system refuses (a full disk) fails here;
    // buffered bytes that cannot be flushed are not reported by commit(), which then
    // puts a short file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotCreateFileMessage(path, file.errorString());
    if (const std::optional<QString> reason = writeWhole(file, data)) {
        file.cancelWriting();
        return cannotCreateFileMessage(path, *reason);
    }
    if (!file.commit())
        return cannotCreateFileMessage(path, file.errorString());
    removeLeftoverTemporaries(path);
    return std::nullopt;
}

std::optional<QString> writeWhole(QFileDevice& file, QByteArrayView data) {
    // A write that falls short reports no error; the next one fails with the
    // system's reason (a full disk: "No space left on device").
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 count = file.write(data.data() + written, data.size() - written);
        if (count <= 0)
            break;
        written += count;
    }
    if (written == data.size())
        return std::nullopt;
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QStringLiteral("Only %1 of %2 bytes were written.").arg(written).arg(data.size());
}

void removeLeftoverTemporaries(const QString& path) {
    const QFileInfo target(path);
    const QString prefix = target.fileName() + QLatin1Char('.');
    constexpr qsizetype RandomPartLength = 6; // QSaveFile's "name.XXXXXX"
    const auto isLetter = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    const QDir directory = target.absoluteDir();
    const QFileInfoList entries =
        directory.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.size() != prefix.size() + RandomPartLength || !name.startsWith(prefix) || entry.isSymLink())
            continue;
        const QStringView random = QStringView(name).mid(prefix.size());
        if (std::all_of(random.begin(), random.end(), isLetter))
            QFile::remove(entry.absoluteFilePath());
    }
}

} // namespace tessaly
