#include "tools/flashwrite/FlashWriteCall.h"

#include "tools/flashwrite/FlashWritePlatform.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

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
const QString UnreadablePortMap = QStringLiteral("%1 cannot be read: %2");

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
    return QStringLiteral("COM%1").arg(portIndex + 1);
}

SerialDevice serialDeviceFor(int portIndex, const QString& iniPath) {
    SerialDevice found{defaultSerialDevice(portIndex), {}};
    if (!QFileInfo::exists(iniPath))
        return found;
    QFile probe(iniPath);
    if (!probe.open(QIODevice::ReadOnly))
        return {{}, UnreadablePortMap.arg(iniPath, probe.errorString())};
    const QSettings map(iniPath, QSettings::IniFormat);
    if (map.status() != QSettings::NoError)
        return {{}, UnreadablePortMap.arg(iniPath, QStringLiteral("format error"))};
    const QString wanted = portName(portIndex);
    for (const QString& key : map.allKeys()) {
        // Keys before any section have no group; those of [ports] carry "ports/".
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        const QString group = slash < 0 ? QString() : key.left(slash);
        const QString name = key.mid(slash + 1);
        if ((group.isEmpty() || group.compare(QStringLiteral("ports"), Qt::CaseInsensitive) == 0) &&
            name.compare(wanted, Qt::CaseInsensitive) == 0) {
            const QString device = map.value(key).toString().trimmed();
            if (!device.isEmpty())
                found.device = device;
        }
    }
    return found;
}

} // namespace tessaly::flashwrite
