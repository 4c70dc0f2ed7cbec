#pragma once

#include "firmware/SerialPortMap.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How the flashing tool is called: one parameter string, "FILE" + byte 0xB6 + the
// port index in decimal (0 for COM1), and how a port index becomes a serial device.
namespace tessaly::flashwrite {

// The highest port index the tool accepts (COM256).
inline constexpr int MaxPortIndex = 255;

struct FlashWriteCall {
    QByteArray fileNameBytes; // the file name as given, local 8-bit file-name bytes
    QString fileName;         // the same, decoded with QFile::decodeName
    int portIndex = -1;       // 0 for COM1
    QString error;            // empty when the parameter was understood
    bool ok() const { return error.isEmpty(); }
};

// Reads the parameter string byte for byte: a double quote, the file name, a double
// quote, the byte 0xB6 and 1 to 3 decimal digits, nothing before or after. The file
// name may itself hold double quotes; the last quote before 0xB6 ends it.
FlashWriteCall parseParameter(QByteArrayView parameter);

// The error when the tool is started without its parameter string.
QString missingParameterMessage();

// "COM1" for index 0.
QString portName(int portIndex);

// Which device was opened for a port, as the window and standard error say it:
// "COM1 opened: /dev/ttyUSB0 — FT232R USB UART (FTDI)".
QString openedPortText(const QString& port, const QString& description);

struct SerialDevice {
    QString device;       // the device path, e.g. /dev/ttyUSB0
    QString description;  // what the port is, for the window and standard error
    QString error;        // empty when a device was found
    QStringList warnings; // lines of the port map that were not understood
    bool ok() const { return error.isEmpty(); }
};

// The serial device for the port `portIndex`, by the port map the configurator shows:
// the FlashWrite.ini files `portMapFiles` (earlier ones first) and the ports
// `serialPorts` detects.
SerialDevice serialDeviceFor(int portIndex, const QStringList& portMapFiles,
                             const SerialPortScanner& serialPorts);

// The tool's file as it was started, which decides its port map (portMapFiles()): the
// path in `argument0` when it names one (a link in a per-user program directory stays
// that link), otherwise `applicationFile`, the file the system says is running.
QString startedToolFile(const QString& argument0, const QString& applicationFile);

} // namespace tessaly::flashwrite
