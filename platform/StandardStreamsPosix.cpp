#include "platform/StandardStreams.h"

namespace tessaly {

// POSIX streams never translate line ends.
void useBinaryStandardStreams() {}

} // namespace tessaly
