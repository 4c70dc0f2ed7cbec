#include "firmware/SerialPortMap.h"

#include "firmware/SerialDeviceCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tessaly {

namespace {

const QString UnreadablePortMap = QStringLiteral("%1 cannot be read: %2");
const QString LineNotUnderstood = QStringLiteral("%1, line %2: \"%3\" is not understood: %4");
const QString PortLeadsNowhereUntilMended = QStringLiteral("; %1 leads to no port until the line is mended");
const QString BadComName =
    QStringLiteral("COM names are COM1 to COM%1, without blanks or leading zeros").arg(256);
const QString CommaInDevice = QStringLiteral("a device path holds no comma");
const QString NotAnEntry = QStringLiteral("an entry reads COMn=DEVICE");
const QString GivenTwice = QStringLiteral("%1 is given on line %2 already");
const QString ByIdDirectory = QStringLiteral("/dev/serial/by-id/");
constexpr int HighestComNumber = 256;

} // namespace

std::optional<int> comPortIndex(const QString& key) {
    if (!key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) || key.size() < 4)
        return std::nullopt;
    bool ok = false;
    const int number = key.mid(3).toInt(&ok);
    // "COM01" is no port name: digits exactly as the number prints.
    if (!ok || number < 1 || number > HighestComNumber || QString::number(number) != key.mid(3))
        return std::nullopt;
    return number - 1;
}

namespace {

// The index a key that is no COM name was probably meant for ("COM01", "COM 6"), or nothing.
std::optional<int> meantComIndex(const QString& key) {
    if (!key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return std::nullopt;
    bool ok = false;
    const int number = key.mid(3).trimmed().toInt(&ok);
    if (!ok || number < 1 || number > HighestComNumber)
        return std::nullopt;
    return number - 1;
}

QString unquoted(const QString& value) {
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

// Names compared with their digit runs as numbers: ttyS2 before ttyS10.
bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const QString na = a.mid(i, ei - i), nb = b.mid(j, ej - j);
            // Compare by value without overflow: strip leading zeros, then length, then text.
            qsizetype za = 0, zb = 0;
            while (za + 1 < na.size() && na[za] == QLatin1Char('0'))
                ++za;
            while (zb + 1 < nb.size() && nb[zb] == QLatin1Char('0'))
                ++zb;
            const QStringView va = QStringView(na).mid(za), vb = QStringView(nb).mid(zb);
            if (va.size() != vb.size())
                return va.size() < vb.size();
            if (const int c = va.compare(vb); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

// The group of a port in COM order: USB adapters with a by-id name, USB adapters
// without one, the others.
int rank(const SerialPortDescription& port) {
    if (!port.usb)
        return 2;
    return port.byIdName.isEmpty() ? 1 : 0;
}

bool sameDevice(const QString& given, const SerialPortDescription& port) {
    if (given == port.device ||
        (!port.byIdName.isEmpty() && (given == port.byIdName || given == ByIdDirectory + port.byIdName)))
        return true;
    const QString canonical = QFileInfo(given).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(port.device).canonicalFilePath();
}

} // namespace

QString comPortName(int portIndex) {
    return QStringLiteral("COM%1").arg(portIndex + 1);
}

PortMapFile readPortMapFile(const QString& iniPath) {
    PortMapFile file;
    if (!QFileInfo::exists(iniPath))
        return file;
    QFile ini(iniPath);
    if (!ini.open(QIODevice::ReadOnly)) {
        file.error = UnreadablePortMap.arg(iniPath, ini.errorString());
        return file;
    }
    const QString shownPath = QDir::toNativeSeparators(iniPath);
    QMap<int, int> lineOf; // port index -> line of its entry
    bool inPorts = true;   // before any section, as in [ports]
    bool anySection = false;
    int lineNumber = 0;
    for (QByteArray raw : ini.readAll().split('\n')) {
        ++lineNumber;
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            anySection = true;
            inPorts =
                line.mid(1, line.size() - 2).trimmed().compare(QLatin1String("ports"), Qt::CaseInsensitive) ==
                0;
            continue;
        }
        if (!inPorts)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? line : line.left(equals).trimmed();
        const QString device = equals < 0 ? QString() : unquoted(line.mid(equals + 1).trimmed());
        std::optional<int> index = comPortIndex(key);
        QString why;
        if (equals < 0 || !index) {
            index = meantComIndex(key);
            // Before any section other programs' settings may stand; only what looks
            // like a port's entry is ours to judge there.
            if (!index && !anySection)
                continue;
            why = equals < 0 || !index ? NotAnEntry : BadComName;
        } else if (device.isEmpty()) {
            continue;
        } else if (device.contains(QLatin1Char(','))) {
            why = CommaInDevice;
        } else if (lineOf.contains(*index)) {
            why = GivenTwice.arg(comPortName(*index)).arg(lineOf.value(*index));
        }
        if (why.isEmpty()) {
            file.devices.insert(*index, device);
            lineOf.insert(*index, lineNumber);
            continue;
        }
        QString warning = LineNotUnderstood.arg(shownPath).arg(lineNumber).arg(line, why);
        if (index) {
            file.devices.insert(*index, QString());
            lineOf.insert(*index, lineNumber);
            warning += PortLeadsNowhereUntilMended.arg(comPortName(*index));
        }
        file.warnings << warning;
    }
    return file;
}

QStringList portMapFiles(const QString& toolPath) {
    const QFileInfo tool(toolPath);
    QStringList files{QDir(tool.absolutePath()).filePath(PortMapFileName)};
    const QString resolved = tool.canonicalFilePath();
    if (!resolved.isEmpty()) {
        const QString folder = QFileInfo(resolved).absolutePath();
        if (folder != QFileInfo(tool.absolutePath()).canonicalFilePath())
            files << QDir(folder).filePath(PortMapFileName);
    }
    return files;
}

QList<SerialPortDescription> orderDetectedPorts(QList<SerialPortDescription> ports) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SerialPortDescription& a, const SerialPortDescription& b) {
                         if (rank(a) != rank(b))
                             return rank(a) < rank(b);
                         if (rank(a) == 0 && a.byIdName != b.byIdName)
                             return naturalLess(a.byIdName, b.byIdName);
                         return naturalLess(a.device, b.device);
                     });
    return ports;
}

