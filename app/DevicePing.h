#pragma once

#include "platform/IcmpEcho.h"
#include "platform/TickClock.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace tessaly {

// The three forms of the ping result dialog; the values are the dialog's picture index.
enum class PingResultKind { Found = 0, NotFound = 1, Error = 2 };

struct PingResult {
    PingResultKind kind;
    QString caption;
    QString label;
    QString reason = {}; // the error form's cause, which the dialog does not show
};

inline const QString PingFoundCaption = QStringLiteral("Ping! Device Found!");
inline const QString PingFoundLabel = QStringLiteral("Device Found!");
inline const QString PingNotFoundCaption = QStringLiteral("Ping! Device Not Found!");
inline const QString PingNotFoundLabel = QStringLiteral("Device Not Found!");
inline const QString PingErrorCaption = QStringLiteral("Ping! Error!!!");
inline const QString PingErrorLabel = QStringLiteral("Error!!! Check the Ip Address");

// Checks whether a device answers one ICMP echo. The echo client reports its reply
// through Ping1Reply, normally before it returns; a reply reported later is waited
// for in 10 ms steps, letting pending events run, for at most 10000 ms.
class DevicePing {
public:
    static constexpr std::uint32_t WaitStepMs = 10;
    static constexpr std::uint32_t WaitBoundMs = 10000;

    // PingState: no reply reported yet, a reply with bytes, a reply without bytes.
    static constexpr int NoReply = 0;
    static constexpr int ReplyWithBytes = 1;
    static constexpr int ReplyTimedOut = 2;

    DevicePing(IcmpEcho& echo, TickClock& ticks, std::function<void()> processPendingEvents);

    // Pings `address` (a dotted IPv4 address or a host name), which also travels as
    // the echo's payload, and tells which form of the result dialog to show.
    PingResult PingDevice(const QString& address);
    void Ping1Reply(const IcmpReplyStatus& status);

    int PingState() const { return pingState_; }

private:
    IcmpEcho& ping1_;
    TickClock& ticks_;
    std::function<void()> processPendingEvents_;
    int pingState_ = NoReply;
};

} // namespace tessaly
