#include "platform/PosixProgramLauncher.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly {

namespace {

const QString EndedBySignal = QStringLiteral("\"%1\" ended by signal %2");

QString reasonFor(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Everything exec needs, prepared before fork: the child may only call
// async-signal-safe functions, so it must not allocate.
struct ExecArguments {
    QByteArray path;
    QByteArray parameter;
    char* argv[3];

    ExecArguments(const QString& program, const QByteArray& parameterBytes)
        : path(QFile::encodeName(program)),
          parameter(parameterBytes), argv{path.data(), parameter.data(), nullptr} {}
};

// In the child: replaces the process with the program, or reports errno through
// `errorPipe` (closed on a successful exec) and ends. A `lifeline` other than -1 is
// handed on to the program, open, for as long as it runs; `mask`, when given, is the
// signal mask the program starts with.
[[noreturn]] void execOrReport(ExecArguments& exec, int errorPipe, int lifeline = -1,
                               const sigset_t* mask = nullptr) {
    if (lifeline >= 0)
        ::fcntl(lifeline, F_SETFD, 0);
    if (mask)
        ::pthread_sigmask(SIG_SETMASK, mask, nullptr);
    ::execv(exec.path.constData(), exec.argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

// Reads the errno the child reported, or 0 when the pipe closed because exec worked.
int readReportedError(int errorPipe) {
    int error = 0;
    ssize_t got;
    do
        got = ::read(errorPipe, &error, sizeof error);
    while (got < 0 && errno == EINTR);
    return got == sizeof error ? error : 0;
}

pid_t waitForChild(pid_t child, int* status) {
    pid_t result;
    do
        result = ::waitpid(child, status, 0);
    while (result < 0 && errno == EINTR);
    return result;
}

std::optional<QString> precheck(const QString& program, const QByteArray& parameter) {
    if (parameter.contains('\0'))
        return cannotStartProgramMessage(program, ParameterHoldsNulReason);
    if (::access(QFile::encodeName(program).constData(), X_OK) != 0)
        return cannotStartProgramMessage(program, reasonFor(errno));
    return std::nullopt;
}

// The started program holds the write end of the lifeline pipe; when it ends (and any
// child it gave the pipe to) the last write end closes, which the read end sees as a
// hang-up. So the program can be handed to init and still be followed, exactly.
class LifelineProgram final : public StartedProgram {
public:
    explicit LifelineProgram(int readEnd) : readEnd_(readEnd) {}
    ~LifelineProgram() override { ::close(readEnd_); }
    LifelineProgram(const LifelineProgram&) = delete;
    LifelineProgram& operator=(const LifelineProgram&) = delete;

    bool running() const override {
        pollfd end{readEnd_, POLLIN, 0};
        int ready;
        do
            ready = ::poll(&end, 1, 0);
        while (ready < 0 && errno == EINTR);
        return ready == 0;
    }

private:
    int readEnd_;
};

} // namespace

std::variant<std::unique_ptr<StartedProgram>, QString>
PosixProgramLauncher::launch(const QString& program, const QByteArray& parameter) {
    if (auto refused = precheck(program, parameter))
        return *refused;
    ExecArguments exec(program, parameter);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return cannotStartProgramMessage(program, reasonFor(errno));
    int lifeline[2];
    if (::pipe2(lifeline, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return cannotStartProgramMessage(program, reasonFor(error));
    }

    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        const int error = errno;
        for (const int end : {pipeEnds[0], pipeEnds[1], lifeline[0], lifeline[1]})
            ::close(end);
        return cannotStartProgramMessage(program, reasonFor(error));
    }
    if (intermediate == 0) {
        // The intermediate process: a new session, then the program as its child,
        // then it ends so that init adopts the program.
        ::close(pipeEnds[0]);
        ::close(lifeline[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            execOrReport(exec, pipeEnds[1], lifeline[1]);
        if (grandchild < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &error, sizeof error);
        }
        ::_exit(0);
    }

    ::close(pipeEnds[1]);
    ::close(lifeline[1]);
    int status = 0;
    waitForChild(intermediate, &status);
    const int error = readReportedError(pipeEnds[0]);
    ::close(pipeEnds[0]);
    if (error != 0) {
        ::close(lifeline[0]);
        return cannotStartProgramMessage(program, reasonFor(error));
    }
    return std::make_unique<LifelineProgram>(lifeline[0]);
}

std::unique_ptr<ProgramLauncher> createSystemProgramLauncher() {
    return std::make_unique<PosixProgramLauncher>();
}

std::variant<int, QString> runProgramAndWait(const QString& program, const QByteArray& parameter) {
    if (auto refused = precheck(program, parameter))
        return *refused;
    ExecArguments exec(program, parameter);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return cannotStartProgramMessage(program, reasonFor(errno));
    // A stop signal arriving while the child is being made waits until StopForwarding
    // knows whom to pass it to.
    sigset_t stops, before;
    sigemptyset(&stops);
    for (const int signal : StopSignals)
        sigaddset(&stops, signal);
    ::pthread_sigmask(SIG_BLOCK, &stops, &before);
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return cannotStartProgramMessage(program, reasonFor(error));
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        execOrReport(exec, pipeEnds[1], -1, &before);
    }
    forwardStopSignalsTo(child);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(pipeEnds[1]);
    const int error = readReportedError(pipeEnds[0]);
    ::close(pipeEnds[0]);
    int status = 0;
    const pid_t waited = waitForChild(child, &status);
    forwardStopSignalsTo(0);
    if (waited < 0)
        return cannotStartProgramMessage(program, reasonFor(errno));
    if (error != 0)
        return cannotStartProgramMessage(program, reasonFor(error));
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return EndedBySignal.arg(QDir::toNativeSeparators(program)).arg(WTERMSIG(status));
}

} // namespace tessaly
