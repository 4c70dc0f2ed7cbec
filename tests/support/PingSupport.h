#pragma once

#include "platform/IcmpEcho.h"
#include "platform/TickClock.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {

// An echo client that records its requests and answers as scripted: by default a
// reply of `bytes` bytes before it returns.
class ScriptedEcho final : public IcmpEcho {
public:
    struct Request {
        QString host, data;
        int timeoutMs;
    };
    void ping(const QString& host, const QString& data, int timeoutMs, const ReplyHandler& onReply) override {
        requests.append({host, data, timeoutMs});
        handler = onReply;
        if (behaviour)
            behaviour(onReply);
        else
            onReply(IcmpReplyStatus{bytes});
    }
    int bytes = 64;
    std::function<void(const ReplyHandler&)> behaviour;
    ReplyHandler handler; // the last one given, for replies reported later
    QList<Request> requests;
};

// A tick count that moves only when slept on.
class SteppingTicks final : public TickClock {
public:
    explicit SteppingTicks(std::uint32_t start = 0) : now(start) {}
    std::uint32_t tickCount() override { return now; }
    void sleep(std::uint32_t milliseconds) override {
        now += milliseconds;
        sleeps.append(milliseconds);
    }
    std::uint32_t now;
    QList<std::uint32_t> sleeps;
};

// Whether this process may open an ICMP socket of `kind` here.
inline bool icmpSocketAllowed(IcmpSocketKind kind) {
    const auto tryOpen = [](int type) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    };
    switch (kind) {
    case IcmpSocketKind::Datagram:
        return tryOpen(SOCK_DGRAM);
    case IcmpSocketKind::Raw:
        return tryOpen(SOCK_RAW);
    case IcmpSocketKind::Any:
        break;
    }
    return tryOpen(SOCK_DGRAM) || tryOpen(SOCK_RAW);
}

} // namespace tessaly::test
