#pragma once

#include <QString>
#include <optional>

namespace tessaly {

// Whether the project in `projectDir` has a bin/bank1.bin that holds the configuration
// image its pargen.xml builds now, the build time and date apart. Decided by content,
// not by file times, so that a copied project, whose files all get new times, is no
// false alarm. Nothing when it does; otherwise why not: "bin/bank1.bin is missing",
// "bin/bank1.bin does not hold what pargen.xml builds now", or the build's own failure.
std::optional<QString> bankFileOutdated(const QString& projectDir);

// "bin/bank1.bin" as users see it, with the platform's separator.
QString bankFileShownName();

} // namespace tessaly
