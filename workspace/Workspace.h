#pragma once

#include "workspace/ProjectPaths.h"

#include <QString>
#include <optional>

namespace tessaly {

class Messages;
class Pickers;

inline const QString SettingsFileName = QStringLiteral("Tessaly.ini");
inline const QString ProjectNotValidMessage = QStringLiteral("Project not valid");
inline const QString OpenProjectTitle = QStringLiteral("Select directory of project");
inline const QString UnableToWriteSettingsMessage = QStringLiteral("Unable to write to %1");
inline const QString NextStartOpensNoProjectText = QStringLiteral("The next start opens no project.");

// The program directory, the current project and the main window's caption.
// Only this class writes ProjectPaths; every command reads it.
class Workspace {
public:
    // Sets every path from `programDir`, creates MASTER and PROJECTS when missing,
    // reads the last project from the settings file and sets the caption.
    void InitWorkspace(const QString& programDir);
    void DeriveDocumentPaths();

    // Lets the user pick a folder below PROJECTS and makes it the current project
    // (a cancel keeps the directory but recomputes the name).
    void OpenProject(Pickers& pickers);
    // What Open project does once `directory` has been chosen.
    void selectProjectDirectory(const QString& directory);

    // Writes the current project's name to the settings file. When it cannot be
    // written, returns "Unable to write to ..." with the reason on the next line, and
    // leaves no project named in the file where that can still be written.
    std::optional<QString> SaveWorkspace() const;

    // The guard of the document commands.
    bool RequireProject(Messages& messages) const;

    const ProjectPaths& paths() const { return paths_; }
    const QString& caption() const { return caption_; }
    QString settingsFilePath() const;

private:
    friend class NewProjectCommand;
    ProjectPaths paths_;
    QString caption_;
};

} // namespace tessaly
