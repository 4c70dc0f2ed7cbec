#pragma once

#include <QString>

namespace tessaly {

// The version the configurator and tessaly-cli give (--version) and the About box shows.
inline const QString ProgramVersion = QStringLiteral("1.001");

} // namespace tessaly
