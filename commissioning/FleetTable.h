#pragma once

#include "documents/GeneralParameters.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace tessaly {

struct ProjectPaths;

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
// The refusal as one line: row, column and value (control characters written as
// escapes, so that the line stays one line), then the message.
QString describeRefusal(const FleetRefusal& refusal);

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
// as `set` and New project check them, and against the file system: a name it cannot
// hold, and two rows that lead to one folder (a link, or names that differ only where
// the volume does not tell them apart). Writes nothing.
FleetPlan planFleet(const QByteArray& csv, const ProjectPaths& paths);

} // namespace tessaly
