#include "platform/Clock.h"

namespace tessaly {

QDateTime SystemClock::localNow() const { return QDateTime::currentDateTime(); }

} // namespace tessaly
