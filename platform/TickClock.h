#pragma once

#include <cstdint>

namespace tessaly {

// A millisecond tick count that wraps at 32 bits, and a sleep. Waits that are bounded
// by the tick count go through this so that tests can drive them.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::uint32_t tickCount() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

class SystemTickClock final : public TickClock {
public:
    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
};

} // namespace tessaly
