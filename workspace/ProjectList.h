#pragma once

#include <QStringList>

namespace tessaly {

struct ProjectPaths;

// The folders of PROJECTS, in name order (by character code, so the same on every
// machine): the projects that the fleet commands work on.
QStringList projectFolderNames(const ProjectPaths& paths);

} // namespace tessaly
