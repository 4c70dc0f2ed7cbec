#include "firmware/SystemSerialPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace tessaly {

namespace {

// Device path -> name of its link in /dev/serial/by-id (udev's names built from the
// adapter's maker, model and serial number, stable across plugging).
QHash<QString, QString> byIdNames() {
    QHash<QString, QString> names;
#ifdef Q_OS_LINUX
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList links =
        byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !names.contains(target))
            names.insert(target, link.fileName());
    }
#endif
    return names;
}

} // namespace

QList<SerialPortDescription> SystemSerialPorts::ports() const {
    const QHash<QString, QString> names = byIdNames();
    QList<SerialPortDescription> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortDescription port;
        port.device = info.systemLocation();
        const QString canonical = QFileInfo(port.device).canonicalFilePath();
        port.byIdName = names.value(canonical.isEmpty() ? port.device : canonical);
        port.usb = info.hasVendorIdentifier() || !port.byIdName.isEmpty();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        ports << port;
    }
    return ports;
}

} // namespace tessaly
