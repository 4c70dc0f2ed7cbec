#pragma once

// What the two POSIX echo clients (one echo at a time, many at once) share: the
// socket, the request's bytes and how a reply is recognised. Internal to platform/.

#include "platform/IcmpEcho.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <netinet/in.h>
#include <vector>

namespace tessaly::icmp {

QString systemError(const QString& what, int error);

// The echo request's ICMP message, checksum included.
std::vector<unsigned char> echoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                       const QByteArray& payload);

// The IPv4 address of a dotted address or a host name. Throws IcmpEchoError when it
// does not resolve, or resolves to the unspecified address.
in_addr resolveIPv4(const QString& host);

class IcmpSocket {
public:
    // Throws IcmpEchoError when no socket of `kind` can be opened.
    IcmpSocket(IcmpSocketKind kind, bool nonBlocking);
    ~IcmpSocket();
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;

    int fd() const { return fd_; }
    // A datagram socket exchanges bare ICMP messages and the kernel owns the
    // identifier; a raw socket receives every ICMP packet with its IP header.
    bool datagram() const { return datagram_; }
    // The identifier the kernel put into our requests in place of ours: the socket's
    // local "port", assigned when the first request went out.
    std::uint16_t kernelIdentifier() const;
    // Asks for room for `bytes` of packets waiting to be read (as far as the system
    // lets this process have it), so that a burst of replies is not dropped.
    void enlargeReceiveBuffer(int bytes);

private:
    int fd_ = -1;
    bool datagram_ = false;
};

// The ICMP message within a received packet; empty when the packet is too short or
// damaged to be one.
struct Message {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};
Message icmpMessage(const unsigned char* packet, std::size_t size, bool datagram);

bool isReplyTo(const Message& message, std::uint16_t identifier, std::uint16_t sequence);
std::uint16_t sequenceOf(const Message& message);

} // namespace tessaly::icmp
