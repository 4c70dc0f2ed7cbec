#pragma once

#include <QString>
#include <functional>

class QObject;

namespace tessaly {

// Requests from outside to stop: SIGINT, SIGTERM and SIGHUP on POSIX systems. Windows
// has no such signals for these programs; there the functions below do nothing.

// "SIGTERM" for SIGTERM; the number for any other signal.
QString stopSignalName(int signal);

// From now on a stop signal no longer ends this process: `stop` is called with it on
// `context`'s thread, from its event loop.
void onStopSignals(QObject* context, std::function<void(int)> stop);

// While an instance lives, a stop signal does not end this process either: each one is
// passed on to the program that runProgramAndWait() is waiting for, which decides how
// to stop, and the first is remembered. The caller goes on waiting for the program.
class StopForwarding {
public:
    StopForwarding();
    ~StopForwarding();
    StopForwarding(const StopForwarding&) = delete;
    StopForwarding& operator=(const StopForwarding&) = delete;

    // The first stop signal that arrived, 0 for none.
    int received() const;
};

} // namespace tessaly
