#pragma once

#include "documents/GeneralParameters.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace tessaly {
struct ProjectPaths;
}

namespace tessaly::cli {

// The column that names the device's project; the others are keys of `set`.
inline const QString FleetProjectColumn = QStringLiteral("project");

// Why a row of the table cannot be applied. Row 0 is the header; the device rows
// count from 1.
struct FleetRefusal {
    int row = 0;
    QString column;
    QString value;
    QString message;
};

// One device the table will write: its project, created when missing, and the
// values its pargen.xml gets.
struct FleetDevice {
    int row = 0;
    QString name;
    bool isNew = false;
    GeneralParameters parameters;
    QByteArray document; // the pargen.xml for `parameters`
};

struct FleetPlan {
    std::vector<FleetDevice> devices;
    std::vector<FleetRefusal> refusals; // nothing may be written while one is here
};

// Reads the table's CSV bytes against the projects of `paths` and checks every row
// as `set` and New project check them, writing nothing.
FleetPlan planFleet(const QByteArray& csv, const ProjectPaths& paths);

} // namespace tessaly::cli
