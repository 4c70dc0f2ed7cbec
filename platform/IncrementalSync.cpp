#include "platform/IncrementalSync.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tessaly {

void IncrementalSync::request() {
#ifdef Q_OS_UNIX
    if (fd_ < 0)
        return;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        pending_ = true;
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    else
        wake_.notify_one();
#endif
}

void IncrementalSync::finish() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void IncrementalSync::run() {
#ifdef Q_OS_UNIX
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || stopping_; });
        if (stopping_)
            return;
        pending_ = false;
        lock.unlock();
        const bool synced = ::fdatasync(fd_) == 0;
        lock.lock();
        if (!synced)
            failed_ = true;
    }
#endif
}

} // namespace tessaly
