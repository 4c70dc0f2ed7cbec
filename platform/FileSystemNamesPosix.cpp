#include "platform/FileSystemNames.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace tessaly {

NameLength nameLengthIn(const QString& directory, const QString& name) {
    NameLength length;
    length.length = QFile::encodeName(name).size();
    length.unit = QStringLiteral("bytes");
    // The directory may not exist yet: its nearest existing ancestor lies on the same
    // file system, or on the one it will be made on.
    QString asked = QFileInfo(directory).absoluteFilePath();
    for (;;) {
        errno = 0;
        const long limit = pathconf(QFile::encodeName(asked).constData(), _PC_NAME_MAX);
        if (limit >= 0 || errno == 0) {
            length.limit = limit > 0 ? limit : 0;
            return length;
        }
        const QString parent = QFileInfo(asked).absolutePath();
        if (parent == asked)
            return length;
        asked = parent;
    }
}

std::optional<FileIdentity> fileIdentity(const QString& path) {
    struct stat status {};
    if (stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

bool directoryHasCaseFoldingFlag([[maybe_unused]] const QString& directory) {
#if defined(__linux__) && defined(FS_CASEFOLD_FL)
    const int fd = open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool folds = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
    close(fd);
    return folds;
#else
    return false;
#endif
}

} // namespace tessaly
