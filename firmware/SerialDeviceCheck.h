#pragma once

#include <QString>

namespace tessaly {

// Whether `path` names a terminal device (a serial port, a USB adapter, a
// pseudo-terminal), not /dev/null or a plain file. Decided from the device's numbers
// without opening it: opening a serial port raises its modem lines, which resets some
// boards. On Linux the numbers are looked up among the terminal drivers the kernel
// lists; elsewhere every character device counts. Windows names its ports itself and
// is not asked: there every path counts.
bool isSerialDevice(const QString& path);

} // namespace tessaly
