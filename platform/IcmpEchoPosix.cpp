// ICMP echo over IPv4 on POSIX systems. Linux lets ordinary users open an ICMP
// datagram socket (when their group is within net.ipv4.ping_group_range); elsewhere,
// or where that range is closed, a raw socket is needed, which takes privilege.
#include "platform/IcmpEcho.h"
#include "platform/IcmpPacketsPosix.h"

#include <QRandomGenerator>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>

namespace tessaly {

namespace {

using namespace icmp;

// Receives until the reply to our request arrives (its size) or the time-out passes (0).
// Everything else on the socket (other programs' traffic on a raw socket, our own
// request looped back, error reports) is passed over.
int awaitReply(const IcmpSocket& socket, std::uint16_t identifier, std::uint16_t sequence, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<unsigned char> packet(65536);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd waiting{socket.fd(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR)
            throw IcmpEchoError(systemError(QStringLiteral("Cannot wait for the echo reply"), errno));
        if (ready <= 0)
            continue;
        const ssize_t received = ::recv(socket.fd(), packet.data(), packet.size(), MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            throw IcmpEchoError(systemError(QStringLiteral("Cannot receive the echo reply"), errno));
        }
        const Message message =
            icmpMessage(packet.data(), static_cast<std::size_t>(received), socket.datagram());
        if (isReplyTo(message, identifier, sequence))
            return static_cast<int>(message.size);
    }
}

class PosixIcmpEcho final : public IcmpEcho {
public:
    explicit PosixIcmpEcho(IcmpSocketKind kind)
        : kind_(kind), sequence_(static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(0x10000))) {}

    void ping(const QString& host, const QString& data, int timeoutMs, const ReplyHandler& onReply) override {
        const in_addr address = resolveIPv4(host);
        const IcmpSocket socket(kind_, false);
        // A raw socket sees every echo reply on the host, so ours carry an identifier
        // that other pingers are unlikely to use at the same moment.
        std::uint16_t identifier =
            socket.datagram() ? 0 : static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(0x10000));
        const std::uint16_t sequence = ++sequence_;
        const std::vector<unsigned char> request = echoRequest(identifier, sequence, data.toUtf8());

        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr = address;
        ssize_t sent = 0;
        do {
            sent = ::sendto(socket.fd(), request.data(), request.size(), 0,
                            reinterpret_cast<const sockaddr*>(&target), sizeof target);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0)
            throw IcmpEchoError(
                systemError(QStringLiteral("Cannot send the echo request to %1").arg(host), errno));
        if (static_cast<std::size_t>(sent) != request.size())
            throw IcmpEchoError(QStringLiteral("The echo request to %1 went out incomplete").arg(host));
        if (socket.datagram())
            identifier = socket.kernelIdentifier();

        const int bytes = awaitReply(socket, identifier, sequence, timeoutMs);
        if (onReply)
            onReply(IcmpReplyStatus{bytes});
    }

private:
    IcmpSocketKind kind_;
    std::uint16_t sequence_;
};

} // namespace

std::unique_ptr<IcmpEcho> createSystemIcmpEcho(IcmpSocketKind kind) {
    return std::make_unique<PosixIcmpEcho>(kind);
}

} // namespace tessaly
