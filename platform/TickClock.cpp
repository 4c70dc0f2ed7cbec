#include "platform/TickClock.h"

#include <QDeadlineTimer>
#include <QThread>

namespace tessaly {

std::uint32_t SystemTickClock::tickCount() {
    // Milliseconds of the monotonic clock; only differences matter, modulo 2^32.
    return static_cast<std::uint32_t>(QDeadlineTimer::current().deadline());
}

void SystemTickClock::sleep(std::uint32_t milliseconds) {
    QThread::msleep(milliseconds);
}

} // namespace tessaly
