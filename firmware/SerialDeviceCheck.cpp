#include "firmware/SerialDeviceCheck.h"

#include <QFile>
#include <optional>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace tessaly {

namespace {

#ifdef Q_OS_LINUX
// Whether /proc/tty/drivers lists the device numbers `major`:`minor`; nothing when the
// list cannot be read. Its lines: name, node, major, minor or minor range, type.
std::optional<bool> listedAsTerminal(unsigned major, unsigned minor) {
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Files in /proc tell no size: read to the end rather than asking atEnd().
    for (const QByteArray& line : drivers.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[2].toUInt() != major)
            continue;
        const QList<QByteArray> range = fields[3].split('-');
        bool firstOk = false, lastOk = false;
        const unsigned first = range.first().toUInt(&firstOk);
        const unsigned last = range.last().toUInt(&lastOk);
        if (firstOk && lastOk && minor >= first && minor <= last)
            return true;
    }
    return false;
}
#endif

} // namespace

bool isSerialDevice(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
#ifdef Q_OS_LINUX
    return listedAsTerminal(major(status.st_rdev), minor(status.st_rdev)).value_or(true);
#else
    return true;
#endif
#else
    Q_UNUSED(path);
    return true;
#endif
}

} // namespace tessaly
