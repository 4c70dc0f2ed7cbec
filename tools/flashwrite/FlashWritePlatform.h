#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What the flashing tool stand-in takes from its platform: one source file per
// platform implements these.
namespace tessaly::flashwrite {

// The parameter string exactly as the caller wrote it, or nothing when there is none.
// On POSIX systems it is the one argument; on Windows it is the raw command line after
// the program name, since the C runtime's argument splitting would drop its quotes.
std::optional<QByteArray> commandParameter(int argc, char* argv[]);

// The platform's own device for port `portIndex` (0 for COM1) when the port map leads
// nowhere: the COM device itself on Windows, none elsewhere.
QString defaultSerialDevice(int portIndex);

} // namespace tessaly::flashwrite
