#pragma once

#include <QtGlobal>

namespace tessaly {

// Whether a Qt program started now from this process can open its windows: the Qt
// platform it will use needs no display (QT_QPA_PLATFORM=offscreen, ...), or the
// display that DISPLAY or WAYLAND_DISPLAY names accepts connections. Windows always
// has its desktop.
#ifdef Q_OS_WIN
inline bool displayAvailable() {
    return true;
}
#else
bool displayAvailable();
#endif

} // namespace tessaly
