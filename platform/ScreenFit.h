#pragma once

class QWidget;

namespace tessaly {

// Shrinks `window` to what its screen has available, leaving room for the window
// manager's frame, and moves it inside that area: on a small screen with large fonts
// no button ends up beyond the edge. Call before the window is shown (or after, to
// fit it again).
void fitToScreen(QWidget& window);

} // namespace tessaly
