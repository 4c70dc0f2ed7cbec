#pragma once

#include "tests/support/PseudoTerminal.h"

#include <atomic>
#include <poll.h>
#include <termios.h>
#include <thread>

namespace tessaly::test {

// A serial line made of two pseudo-terminals joined by a relay on a thread of its own:
// what a program writes to one end's slave, a program on the other end's slave reads.
// Both slaves are raw (no echo, no line editing) and stay open here too, so that a
// program closing its end leaves the line up, as a cable does.
class SerialLink {
public:
    SerialLink() {
        for (PseudoTerminal* end : {&a_, &b_}) {
            termios settings{};
            ::tcgetattr(end->slaveDescriptor(), &settings);
            ::cfmakeraw(&settings);
            ::tcsetattr(end->slaveDescriptor(), TCSANOW, &settings);
        }
        relay_ = std::thread([this] { relay(); });
    }
    ~SerialLink() {
        stop_ = true;
        relay_.join();
    }
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    bool isOpen() const { return a_.isOpen() && b_.isOpen(); }
    QString endA() const { return a_.slaveName(); }
    QString endB() const { return b_.slaveName(); }

private:
    void relay() {
        char buffer[4096];
        while (!stop_) {
            pollfd fds[2] = {{a_.masterDescriptor(), POLLIN, 0}, {b_.masterDescriptor(), POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN))
                    continue;
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                for (ssize_t done = 0; n > 0 && done < n && !stop_;) {
                    const ssize_t written = ::write(fds[1 - i].fd, buffer + done, size_t(n - done));
                    if (written > 0)
                        done += written;
                    else
                        ::poll(nullptr, 0, 1);
                }
            }
        }
    }

    PseudoTerminal a_, b_;
    std::atomic<bool> stop_{false};
    std::thread relay_;
};

} // namespace tessaly::test
