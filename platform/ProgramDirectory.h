#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The program directory: the executable's folder, unless `--program-dir DIR` (or
// `--program-dir=DIR`) among `arguments` names another. Without a trailing separator.
QString programDirectory(const QStringList& arguments, const QString& executableDir);

// `arguments` without the `--program-dir` option and its value.
QStringList withoutProgramDirOption(const QStringList& arguments);

// A file of this name in the executable's folder marks an installed copy that all
// users share: each user then keeps PROJECTS, MASTER and Tessaly.ini in a folder
// of their own (perUserProgramDirectory()).
inline const QString SharedInstallMarker = QStringLiteral("shared-install");

// $XDG_DATA_HOME/tessaly, by default ~/.local/share/tessaly; %LOCALAPPDATA%\tessaly
// on Windows.
QString perUserProgramDirectory();
// Where that folder is by default, as users write it: "~/.local/share/tessaly", or
// "%LOCALAPPDATA%\tessaly" on Windows.
QString perUserProgramDirectoryText();

// Whether the executable's folder is no place for a user's projects: it carries the
// shared-install marker, or this user cannot write there.
bool isSharedInstall(const QString& executableDir);

// Makes `programDir` ready for use beside the installed programs in `installDir`:
// creates it with MASTER, copies every file of the installed MASTER that is missing
// there, and links each of `linkedTools` to the installed one where nothing (or only
// a broken link) is in its place. Never replaces a file the user put there.
// Returns the first failure; what could be done is done.
std::optional<QString> preparePerUserProgramDirectory(const QString& programDir, const QString& installDir,
                                                      const QStringList& linkedTools);

struct ChosenProgramDirectory {
    QString path;
    std::optional<QString> failure; // preparing the per-user folder went wrong
};

// The program directory both executables use: `--program-dir DIR` when given; else
// the executable's folder, unless that is a shared install: then the per-user folder,
// prepared on the way.
ChosenProgramDirectory chooseProgramDirectory(const QStringList& arguments, const QString& executableDir,
                                              const QStringList& linkedTools);

} // namespace tessaly
