#pragma once

#include <QString>
#include <optional>

namespace tessaly {

// Puts the installed tool `installed` at `link` in a per-user program directory,
// unless something is already there (the linked tool, or a real one the user put in
// its place). One source file per platform implements it: a symbolic link on POSIX
// systems, a hard link (a copy across volumes) on Windows, where a shell link would be
// no program to start. Returns the reason on failure.
std::optional<QString> linkTool(const QString& installed, const QString& link);

} // namespace tessaly
