#include "tools/flashwrite/PortSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSet>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace tessaly::flashwrite {

namespace {

const QString InUseByProcess = QStringLiteral("in use by process %1");
const QString InUseByNamedProcess = QStringLiteral("in use by process %1 (%2)");
const QString LockedByUnreadableFile = QStringLiteral("locked by %1, which names no process");

// Where programs put the lock files of serial devices: the FHS folder and the others
// that QSerialPort and older programs use.
const QStringList LockFolders = {QStringLiteral("/run/lock"),
                                 QStringLiteral("/var/lock"),
                                 QStringLiteral("/var/lock/lockdev"),
                                 QStringLiteral("/var/spool/locks"),
                                 QStringLiteral("/var/spool/uucp"),
                                 QStringLiteral("/etc/locks"),
                                 QStringLiteral("/tmp"),
                                 QStringLiteral("/var/tmp")};

// The names a lock file of `device` may have: LCK.. and the device's base name (the
// FHS form), or its path below /dev with slashes as underscores (QSerialPort's form),
// for the path as given and for the device it leads to.
QStringList lockFileNames(const QString& device) {
    QStringList names;
    for (const QString& path : {device, QFileInfo(device).canonicalFilePath()}) {
        if (path.isEmpty())
            continue;
        QString below = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
        below.replace(QLatin1Char('/'), QLatin1Char('_'));
        for (const QString& name : {QFileInfo(path).fileName(), below})
            if (!names.contains(QStringLiteral("LCK..") + name))
                names << QStringLiteral("LCK..") + name;
    }
    return names;
}

// The process id a lock file holds: ten characters of ASCII digits (FHS), a line of
// digits (QLockFile), or a binary int (older UUCP programs). Nothing when it holds none.
std::optional<pid_t> lockOwner(const QByteArray& content) {
    const QByteArray firstLine = content.left(content.indexOf('\n')).trimmed();
    bool ok = false;
    const qlonglong pid = firstLine.toLongLong(&ok);
    if (ok && pid > 0)
        return pid_t(pid);
    if (content.size() == int(sizeof(int))) {
        int binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        if (binary > 0)
            return pid_t(binary);
    }
    return std::nullopt;
}

bool processExists(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// "in use by process 1234 (minicom)", the program's name where the system tells it.
QString inUseBy(pid_t pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly))
        if (const QString command = QString::fromLocal8Bit(comm.readAll()).trimmed(); !command.isEmpty())
            return InUseByNamedProcess.arg(pid).arg(command);
    return InUseByProcess.arg(pid);
}

// The first live holder among the lock files of `device`; stale ones are removed.
std::optional<QString> lockFileHolder(const QString& device) {
    QSet<QString> seenFolders;
    for (const QString& folder : LockFolders) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || seenFolders.contains(canonical))
            continue;
        seenFolders.insert(canonical);
        for (const QString& name : lockFileNames(device)) {
            const QString path = QDir(canonical).filePath(name);
            QFile lock(path);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            const std::optional<pid_t> owner = lockOwner(lock.read(64));
            lock.close();
            if (!owner)
                return LockedByUnreadableFile.arg(path);
            if (*owner == ::getpid())
                continue;
            if (processExists(*owner))
                return inUseBy(*owner);
            QFile::remove(path); // its process is gone: the lock is stale
        }
    }
    return std::nullopt;
}

// The process holding an flock on the file behind `descriptor`, from /proc/locks.
std::optional<pid_t> flockHolder(int descriptor) {
#ifdef Q_OS_LINUX
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::nullopt;
    const QByteArray id = QStringLiteral("%1:%2:%3")
                              .arg(major(status.st_dev), 2, 16, QLatin1Char('0'))
                              .arg(minor(status.st_dev), 2, 16, QLatin1Char('0'))
                              .arg(status.st_ino)
                              .toLatin1();
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF"; files in /proc tell no size.
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields[1] == "FLOCK" && fields[5] == id)
            return pid_t(fields[4].toLongLong());
    }
#else
    Q_UNUSED(descriptor);
#endif
    return std::nullopt;
}

} // namespace

std::optional<QString> PortClaim::claim(const QString& device) {
    release();
    if (auto holder = lockFileHolder(device))
        return holder;
    const int descriptor =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        // Held exclusively (TIOCEXCL) by another program; any other failure is left to
        // the opening of the port, which says it in its own words.
        return errno == EBUSY ? std::optional<QString>(InUseByAnotherProgram) : std::nullopt;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const std::optional<pid_t> holder = error == EWOULDBLOCK ? flockHolder(descriptor) : std::nullopt;
        ::close(descriptor);
        if (error != EWOULDBLOCK)
            return std::nullopt; // a device that takes no flock
        return holder ? inUseBy(*holder) : InUseByAnotherProgram;
    }
    // A POSIX record lock, as some programs take instead.
    struct flock record {};
    record.l_type = F_WRLCK;
    record.l_whence = SEEK_SET;
    if (::fcntl(descriptor, F_GETLK, &record) == 0 && record.l_type != F_UNLCK) {
        ::close(descriptor);
        return inUseBy(record.l_pid);
    }
    descriptor_ = descriptor;
    return std::nullopt;
}

void PortClaim::release() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

std::optional<QString> drainOutput(QSerialPort& port) {
    while (::tcdrain(port.handle()) != 0)
        if (errno != EINTR)
            return QString::fromLocal8Bit(std::strerror(errno));
    return std::nullopt;
}

bool hungUp(QSerialPort& port) {
    pollfd state{port.handle(), POLLOUT, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)) != 0;
}

} // namespace tessaly::flashwrite
