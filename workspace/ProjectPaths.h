#pragma once

#include <QString>

namespace tessaly {

// Where things are. Directories are native paths without a trailing separator;
// `ProjectName` keeps the backslash form users see ("\Plant1", or "Plant1" right
// after New project).
struct ProjectPaths {
    QString ProgramDir;
    QString MasterDir;
    QString ProjectsDir;
    QString ProjectName;
    QString ProjectDir;
    QString PargenFile;
    QString VarFile;
};

} // namespace tessaly
