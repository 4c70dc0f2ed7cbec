#pragma once

#include "firmware/SerialPortMap.h"

namespace tessaly {

// The machine's serial ports as QSerialPortInfo lists them; on Linux each gets its
// stable name from the /dev/serial/by-id links.
class SystemSerialPorts final : public SerialPortScanner {
public:
    QList<SerialPortDescription> ports() const override;
};

} // namespace tessaly
