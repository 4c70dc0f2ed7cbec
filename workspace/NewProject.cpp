#include "workspace/NewProject.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystemNames.h"
#include "platform/Messages.h"
#include "platform/PathForms.h"
#include "workspace/BoardVariant.h"
#include "workspace/Captions.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tessaly {

namespace {
// A NUL cuts a name short on its way to the file system; a line end or another control
// character makes a folder that listings, the caption and the settings file break up.
bool holdsControlCharacter(const QString& name) {
    return std::any_of(name.begin(), name.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph;
    });
}

#ifdef Q_OS_WIN
// Names Windows keeps for devices in every folder, also with an extension ("aux.txt"):
// such a "folder" is the device.
bool isWindowsDeviceName(const QString& name) {
    static const QStringList devices = {
        QStringLiteral("CON"),       QStringLiteral("PRN"),       QStringLiteral("AUX"),
        QStringLiteral("NUL"),       QStringLiteral("CONIN$"),    QStringLiteral("CONOUT$"),
        QStringLiteral("COM\u00B9"), QStringLiteral("COM\u00B2"), QStringLiteral("COM\u00B3"),
        QStringLiteral("LPT\u00B9"), QStringLiteral("LPT\u00B2"), QStringLiteral("LPT\u00B3")};
    QString stem = name.section(QLatin1Char('.'), 0, 0);
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    if (devices.contains(stem, Qt::CaseInsensitive))
        return true;
    return stem.size() == 4 && stem[3] >= u'0' && stem[3] <= u'9' &&
           (stem.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ||
            stem.startsWith(QLatin1String("LPT"), Qt::CaseInsensitive));
}

// What a Windows file name cannot be: it holds a character the file system refuses
// (< > : " | ? *; a colon would name a stream of another file), or ends in a dot,
// which Windows drops, so that "Plant." would make "Plant".
bool isRefusedByWindows(const QString& name) {
    static const QString forbidden = QStringLiteral("<>:\"|?*");
    return std::any_of(name.begin(), name.end(), [](QChar c) { return forbidden.contains(c); }) ||
           name.endsWith(QLatin1Char('.')) || isWindowsDeviceName(name);
}
#endif
} // namespace

// A name must make exactly its own folder one level below the destination, and come
// back from the settings file as it went in: its reader trims blanks at a value's ends.
bool isUsableProjectName(const QString& name) {
    const bool portable = !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
                          !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
                          name.trimmed() == name && !holdsControlCharacter(name);
#ifdef Q_OS_WIN
    return portable && !isRefusedByWindows(name);
#else
    return portable;
#endif
}

std::optional<QString> projectNameRefusal(const QString& destination, const QString& name) {
    if (!isUsableProjectName(name))
        return NameNotValidMessage;
    const NameLength length = nameLengthIn(destination, name);
    if (!length.fits())
        return NameTooLongMessage.arg(length.length).arg(length.unit).arg(length.limit);
    return std::nullopt;
}

NewProjectCommand::NewProjectCommand(Workspace& workspace, Messages& messages)
    : workspace_(workspace), messages_(messages) {}

void NewProjectCommand::prepare() {
    NewProjectDestination = workspace_.paths().ProjectsDir;
}

bool NewProjectCommand::confirm(const QString& typedName) {
    NewProjectCloseAllowed = true;
    NewProjectName = typedName;
    if (NewProjectDestination.isEmpty()) {
        messages_.plain(DestinationNotValidMessage);
        NewProjectCloseAllowed = false;
    }
    if (!isUsableProjectName(NewProjectName)) {
        messages_.plain(NameNotValidMessage);
        NewProjectCloseAllowed = false;
    }
    if (NewProjectCloseAllowed)
        NewProjectCloseAllowed = createProject();
    return NewProjectCloseAllowed;
}

bool NewProjectCommand::createProject() {
    const QString directory = joinPath(NewProjectDestination, NewProjectName);
    if (QFileInfo(directory).isDir()) {
        messages_.plain(NameExistsMessage);
        return false;
    }
    std::error_code failure;
    if (!std::filesystem::create_directory(QFileInfo(directory).filesystemFilePath(), failure) || failure) {
        const QString reason =
            failure ? QString::fromLocal8Bit(failure.message()) : QStringLiteral("File exists");
        messages_.error(cannotCreateDirectoryMessage(directory, reason));
        return false;
    }
    QDir().mkpath(joinPath(directory, QStringLiteral("bin")));

    ProjectPaths& paths = workspace_.paths_;
    paths.ProjectName = NewProjectName;
    paths.ProjectDir = directory;
    workspace_.DeriveDocumentPaths();
    if (BoardVariant == 2 && writeDefaults_)
        writeDefaults_();
    return true;
}

void NewProjectCommand::finish() {
    workspace_.caption_ = captionAfterProjectCommand(workspace_.paths().ProjectName);
}

} // namespace tessaly