std::optional<int> nativeComIndex(const QString& device) {
    QStringView name(device);
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return std::nullopt;
    bool ok = false;
    const int number = name.mid(3).toInt(&ok);
    return ok && number >= 1 ? std::optional<int>(number - 1) : std::nullopt;
}

SerialPortMap::SerialPortMap(QMap<int, QString> entries, QList<SerialPortDescription> detected)
    : entries_(std::move(entries)), ordered_(orderDetectedPorts(std::move(detected))) {
    native_ = std::any_of(ordered_.cbegin(), ordered_.cend(), [](const SerialPortDescription& port) {
        return nativeComIndex(port.device).has_value();
    });
    if (native_)
        return;
    // A device an entry names is reached by that entry only; the others take the
    // names no entry holds, in order, so that every detected port has one.
    int index = 0;
    for (const SerialPortDescription& port : ordered_) {
        const bool named = std::any_of(entries_.cbegin(), entries_.cend(), [&port](const QString& device) {
            return !device.isEmpty() && sameDevice(device, port);
        });
        if (named)
            continue;
        while (entries_.contains(index))
            ++index;
        numbered_.insert(index++, port);
    }
}

MappedPort SerialPortMap::port(int index) const {
    MappedPort port;
    port.index = index;
    if (const auto entry = entries_.constFind(index); entry != entries_.cend()) {
        port.origin = PortOrigin::PortMapFile;
        port.device = *entry;
        for (const SerialPortDescription& detected : ordered_)
            if (!port.device.isEmpty() && sameDevice(port.device, detected)) {
                port.detected = detected;
                break;
            }
        if (port.device.isEmpty())
            port.fault = PortFault::NotUnderstood;
        else if (!port.detected && !QFileInfo::exists(port.device))
            port.fault = PortFault::Missing;
        else if (!port.detected && !isSerialDevice(port.device))
            port.fault = PortFault::NotSerial;
        port.present = port.fault == PortFault::None;
    } else if (native_) {
        // The system's own COM names hold: COMn is the port it calls COMn.
        for (const SerialPortDescription& detected : ordered_)
            if (nativeComIndex(detected.device) == index) {
                port.origin = PortOrigin::Detected;
                port.detected = detected;
                port.device = detected.device;
                port.present = true;
                break;
            }
    } else if (const auto numbered = numbered_.constFind(index); numbered != numbered_.cend()) {
        port.origin = PortOrigin::Detected;
        port.detected = *numbered;
        port.device = numbered->device;
        port.present = true;
    }
    return port;
}

