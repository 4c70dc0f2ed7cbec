#include "platform/BackgroundRelease.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QThreadPool>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaly {

namespace {

#ifdef Q_OS_UNIX
// The regular file at `path`, opened; -1 when there is none.
int openOld(const QString& path) {
    // O_NONBLOCK: a FIFO in the file's place must not stop the commit.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif

} // namespace

bool commitReleasingOldInBackground(QSaveFile& file) {
    const QString path = file.fileName();
#ifdef Q_OS_UNIX
    const int old = openOld(path);
#endif
    // Windows replaces no file that is open, so there the old file is freed in place.
    const bool committed = file.commit();
#ifdef Q_OS_UNIX
    if (old >= 0)
        QThreadPool::globalInstance()->start([old] { ::close(old); });
#endif
    if (committed)
        removeLeftoverTemporaries(path);
    return committed;
}

} // namespace tessaly
