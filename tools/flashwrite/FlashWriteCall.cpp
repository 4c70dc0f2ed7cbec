#include "tools/flashwrite/FlashWriteCall.h"

#include "tools/flashwrite/FlashWritePlatform.h"

#include <QFile>

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

SerialDevice serialDeviceFor(int portIndex, const QString& iniPath, const SerialPortScanner& serialPorts) {
    const CurrentPortMap current = currentPortMap(iniPath, serialPorts);
    if (!current.iniError.isEmpty())
        return {{}, {}, current.iniError};
    const MappedPort port = current.map.port(portIndex);
    if (port.origin == PortOrigin::Nowhere) {
        // Where the platform has COM devices of its own, the port is that device.
        if (const QString native = defaultSerialDevice(portIndex); !native.isEmpty())
            return {native, native, {}};
        return {
            {}, {}, LeadsNowhere.arg(portName(portIndex), PortMapFileName).arg(current.map.detectedCount())};
    }
    return {port.device, describePort(port), {}};
}

} // namespace tessaly::flashwrite
