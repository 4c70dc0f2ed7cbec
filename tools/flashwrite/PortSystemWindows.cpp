#include "tools/flashwrite/PortSystem.h"

#include <QSerialPort>
#include <windows.h>

namespace tessaly::flashwrite {

// Windows opens a COM port for one program at a time: a port in use fails to open.
std::optional<QString> PortClaim::claim(const QString&) {
    return std::nullopt;
}

void PortClaim::release() {}

std::optional<QString> drainOutput(QSerialPort& port) {
    if (::FlushFileBuffers(reinterpret_cast<HANDLE>(port.handle())))
        return std::nullopt;
    return qt_error_string(int(::GetLastError()));
}

bool hungUp(QSerialPort&) {
    return false;
}

} // namespace tessaly::flashwrite
