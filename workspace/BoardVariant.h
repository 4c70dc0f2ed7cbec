#pragma once

namespace tessaly {

// The board this build configures. New project writes the default documents and
// Update Device builds the image files only for board 2.
inline constexpr int BoardVariant = 2;

} // namespace tessaly
