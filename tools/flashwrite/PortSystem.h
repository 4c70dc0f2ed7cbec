#pragma once

#include <QString>
#include <optional>

class QSerialPort;

// What the flashing tool asks of the system about a serial device beyond what
// QSerialPort does: who else holds it, when the bytes written have left, whether the
// line hung up. One source file per platform implements these.
namespace tessaly::flashwrite {

// A device held by a program this process cannot name.
inline const QString InUseByAnotherProgram = QStringLiteral("in use by another program");

// Another program's hold on a device. Programs that share serial ports mark their use
// with a lock file (LCK..ttyUSB0 in /run/lock and the other lock folders, holding the
// process id; Qt programs, minicom and many others) or an flock on the device
// (picocom); QSerialPort's own check removes lock files it cannot read. The claim is
// taken before the port is opened, so a port in use keeps its settings and lock file.
class PortClaim {
public:
    PortClaim() = default;
    ~PortClaim() { release(); }
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

    // Claims `device` for this process: "in use by process 1234 (minicom)" or "in use
    // by another program" when a live process holds it. A lock file whose process no
    // longer exists is stale and removed. On success an flock on the device is held
    // until release().
    std::optional<QString> claim(const QString& device);
    void release();

private:
    int descriptor_ = -1;
};

// Waits until every byte written to `port` has left it (tcdrain; FlushFileBuffers on
// Windows). The reason when that fails.
std::optional<QString> drainOutput(QSerialPort& port);

// Whether the device behind `port` hung up: its adapter was unplugged or the other
// end of a pseudo-terminal was closed.
bool hungUp(QSerialPort& port);

} // namespace tessaly::flashwrite
