#include "platform/IcmpPacketsPosix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::icmp {

namespace {

constexpr unsigned char EchoReplyType = 0;
constexpr unsigned char EchoRequestType = 8;
constexpr std::size_t IcmpHeaderSize = 8;
constexpr std::size_t MinIpHeaderSize = 20;

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

} // namespace

QString systemError(const QString& what, int error) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
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
        throw IcmpEchoError(unspecifiedAddressText(host));
    return address;
}

IcmpSocket::IcmpSocket(IcmpSocketKind kind, bool nonBlocking) {
    const int flags = SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0);
    int datagramError = 0;
    if (kind != IcmpSocketKind::Raw) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | flags, IPPROTO_ICMP);
        if (fd_ >= 0) {
            datagram_ = true;
            return;
        }
        datagramError = errno;
        if (kind == IcmpSocketKind::Datagram)
            throw IcmpEchoError(
                systemError(QStringLiteral("Cannot open an ICMP datagram socket"), datagramError));
    }
    fd_ = ::socket(AF_INET, SOCK_RAW | flags, IPPROTO_ICMP);
    if (fd_ < 0) {
        const QString raw = systemError(QStringLiteral("Cannot open an ICMP raw socket"), errno);
        throw IcmpEchoError(
            datagramError == 0
                ? raw
                : systemError(QStringLiteral("Cannot open an ICMP datagram socket"), datagramError) +
                      QStringLiteral("; ") + raw);
    }
}

IcmpSocket::~IcmpSocket() {
    ::close(fd_);
}

std::uint16_t IcmpSocket::kernelIdentifier() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        throw IcmpEchoError(systemError(QStringLiteral("Cannot read the ICMP socket's identifier"), errno));
    return ntohs(local.sin_port);
}

void IcmpSocket::enlargeReceiveBuffer(int bytes) {
    // Beyond net.core.rmem_max only with privilege; the plain option is capped there.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

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
           readBigEndian16(message.data + 4) == identifier && sequenceOf(message) == sequence;
}

std::uint16_t sequenceOf(const Message& message) {
    return message.size >= IcmpHeaderSize ? readBigEndian16(message.data + 6) : 0;
}

} // namespace tessaly::icmp
