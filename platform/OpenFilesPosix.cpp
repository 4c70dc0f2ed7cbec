#include "platform/OpenFiles.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>

namespace tessaly {

namespace {
// Descriptors open now: the entries of /proc/self/fd where there is one (less the
// directory's own), else every number below the limit asked in turn.
int openDescriptors(rlim_t limit) {
    if (DIR* directory = ::opendir("/proc/self/fd")) {
        int count = 0;
        while (const dirent* entry = ::readdir(directory))
            count += entry->d_name[0] != '.';
        ::closedir(directory);
        return count - 1;
    }
    int count = 0;
    const int last = static_cast<int>(std::min<rlim_t>(limit, std::numeric_limits<int>::max()));
    for (int fd = 0; fd < last; ++fd)
        count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}
} // namespace

void raiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

std::optional<int> openFilesLeft() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::nullopt;
    const rlim_t soft = std::min<rlim_t>(limit.rlim_cur, std::numeric_limits<int>::max());
    return std::max(0, static_cast<int>(soft) - openDescriptors(soft));
}

} // namespace tessaly
