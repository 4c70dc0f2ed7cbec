#pragma once

#include <optional>

namespace tessaly {

// Raises this process's soft limit of open files (RLIMIT_NOFILE) to its hard limit, so
// that a fleet's connections are not cut short by the common default of 1024. Where
// the system has no such limit, nothing.
void raiseOpenFileLimit();

// How many more files and sockets this process may open now, under its soft limit;
// nothing where the system sets no such limit.
std::optional<int> openFilesLeft();

} // namespace tessaly
