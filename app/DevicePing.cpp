#include "app/DevicePing.h"

#include <exception>

namespace tessaly {

DevicePing::DevicePing(IcmpEcho& echo, TickClock& ticks, std::function<void()> processPendingEvents)
    : ping1_(echo), ticks_(ticks), processPendingEvents_(std::move(processPendingEvents)) {}

PingResult DevicePing::PingDevice(const QString& address) {
    try {
        const std::uint32_t t0 = ticks_.tickCount();
        pingState_ = NoReply;
        ping1_.ping(address, address, IcmpEcho::DefaultReplyTimeoutMs,
                    [this](const IcmpReplyStatus& status) { Ping1Reply(status); });
        // The subtraction wraps with the tick count, so the bound holds across a wrap.
        do {
            ticks_.sleep(WaitStepMs);
            processPendingEvents_();
        } while (pingState_ == NoReply && static_cast<std::uint32_t>(ticks_.tickCount() - t0) <= WaitBoundMs);

        if (pingState_ == ReplyWithBytes)
            return {PingResultKind::Found, PingFoundCaption, PingFoundLabel};
        return {PingResultKind::NotFound, PingNotFoundCaption, PingNotFoundLabel};
    } catch (const std::exception& failure) {
        // The dialog only asks the user to check the address; the command line adds the reason.
        return {PingResultKind::Error, PingErrorCaption, PingErrorLabel, QString::fromUtf8(failure.what())};
    }
}

void DevicePing::Ping1Reply(const IcmpReplyStatus& status) {
    pingState_ = status.BytesReceived > 0 ? ReplyWithBytes : ReplyTimedOut;
}

} // namespace tessaly