int SerialPortMap::size() const {
    const int fromIni = entries_.isEmpty() ? 0 : entries_.lastKey() + 1;
    if (!native_)
        return std::max(fromIni, numbered_.isEmpty() ? 0 : numbered_.lastKey() + 1);
    int detected = 0;
    for (const SerialPortDescription& port : ordered_)
        detected = std::max(detected, nativeComIndex(port.device).value_or(-1) + 1);
    return std::max(fromIni, detected);
}

std::optional<int> SerialPortMap::indexOfDevice(const QString& device) const {
    const QString canonical = QFileInfo(device).canonicalFilePath();
    for (int index = 0; index < size(); ++index) {
        const MappedPort mapped = port(index);
        if (mapped.origin == PortOrigin::Nowhere)
            continue;
        if (mapped.device == device || (mapped.detected && sameDevice(device, *mapped.detected)) ||
            (!canonical.isEmpty() && QFileInfo(mapped.device).canonicalFilePath() == canonical))
            return index;
    }
    return std::nullopt;
}

CurrentPortMap currentPortMap(const QStringList& iniPaths, const SerialPortScanner& scanner) {
    CurrentPortMap current;
    QMap<int, QString> entries;
    for (const QString& iniPath : iniPaths) {
        PortMapFile file = readPortMapFile(iniPath);
        if (!file.error.isEmpty() && current.iniError.isEmpty())
            current.iniError = file.error;
        current.warnings << file.warnings;
        // An earlier file's entry holds, even one that is not understood: the user
        // meant to name that port, so another file's device for it is no answer.
        for (auto entry = file.devices.cbegin(); entry != file.devices.cend(); ++entry)
            if (!entries.contains(entry.key()))
                entries.insert(entry.key(), entry.value());
    }
    current.map = SerialPortMap(current.iniError.isEmpty() ? entries : QMap<int, QString>(), scanner.ports());
    return current;
}

CurrentPortMap toolPortMap(const QString& toolPath, const SerialPortScanner& scanner) {
    return currentPortMap(portMapFiles(toolPath), scanner);
}

QString portFaultText(const MappedPort& port) {
    switch (port.fault) {
    case PortFault::NotUnderstood:
        return QStringLiteral("its %1 entry is not understood").arg(PortMapFileName);
    case PortFault::Missing:
        return QStringLiteral("%1: %2 is missing").arg(PortMapFileName, port.device);
    case PortFault::NotSerial:
        return QStringLiteral("%1: %2 is not a serial port").arg(PortMapFileName, port.device);
    case PortFault::None:
        break;
    }
    return {};
}

QString describePort(const MappedPort& port) {
    if (port.origin == PortOrigin::Nowhere)
        return NoPortText;
    if (port.fault != PortFault::None)
        return QStringLiteral("%1 (%2)").arg(NoPortText, portFaultText(port));
    QString text = port.device;
    if (port.detected) {
        QStringList about;
        const QString& description = port.detected->description;
        const QString& maker = port.detected->manufacturer;
        if (!description.isEmpty())
            about << description;
        if (!maker.isEmpty() && !description.contains(maker, Qt::CaseInsensitive))
            about << (about.isEmpty() ? maker : QStringLiteral("(%1)").arg(maker));
        if (!about.isEmpty())
            text += QStringLiteral(" — ") + about.join(QLatin1Char(' '));
    }
    if (port.origin == PortOrigin::PortMapFile)
        text += portMapMark();
    return text;
}

QString portMapMark() {
    return QStringLiteral(" [%1]").arg(PortMapFileName);
}

QString portOriginName(PortOrigin origin) {
    switch (origin) {
    case PortOrigin::PortMapFile:
        return PortMapFileName;
    case PortOrigin::Detected:
        return QStringLiteral("detected");
    case PortOrigin::Nowhere:
        break;
    }
    return {};
}

} // namespace tessaly
