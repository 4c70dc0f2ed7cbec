#include "tools/flashwrite/FlashWriteCall.h"

#include "tools/flashwrite/FlashWritePlatform.h"

#include <QFile>
#include <QFileInfo>

namespace tessaly::flashwrite {

namespace {

const QString MissingParameter = QStringLiteral(
    "Missing parameter: FlashWrite.exe expects one argument, \"FILE\" + byte 0xB6 + port index");
const QString NoOpeningQuote = QStringLiteral("The parameter does not start with a double quote");
const QString NoSeparator =
    QStringLiteral("The parameter holds no closing double quote followed by the byte 0xB6");
const QString EmptyFileName = QStringLiteral("The parameter names no file");
const QString BadPortIndex =
    QStringLiteral("The port index after the byte 0xB6 is not a number from 0 to %1").arg(MaxPortIndex);
const QString LeadsNowhere = QStringLiteral("%1 leads to no serial port (no %2 entry, %3 port(s) detected)");
const QString LeadsNowhereBecause = QStringLiteral("%1 leads to no serial port: %2");
const QString NotASerialPort = QStringLiteral("%1 (%2) is not a serial port");

constexpr char Quote = '"';
constexpr char Separator = char(0xB6);

FlashWriteCall failed(const QString& error) {
    FlashWriteCall call;
    call.error = error;
    return call;
}

} // namespace

QString missingParameterMessage() {
    return MissingParameter;
}

FlashWriteCall parseParameter(QByteArrayView parameter) {
    if (parameter.isEmpty() || parameter.front() != Quote)
        return failed(NoOpeningQuote);
    const qsizetype separator = parameter.lastIndexOf(Separator);
    if (separator < 2 || parameter[separator - 1] != Quote)
        return failed(NoSeparator);
    const QByteArrayView digits = parameter.sliced(separator + 1);
    if (digits.isEmpty() || digits.size() > 3)
        return failed(BadPortIndex);
    int index = 0;
    for (const char digit : digits) {
        if (digit < '0' || digit > '9')
            return failed(BadPortIndex);
        index = index * 10 + (digit - '0');
    }
    if (index > MaxPortIndex)
        return failed(BadPortIndex);
    FlashWriteCall call;
    call.fileNameBytes = parameter.sliced(1, separator - 2).toByteArray();
    if (call.fileNameBytes.isEmpty())
        return failed(EmptyFileName);
    call.fileName = QFile::decodeName(call.fileNameBytes);
    call.portIndex = index;
    return call;
}

QString portName(int portIndex) {
    return comPortName(portIndex);
}

QString openedPortText(const QString& port, const QString& description) {
    return QStringLiteral("%1 opened: %2").arg(port, description);
}

SerialDevice serialDeviceFor(int portIndex, const QStringList& portMapFiles,
                             const SerialPortScanner& serialPorts) {
    const CurrentPortMap current = currentPortMap(portMapFiles, serialPorts);
    SerialDevice found;
    found.warnings = current.warnings;
    if (!current.iniError.isEmpty()) {
        found.error = current.iniError;
        return found;
    }
    const MappedPort port = current.map.port(portIndex);
    switch (port.fault) {
    case PortFault::NotUnderstood:
        found.error = LeadsNowhereBecause.arg(portName(portIndex), portFaultText(port));
        return found;
    case PortFault::NotSerial:
        found.error = NotASerialPort.arg(portName(portIndex), port.device);
        return found;
    case PortFault::Missing: // opening it says so, with the system's words
    case PortFault::None:
        break;
    }
    if (port.origin == PortOrigin::Nowhere) {
        // Where the platform has COM devices of its own, the port is that device.
        if (const QString native = defaultSerialDevice(portIndex); !native.isEmpty()) {
            found.device = found.description = native;
            return found;
        }
        found.error = LeadsNowhere.arg(portName(portIndex), PortMapFileName).arg(current.map.detectedCount());
        return found;
    }
    found.device = port.device;
    found.description = describePort(port);
    return found;
}

QString startedToolFile(const QString& argument0, const QString& applicationFile) {
    const bool namesAPath = argument0.contains(QLatin1Char('/')) || argument0.contains(QLatin1Char('\\'));
    if (namesAPath && QFileInfo(argument0).isFile())
        return QFileInfo(argument0).absoluteFilePath();
    return applicationFile;
}

} // namespace tessaly::flashwrite
