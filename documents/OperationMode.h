#pragma once

#include <QString>
#include <optional>

namespace tessaly {

// Whether the Translate Table command is enabled for the document at `pargenFile`:
// nothing (leave it as it is) when the file is missing or does not load; false when
// its MODE converts to 0; true otherwise, also when MODE cannot be read.
std::optional<bool> translateTableEnabledFor(const QString& pargenFile);

} // namespace tessaly
