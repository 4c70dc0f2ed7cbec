#pragma once

#include <QIcon>

namespace tessaly {

// The program's icon (app/resources/tessaly.svg, rendered at the usual sizes).
QIcon applicationIcon();

} // namespace tessaly
