// run_timed RUNS COMMAND [ARGUMENTS...]: runs COMMAND once to warm the page cache, then
// RUNS times, each with standard output and error sent to files in the current folder,
// and prints the best wall time, the best processor time (user + system) and the
// largest peak memory, as "wall_s=… cpu_s=… rss_MB=…".
//
// The clock runs from just before fork to wait4's return: a shell's `date` and
// /usr/bin/time around a command add about as much as tessaly-cli's whole start-up.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Run {
    double wall = 0;
    double cpu = 0;
    double rssMB = 0;
};

bool runOnce(char* const command[], Run& run) {
    const double start = now();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const int out = open("run_timed.stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open("run_timed.stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return false;
    run.wall = now() - start;
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.rssMB = double(usage.ru_maxrss) / 1024;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: run_timed RUNS COMMAND [ARGUMENTS...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    Run best{1e9, 1e9, 0};
    for (int i = 0; i <= runs; ++i) {
        Run run;
        if (!runOnce(argv + 2, run)) {
            std::fprintf(stderr, "run_timed: %s failed; its messages are in run_timed.stderr\n", argv[2]);
            return 1;
        }
        best.rssMB = std::max(best.rssMB, run.rssMB);
        if (i == 0)
            continue;
        best.wall = std::min(best.wall, run.wall);
        best.cpu = std::min(best.cpu, run.cpu);
    }
    std::printf("wall_s=%.4f cpu_s=%.4f rss_MB=%.1f\n", best.wall, best.cpu, best.rssMB);
    return 0;
}
