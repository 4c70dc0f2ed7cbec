#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

namespace tessaly {

// The outcome of one echo: the size of the reply's ICMP message in bytes, 0 when
// nothing came back in time.
struct IcmpReplyStatus {
    int BytesReceived = 0;
};

// A host text that does not resolve, or a socket that cannot be opened or used.
class IcmpEchoError : public std::runtime_error {
public:
    explicit IcmpEchoError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// Why no echo goes to the unspecified address: the address names no device; Linux
// answers it from this computer itself and Windows gives "Invalid network name", so
// every platform refuses it in these words. `host` is the text that gave it ("0.0.0.0", "0").
inline QString unspecifiedAddressText(const QString& host) {
    const QString unspecified = QStringLiteral("0.0.0.0");
    return host == unspecified ? QStringLiteral("0.0.0.0 is the unspecified address, which names no device")
                               : QStringLiteral("%1 is the unspecified address %2, which names no device")
                                     .arg(host, unspecified);
}

// An ICMP echo client. Tests script it; the program uses createSystemIcmpEcho().
class IcmpEcho {
public:
    using ReplyHandler = std::function<void(const IcmpReplyStatus&)>;
    static constexpr int DefaultReplyTimeoutMs = 5000;

    virtual ~IcmpEcho() = default;

    // Sends one echo request to `host` (a dotted IPv4 address or a host name) with the
    // UTF-8 bytes of `data` as its payload, waits up to `timeoutMs` for the matching
    // echo reply and reports the outcome once through `onReply` before returning.
    // Throws IcmpEchoError when the host does not resolve or the echo cannot be sent
    // or received.
    virtual void ping(const QString& host, const QString& data, int timeoutMs,
                      const ReplyHandler& onReply) = 0;
};

// Which kind of ICMP socket the system client uses. Any tries the unprivileged
// datagram socket first and falls back to a raw socket where only that is allowed.
enum class IcmpSocketKind { Any, Datagram, Raw };

// The echo client of this platform (one source file per platform implements it).
std::unique_ptr<IcmpEcho> createSystemIcmpEcho(IcmpSocketKind kind = IcmpSocketKind::Any);

} // namespace tessaly
