#include "firmware/SerialPortMap.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>

namespace tessaly {

namespace {

const QString UnreadablePortMap = QStringLiteral("%1 cannot be read: %2");
const QString ByIdDirectory = QStringLiteral("/dev/serial/by-id/");

// The index of a key "COMn" (n from 1), or nothing.
std::optional<int> comKeyIndex(const QString& key) {
    if (!key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) || key.size() < 4)
        return std::nullopt;
    bool ok = false;
    const int number = key.mid(3).toInt(&ok);
    // "COM01" is no port name: digits exactly as the number prints.
    if (!ok || number < 1 || QString::number(number) != key.mid(3))
        return std::nullopt;
    return number - 1;
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
    QFile probe(iniPath);
    if (!probe.open(QIODevice::ReadOnly)) {
        file.error = UnreadablePortMap.arg(iniPath, probe.errorString());
        return file;
    }
    const QSettings ini(iniPath, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        file.error = UnreadablePortMap.arg(iniPath, QStringLiteral("format error"));
        return file;
    }
    for (const QString& key : ini.allKeys()) {
        // Keys before any section have no group; those of [ports] carry "ports/".
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        const QString group = slash < 0 ? QString() : key.left(slash);
        if (!group.isEmpty() && group.compare(QStringLiteral("ports"), Qt::CaseInsensitive) != 0)
            continue;
        const std::optional<int> index = comKeyIndex(key.mid(slash + 1));
        const QString device = ini.value(key).toString().trimmed();
        if (index && !device.isEmpty())
            file.devices.insert(*index, device);
    }
    return file;
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
}

MappedPort SerialPortMap::port(int index) const {
    MappedPort port;
    port.index = index;
    if (const auto entry = entries_.constFind(index); entry != entries_.cend()) {
        port.origin = PortOrigin::PortMapFile;
        port.device = *entry;
        for (const SerialPortDescription& detected : ordered_)
            if (sameDevice(port.device, detected)) {
                port.detected = detected;
                break;
            }
        port.present = port.detected || QFileInfo::exists(port.device);
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
    } else if (index >= 0 && index < ordered_.size()) {
        port.origin = PortOrigin::Detected;
        port.detected = ordered_[index];
        port.device = port.detected->device;
        port.present = true;
    }
    return port;
}

int SerialPortMap::size() const {
    const int fromIni = entries_.isEmpty() ? 0 : entries_.lastKey() + 1;
    if (!native_)
        return std::max(fromIni, int(ordered_.size()));
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

CurrentPortMap currentPortMap(const QString& iniPath, const SerialPortScanner& scanner) {
    PortMapFile file = readPortMapFile(iniPath);
    return {SerialPortMap(std::move(file.devices), scanner.ports()), file.error};
}

QString describePort(const MappedPort& port) {
    if (port.origin == PortOrigin::Nowhere)
        return NoPortText;
    if (!port.present)
        return QStringLiteral("%1 (%2: %3 is missing)").arg(NoPortText, PortMapFileName, port.device);
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
        text += QStringLiteral(" [%1]").arg(PortMapFileName);
    return text;
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
