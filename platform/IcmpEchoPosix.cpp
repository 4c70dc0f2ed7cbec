// ICMP echo over IPv4 on POSIX systems. Linux lets ordinary users open an ICMP
// datagram socket (when their group is within net.ipv4.ping_group_range); elsewhere,
// or where that range is closed, a raw socket is needed, which takes privilege.
#include "platform/IcmpEcho.h"

#include <QRandomGenerator>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tessaly {

namespace {

constexpr unsigned char EchoReplyType = 0;
constexpr unsigned char EchoRequestType = 8;
constexpr std::size_t IcmpHeaderSize = 8;
constexpr std::size_t MinIpHeaderSize = 20;

QString systemError(const QString& what, int error) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

// The Internet checksum: the ones' complement of the ones' complement sum of the
// big-endian 16-bit words, an odd last byte padded with zero.
std::uint16_t internetChecksum(const unsigned char* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (size % 2 != 0)
        sum += static_cast<std::uint32_t>(data[size - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t readBigEndian16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void writeBigEndian16(unsigned char* bytes, std::uint16_t value) {
    bytes[0] = static_cast<unsigned char>(value >> 8);
    bytes[1] = static_cast<unsigned char>(value & 0xFF);
}

std::vector<unsigned char> echoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                       const QByteArray& payload) {
    std::vector<unsigned char> message(IcmpHeaderSize + static_cast<std::size_t>(payload.size()), 0);
    message[0] = EchoRequestType;
    writeBigEndian16(&message[4], identifier);
    writeBigEndian16(&message[6], sequence);
    std::memcpy(message.data() + IcmpHeaderSize, payload.constData(),
                static_cast<std::size_t>(payload.size()));
    writeBigEndian16(&message[2], internetChecksum(message.data(), message.size()));
    return message;
}

in_addr resolveIPv4(const QString& host) {
    if (host.isEmpty())
        throw IcmpEchoError(QStringLiteral("No host given"));
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        const QString reason = status == EAI_SYSTEM ? QString::fromLocal8Bit(std::strerror(errno))
                                                    : QString::fromLocal8Bit(::gai_strerror(status));
        throw IcmpEchoError(QStringLiteral("Cannot resolve %1: %2").arg(host, reason));
    }
    const in_addr address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    // Linux delivers an echo to 0.0.0.0 to this computer itself, which would then
    // pass for the device.
    if (address.s_addr == htonl(INADDR_ANY))
        throw IcmpEchoError(UnspecifiedAddressMessage.arg(host));
    return address;
}

class IcmpSocket {
public:
    explicit IcmpSocket(IcmpSocketKind kind) {
        int datagramError = 0;
        if (kind != IcmpSocketKind::Raw) {
            fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
            if (fd_ >= 0) {
                datagram_ = true;
                return;
            }
            datagramError = errno;
            if (kind == IcmpSocketKind::Datagram)
                throw IcmpEchoError(
                    systemError(QStringLiteral("Cannot open an ICMP datagram socket"), datagramError));
        }
        fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd_ < 0) {
            const QString raw = systemError(QStringLiteral("Cannot open an ICMP raw socket"), errno);
            throw IcmpEchoError(
                datagramError == 0
                    ? raw
                    : systemError(QStringLiteral("Cannot open an ICMP datagram socket"), datagramError) +
                          QStringLiteral("; ") + raw);
        }
    }
    ~IcmpSocket() { ::close(fd_); }
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;

    int fd() const { return fd_; }
    // A datagram socket exchanges bare ICMP messages and the kernel owns the
    // identifier; a raw socket receives every ICMP packet with its IP header.
    bool datagram() const { return datagram_; }

    // The identifier the kernel put into our request in place of ours: the socket's
    // local "port", assigned when the first request went out.
    std::uint16_t kernelIdentifier() const {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
            throw IcmpEchoError(
                systemError(QStringLiteral("Cannot read the ICMP socket's identifier"), errno));
        return ntohs(local.sin_port);
    }

private:
    int fd_ = -1;
    bool datagram_ = false;
};

// The ICMP message within a received packet, or an empty span when the packet is
// too short or damaged to be one.
struct Message {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

Message icmpMessage(const unsigned char* packet, std::size_t size, bool datagram) {
    std::size_t offset = 0;
    if (!datagram) {
        if (size < MinIpHeaderSize)
            return {};
        offset = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        if (offset < MinIpHeaderSize || offset > size)
            return {};
    }
    if (size - offset < IcmpHeaderSize || internetChecksum(packet + offset, size - offset) != 0)
        return {};
    return {packet + offset, size - offset};
}

bool isReplyTo(const Message& message, std::uint16_t identifier, std::uint16_t sequence) {
    return message.size >= IcmpHeaderSize && message.data[0] == EchoReplyType && message.data[1] == 0 &&
           readBigEndian16(message.data + 4) == identifier && readBigEndian16(message.data + 6) == sequence;
}

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
        const IcmpSocket socket(kind_);
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
