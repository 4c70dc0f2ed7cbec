#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

namespace tessaly::test {

// How a child process ended, with what it printed and the most memory it held.
struct ChildResult {
    bool finished = false; // ended by itself within the time limit
    int exitCode = -1;     // -1 unless it exited normally
    int signal = 0;        // the signal that ended it, if one did
    QString out;
    QString err;
    long peakKb = 0; // largest resident set
    double seconds = 0;
};

// A child process whose output goes to files; it is ended when still running at
// destruction, so that a failing test leaves nothing behind.
class Child {
public:
    // tessaly-cli with `arguments`.
    static Child cli(const QStringList& arguments);
    // A forked copy of this process that runs `body` and exits with its result.
    static Child fork(const std::function<int()>& body);
    ~Child();
    Child(Child&& other) noexcept;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child& operator=(Child&&) = delete;

    // Waits at most `limitMs`; a child still running then is killed.
    ChildResult wait(int limitMs);
    void kill(int signal);

private:
    Child() = default;
    pid_t pid_ = -1;
    QString outPath_;
    QString errPath_;
};

// A process whose memory and time are unbounded is a fault; these bounds are far
// above what a bounded reader needs, so a slow machine does not fail them.
inline constexpr int HangLimitMs = 120000;
#if defined(__SANITIZE_ADDRESS__)
inline constexpr long MemoryLimitKb = 2048 * 1024; // the sanitizer's shadow memory comes on top
#else
inline constexpr long MemoryLimitKb = 512 * 1024;
#endif

} // namespace tessaly::test
