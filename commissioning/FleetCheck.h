#pragma once

#include <QString>
#include <functional>

namespace tessaly {

struct ProjectPaths;

// fleet check's own lines; the findings of the built files are examineBuiltFiles'.
inline const QString NetworkAddressText = QStringLiteral("%1 is the network address of %2");
inline const QString BroadcastAddressText = QStringLiteral("%1 is the broadcast address of %2");
inline const QString MaskNotContiguousText = QStringLiteral("warning: the subnet mask %1 is not contiguous");
inline const QString AddressSharedText = QStringLiteral("%1 is used by %2");
inline const QString FleetCheckedText = QStringLiteral("%1 projects checked, %2 found");
inline const QString FleetWarningsText = QStringLiteral(", %1 warnings");

struct FleetCheckSummary {
    int projects = 0;
    int found = 0;    // what needs mending
    int warnings = 0; // what may be meant, but is worth a look
    QString text() const;
};

// Checks every project of PROJECTS: a pargen.xml that is missing, unreadable or holds
// values the dialog refuses; built files that are not current (examineBuiltFiles); an
// address a device cannot have in its subnet, or a mask whose bits are not contiguous
// (a warning). Then every address that more than one project holds. `print` receives
// each line ("NAME: finding" or "ADDRESS is used by ...") in project order.
FleetCheckSummary checkFleet(const ProjectPaths& paths, const std::function<void(const QString&)>& print);

} // namespace tessaly
