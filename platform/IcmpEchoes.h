#pragma once

#include "platform/IcmpEcho.h"

#include <QString>
#include <functional>
#include <memory>

namespace tessaly {

// Echoes to many hosts at once on the event loop of the thread that made the client,
// so that a thousand devices that do not answer take one time-out, not a thousand.
class IcmpEchoes {
public:
    struct Outcome {
        enum Kind { Answers, NoAnswer, Error };
        Kind kind = NoAnswer;
        qint64 ms = 0; // from the request to the reply, or to the time-out
        QString error; // Error: why the echo could not be sent
    };
    using Done = std::function<void(const Outcome&)>;

    virtual ~IcmpEchoes() = default;

    // Sends one echo request to `address` (a dotted IPv4 address) and reports its outcome
    // once through `done`, from the event loop, never before send() returns. An echo
    // still pending when the client is destroyed is not reported.
    virtual void send(const QString& address, int timeoutMs, Done done) = 0;
};

// The client of this platform: one non-blocking socket for every echo on POSIX systems.
std::unique_ptr<IcmpEchoes> createSystemIcmpEchoes(IcmpSocketKind kind = IcmpSocketKind::Any);

} // namespace tessaly
