#pragma once

#include "firmware/SerialPortMap.h"

#include <QByteArray>
#include <optional>

namespace tessaly {

// The machine's serial ports as QSerialPortInfo lists them; on Linux each gets its
// stable name from the /dev/serial/by-id links.
class SystemSerialPorts final : public SerialPortScanner {
public:
    QList<SerialPortDescription> ports() const override;

private:
    // A full scan takes tens of milliseconds, too long to repeat every second on the
    // user-interface thread; it is repeated only when a device node came or went.
    mutable std::optional<QList<SerialPortDescription>> cached_;
    mutable QByteArray cachedStamp_;
};

} // namespace tessaly
