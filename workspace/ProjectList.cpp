#include "workspace/ProjectList.h"

#include "workspace/ProjectPaths.h"

#include <QDir>
#include <algorithm>

namespace tessaly {

QStringList projectFolderNames(const ProjectPaths& paths) {
    QStringList names = QDir(paths.ProjectsDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tessaly
