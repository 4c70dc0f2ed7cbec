#include "platform/ProgramDirectory.h"

#include "platform/AtomicFile.h"
#include "platform/ToolLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace tessaly {

namespace {
const QString Option = QStringLiteral("--program-dir");
const QString MasterFolder = QStringLiteral("MASTER");

QString withoutTrailingSeparator(const QString& path) {
    QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return QDir::toNativeSeparators(clean);
}

bool hasProgramDirOption(const QStringList& arguments) {
    return withoutProgramDirOption(arguments).size() != arguments.size();
}

// Asks the file system rather than the permission bits: root, read-only mounts and
// access control lists all answer truthfully this way.
bool canWriteIn(const QString& directory) {
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".tessaly-write-probe-XXXXXX")));
    return probe.open();
}

std::optional<QString> copyMissingFiles(const QString& from, const QString& to) {
    std::optional<QString> first;
    const QFileInfoList files = QDir(from).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& source : files) {
        const QString target = QDir(to).filePath(source.fileName());
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        QFile in(source.absoluteFilePath());
        std::optional<QString> failure;
        if (!in.open(QIODevice::ReadOnly))
            failure = cannotOpenFileMessage(source.absoluteFilePath(), in.errorString());
        else
            failure = writeFileAtomically(target, in.readAll());
        if (failure && !first)
            first = failure;
    }
    return first;
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

QString perUserProgramDirectoryText() {
#ifdef Q_OS_WIN
    return QStringLiteral("%LOCALAPPDATA%\\tessaly");
#else
    return QStringLiteral("~/.local/share/tessaly");
#endif
}

QString perUserProgramDirectory() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return withoutTrailingSeparator(QDir(data).filePath(QStringLiteral("tessaly")));
}

bool isSharedInstall(const QString& executableDir) {
    return QFileInfo::exists(QDir(executableDir).filePath(SharedInstallMarker)) || !canWriteIn(executableDir);
}

std::optional<QString> preparePerUserProgramDirectory(const QString& programDir, const QString& installDir,
                                                      const QStringList& linkedTools) {
    const QString master = QDir(programDir).filePath(MasterFolder);
    std::error_code failure;
    std::filesystem::create_directories(QFileInfo(master).filesystemFilePath(), failure);
    if (failure)
        return cannotCreateDirectoryMessage(master, QString::fromLocal8Bit(failure.message()));
    std::optional<QString> first = copyMissingFiles(QDir(installDir).filePath(MasterFolder), master);
    for (const QString& tool : linkedTools) {
        const auto failure = linkTool(QDir(installDir).filePath(tool), QDir(programDir).filePath(tool));
        if (failure && !first)
            first = failure;
    }
    return first;
}

ChosenProgramDirectory chooseProgramDirectory(const QStringList& arguments, const QString& executableDir,
                                              const QStringList& linkedTools) {
    if (hasProgramDirOption(arguments) || !isSharedInstall(executableDir))
        return {programDirectory(arguments, executableDir), std::nullopt};
    const QString perUser = perUserProgramDirectory();
    return {perUser, preparePerUserProgramDirectory(perUser, executableDir, linkedTools)};
}

} // namespace tessaly
