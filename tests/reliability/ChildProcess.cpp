#include "tests/reliability/ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessaly::test {

namespace {
QString scratchPath(const char* stream) {
    static int counter = 0;
    return QDir::temp().filePath(
        QStringLiteral("tessaly-child-%1-%2.%3").arg(::getpid()).arg(++counter).arg(QLatin1String(stream)));
}

QString takeFile(const QString& path) {
    QFile file(path);
    QString text;
    if (file.open(QIODevice::ReadOnly))
        text = QString::fromUtf8(file.readAll());
    QFile::remove(path);
    return text;
}
} // namespace

Child Child::cli(const QStringList& arguments) {
    Child child;
    child.outPath_ = scratchPath("out");
    child.errPath_ = scratchPath("err");
    QList<QByteArray> storage{QByteArray(TESSALY_CLI_PATH)};
    for (const QString& argument : arguments)
        storage << argument.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const QByteArray out = QFile::encodeName(child.outPath_);
    const QByteArray err = QFile::encodeName(child.errPath_);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&child.pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

Child Child::fork(const std::function<int()>& body) {
    Child child;
    child.outPath_ = scratchPath("out");
    child.errPath_ = scratchPath("err");
    std::fflush(stdout);
    std::fflush(stderr);
    child.pid_ = ::fork();
    if (child.pid_ == 0) {
        const int out =
            ::open(QFile::encodeName(child.outPath_).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err =
            ::open(QFile::encodeName(child.errPath_).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(err, 2);
        const int status = body();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status);
    }
    return child;
}

Child::Child(Child&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), outPath_(std::move(other.outPath_)),
      errPath_(std::move(other.errPath_)) {}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (!outPath_.isEmpty()) {
        QFile::remove(outPath_);
        QFile::remove(errPath_);
    }
}

void Child::kill(int signal) {
    if (pid_ > 0)
        ::kill(pid_, signal);
}

ChildResult Child::wait(int limitMs) {
    ChildResult result;
    if (pid_ <= 0)
        return result;
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid_, &status, WNOHANG, &usage);
        if (done == pid_)
            break;
        if (done < 0)
            return result;
        if (timer.elapsed() > limitMs) {
            ::kill(pid_, SIGKILL);
            ::wait4(pid_, &status, 0, &usage);
            pid_ = -1;
            result.seconds = timer.elapsed() / 1000.0;
            return result;
        }
        QThread::usleep(500);
    }
    pid_ = -1;
    result.finished = true;
    result.seconds = timer.elapsed() / 1000.0;
    result.peakKb = usage.ru_maxrss;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    if (!outPath_.isEmpty()) {
        result.out = takeFile(outPath_);
        result.err = takeFile(errPath_);
        outPath_.clear();
    }
    return result;
}

} // namespace tessaly::test
