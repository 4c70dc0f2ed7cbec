#pragma once

#include <QByteArray>
#include <QStringList>

namespace tessaly {

struct ProjectPaths;

// Every project of PROJECTS as a fleet table: the column project, then the twenty
// elements of pargen.xml; one row per project in name order; UTF-8, CR LF. A project
// whose pargen.xml cannot be read is left out and its reason kept.
struct FleetExport {
    QByteArray csv;
    QStringList errors;
};
FleetExport exportFleet(const ProjectPaths& paths);

} // namespace tessaly
