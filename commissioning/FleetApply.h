#pragma once

#include "commissioning/FleetTable.h"

#include <QString>
#include <functional>

namespace tessaly {

class Clock;
class Workspace;

// The result of one device, as its line after the project's name says it.
inline const QString DeviceDoneText = QStringLiteral("done");
inline const QString DeviceUnchangedText = QStringLiteral("unchanged");
inline const QString DeviceFailedText = QStringLiteral("failed: %1");
// The last line: devices done (written, or left alone as current) of all, and how many
// of them were left alone.
inline const QString FleetAppliedText = QStringLiteral("%1 of %2 devices done");
inline const QString FleetUnchangedText = QStringLiteral(", %1 of them unchanged");

struct FleetDeviceResult {
    enum Outcome { Done, Unchanged, Failed } outcome = Failed;
    QString reasons; // what the steps said, for a device that failed
    QString text() const;
};

// Applies every device of a plan without refusals: each device's pargen.xml, bank
// files and new firmware are written where they are not current already (by the rule
// of examineBuiltFiles), so a device whose files are all current is not touched. A
// device that fails does not stop the others. Several devices are written at once;
// `report` receives each result on the calling thread, in table order, as soon as it
// and the ones before it are known.
void applyFleet(const FleetPlan& plan, const Workspace& workspace, const Clock& clock,
                const std::function<void(const FleetDevice&, const FleetDeviceResult&)>& report);

} // namespace tessaly
