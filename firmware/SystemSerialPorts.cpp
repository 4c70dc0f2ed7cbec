#include "firmware/SystemSerialPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

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

// What changes when a device node is added or removed: the modification times of /dev
// and /dev/serial/by-id. Empty where there is no such sign; then every call scans.
QByteArray deviceNodesStamp() {
    QByteArray stamp;
#ifdef Q_OS_LINUX
    for (const char* directory : {"/dev", "/dev/serial/by-id"}) {
        struct stat status {};
        if (::stat(directory, &status) != 0) {
            stamp += "-;";
            continue;
        }
        stamp += QByteArray::number(qint64(status.st_mtim.tv_sec)) + '.' +
                 QByteArray::number(qint64(status.st_mtim.tv_nsec)) + ';';
    }
#endif
    return stamp;
}

} // namespace

QList<SerialPortDescription> SystemSerialPorts::ports() const {
    const QByteArray stamp = deviceNodesStamp();
    if (cached_ && !stamp.isEmpty() && stamp == cachedStamp_)
        return *cached_;
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
    cached_ = ports;
    cachedStamp_ = stamp;
    return ports;
}

} // namespace tessaly
