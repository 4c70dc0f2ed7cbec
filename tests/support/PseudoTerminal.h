#pragma once

#include <QByteArray>
#include <QString>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace tessaly::test {

// A pseudo-terminal pair: the slave stands in for the device's serial port, the test
// reads what arrives at the master. The test keeps the slave open as well, so the
// master does not see a hang-up when the tool closes the port.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        slaveName_ = QString::fromLocal8Bit(::ptsname(master_));
        slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal() {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    bool isOpen() const { return master_ >= 0 && slave_ >= 0; }
    QString slaveName() const { return slaveName_; }
    // The test's own descriptors: the master (non-blocking) and the slave, whose line
    // settings are the port's.
    int masterDescriptor() const { return master_; }
    int slaveDescriptor() const { return slave_; }

    // What an unplugged adapter looks like to the program on the slave: a hang-up.
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // Whether something waits at the master, without taking it (up to `milliseconds`).
    bool waitForData(int milliseconds) {
        pollfd wanted{master_, POLLIN, 0};
        return ::poll(&wanted, 1, milliseconds) > 0;
    }

    // Whatever arrived at the master, waiting up to `milliseconds` for the first byte.
    QByteArray read(int milliseconds) {
        QByteArray got;
        pollfd wanted{master_, POLLIN, 0};
        if (::poll(&wanted, 1, milliseconds) <= 0)
            return got;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            got.append(buffer, n);
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slaveName_;
};

} // namespace tessaly::test
