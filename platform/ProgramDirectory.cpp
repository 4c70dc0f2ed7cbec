#include "platform/ProgramDirectory.h"

#include <QDir>
#include <QFileInfo>

namespace tessaly {

namespace {
const QString Option = QStringLiteral("--program-dir");

QString withoutTrailingSeparator(const QString& path) {
    QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return QDir::toNativeSeparators(clean);
}
} // namespace

QString programDirectory(const QStringList& arguments, const QString& executableDir) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == Option && i + 1 < arguments.size())
            return withoutTrailingSeparator(arguments[i + 1]);
        if (arg.startsWith(Option + QLatin1Char('=')))
            return withoutTrailingSeparator(arg.mid(Option.size() + 1));
    }
    return withoutTrailingSeparator(executableDir);
}

QStringList withoutProgramDirOption(const QStringList& arguments) {
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (i > 0 && arg == Option) {
            ++i;
            continue;
        }
        if (i > 0 && arg.startsWith(Option + QLatin1Char('=')))
            continue;
        rest << arg;
    }
    return rest;
}

} // namespace tessaly
