#include "platform/OpenFiles.h"

namespace tessaly {

// Windows sets no limit of open sockets per process.
void raiseOpenFileLimit() {}

std::optional<int> openFilesLeft() {
    return std::nullopt;
}

} // namespace tessaly
