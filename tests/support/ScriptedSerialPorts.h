#pragma once

#include "firmware/SerialPortMap.h"

namespace tessaly::test {

// The machine's serial ports as a test describes them; change `list` to plug and unplug.
class ScriptedSerialPorts final : public SerialPortScanner {
public:
    QList<SerialPortDescription> ports() const override { return list; }
    QList<SerialPortDescription> list;
};

// A described port: "ttyUSB0" becomes /dev/ttyUSB0.
inline SerialPortDescription describedPort(const QString& name, const QString& byIdName = {},
                                           bool usb = false, const QString& description = {},
                                           const QString& maker = {}) {
    return {QStringLiteral("/dev/") + name, byIdName, usb, description, maker};
}

} // namespace tessaly::test
