#pragma once

#include <QDateTime>

namespace tessaly {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime localNow() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime localNow() const override;
};

} // namespace tessaly
