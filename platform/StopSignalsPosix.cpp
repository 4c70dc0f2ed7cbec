#include "platform/PosixProgramLauncher.h"
#include "platform/StopSignals.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly {

namespace {

// What the handlers may touch: lock-free atomics only.
std::atomic<int> notifyFd{-1};       // onStopSignals: the write end of its socket pair
std::atomic<pid_t> forwardTarget{0}; // StopForwarding: the program being waited for
std::atomic<int> forwardedSignal{0};
std::atomic<int> forwardings{0};

void handleStop(int signal) {
    const int savedErrno = errno;
    if (forwardings.load() > 0) {
        int expected = 0;
        forwardedSignal.compare_exchange_strong(expected, signal);
        if (const pid_t child = forwardTarget.load(); child > 0)
            ::kill(child, signal);
    }
    if (const int fd = notifyFd.load(); fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// The dispositions before the first catch; a signal the process was told to ignore
// (SIGHUP under nohup) stays ignored.
std::array<struct sigaction, StopSignals.size()> previous{};
bool caught = false;

void catchStopSignals() {
    if (caught)
        return;
    caught = true;
    struct sigaction action {};
    action.sa_handler = handleStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < StopSignals.size(); ++i) {
        ::sigaction(StopSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN)
            ::sigaction(StopSignals[i], &action, nullptr);
    }
}

void restoreStopSignals() {
    if (!caught)
        return;
    caught = false;
    for (std::size_t i = 0; i < StopSignals.size(); ++i)
        ::sigaction(StopSignals[i], &previous[i], nullptr);
}

} // namespace

QString stopSignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(signal);
    }
}

void onStopSignals(QObject* context, std::function<void(int)> stop) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    ::fcntl(ends[1], F_SETFL, ::fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [fd = ends[0], stop = std::move(stop)] {
        unsigned char byte = 0;
        if (::read(fd, &byte, 1) == 1)
            stop(byte);
    });
    notifyFd.store(ends[1]);
    catchStopSignals();
}

StopForwarding::StopForwarding() {
    if (forwardings.fetch_add(1) == 0) {
        forwardedSignal.store(0);
        catchStopSignals();
    }
}

StopForwarding::~StopForwarding() {
    if (forwardings.fetch_sub(1) == 1 && notifyFd.load() < 0)
        restoreStopSignals();
}

int StopForwarding::received() const {
    return forwardedSignal.load();
}

void forwardStopSignalsTo(pid_t child) {
    forwardTarget.store(child);
    // A stop that came while the child was being started is its too.
    if (child > 0 && forwardings.load() > 0)
        if (const int signal = forwardedSignal.load())
            ::kill(child, signal);
}

} // namespace tessaly
