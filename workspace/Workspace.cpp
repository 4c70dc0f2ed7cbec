#include "workspace/Workspace.h"

#include "platform/Messages.h"
#include "platform/PathForms.h"
#include "platform/Pickers.h"
#include "workspace/Captions.h"
#include "workspace/SettingsFile.h"

#include <QDir>
#include <QFileInfo>

namespace tessaly {

namespace {
const QString SettingsSection = QStringLiteral("lastproj");
const QString SettingsKey = QStringLiteral("projectname");

bool directoryExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

void createIfMissing(const QString& path) {
    if (!directoryExists(path))
        QDir().mkdir(path); // start-up goes on whatever happens
}
} // namespace

QString Workspace::settingsFilePath() const { return joinPath(paths_.ProgramDir, SettingsFileName); }

void Workspace::InitWorkspace(const QString& programDir) {
    paths_ = {};
    paths_.ProgramDir = programDir;
    paths_.MasterDir = joinPath(programDir, QStringLiteral("MASTER"));
    createIfMissing(paths_.MasterDir);
    paths_.ProjectsDir = joinPath(programDir, QStringLiteral("PROJECTS"));
    createIfMissing(paths_.ProjectsDir);

    paths_.ProjectName = SettingsFile::load(settingsFilePath()).value(SettingsSection, SettingsKey);
    if (!paths_.ProjectName.isEmpty() && !paths_.ProjectName.startsWith(QLatin1Char('\\')))
        paths_.ProjectName.prepend(QLatin1Char('\\'));

    const QString stored = paths_.ProjectsDir + nativeFromStored(paths_.ProjectName);
    if (!paths_.ProjectName.isEmpty() && directoryExists(stored)) {
        paths_.ProjectDir = stored;
        caption_ = captionAfterStartup(paths_.ProjectName);
    } else {
        // The stored name is kept, so that it is written back at close.
        paths_.ProjectDir = paths_.ProjectsDir;
        caption_ = ProductTitle;
    }
    DeriveDocumentPaths();
}

void Workspace::DeriveDocumentPaths() {
    paths_.PargenFile = joinPath(paths_.ProjectDir, QStringLiteral("pargen.xml"));
    paths_.VarFile = joinPath(paths_.ProjectDir, QStringLiteral("var.xml"));
}

void Workspace::OpenProject(Pickers& pickers) {
    if (!paths_.ProjectDir.isEmpty() && !directoryExists(paths_.ProjectDir))
        paths_.ProjectDir.clear();
    const auto chosen = pickers.pickFolder(OpenProjectTitle, paths_.ProjectsDir, paths_.ProjectDir);
    selectProjectDirectory(chosen.value_or(paths_.ProjectDir));
}

void Workspace::selectProjectDirectory(const QString& directory) {
    paths_.ProjectDir = directory;
    const qsizetype prefix = paths_.ProjectsDir.size();
    paths_.ProjectName = paths_.ProjectDir.size() > prefix ? storedFromNative(paths_.ProjectDir.mid(prefix))
                                                           : QString();
    caption_ = captionAfterProjectCommand(paths_.ProjectName);
    DeriveDocumentPaths();
}

std::optional<QString> Workspace::SaveWorkspace() const {
    const QString path = settingsFilePath();
    SettingsFile settings = SettingsFile::load(path);
    settings.setValue(SettingsSection, SettingsKey, paths_.ProjectName);
    const std::optional<QString> failure = settings.save(path);
    if (!failure)
        return std::nullopt;
    QString message = UnableToWriteSettingsMessage.arg(path) + QLatin1Char('\n') + *failure;
    // Better no project at the next start than the one before this: a name the file's
    // code page cannot hold is left out where the file can still be written.
    settings.setValue(SettingsSection, SettingsKey, QString());
    if (!paths_.ProjectName.isEmpty() && !settings.save(path))
        message += QLatin1Char('\n') + NextStartOpensNoProjectText;
    return message;
}

bool Workspace::RequireProject(Messages& messages) const {
    if (!paths_.ProjectDir.isEmpty())
        return true;
    messages.plain(ProjectNotValidMessage);
    return false;
}

} // namespace tessaly
