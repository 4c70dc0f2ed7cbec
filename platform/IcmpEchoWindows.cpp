// ICMP echo over IPv4 on Windows: the IP Helper's IcmpSendEcho2 sends and matches the
// echo for us and needs no administrator rights.
#include "platform/IcmpEcho.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// In this order: the IP Helper headers need Winsock's types, icmpapi.h needs iphlpapi.h's.
// clang-format off
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <vector>

namespace tessaly {

namespace {

constexpr std::size_t IcmpHeaderSize = 8;

QString systemError(const QString& what, DWORD error) {
    return QStringLiteral("%1: %2").arg(what, qt_error_string(static_cast<int>(error)));
}

// getaddrinfo needs Winsock started in this process; started once, left running.
void startWinsock() {
    static const int started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0)
        throw IcmpEchoError(
            systemError(QStringLiteral("Cannot start Windows Sockets"), static_cast<DWORD>(started)));
}

IN_ADDR resolveIPv4(const QString& host) {
    if (host.isEmpty())
        throw IcmpEchoError(QStringLiteral("No host given"));
    startWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr)
        throw IcmpEchoError(QStringLiteral("Cannot resolve %1: %2")
                                .arg(host, qt_error_string(status != 0 ? status : WSAHOST_NOT_FOUND)));
    const IN_ADDR address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    if (address.S_un.S_addr == htonl(INADDR_ANY))
        throw IcmpEchoError(unspecifiedAddressText(host));
    return address;
}

class IcmpHandle {
public:
    IcmpHandle() : handle_(::IcmpCreateFile()) {
        if (handle_ == INVALID_HANDLE_VALUE)
            throw IcmpEchoError(systemError(QStringLiteral("Cannot open an ICMP handle"), ::GetLastError()));
    }
    ~IcmpHandle() { ::IcmpCloseHandle(handle_); }
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

class WindowsIcmpEcho final : public IcmpEcho {
public:
    void ping(const QString& host, const QString& data, int timeoutMs, const ReplyHandler& onReply) override {
        const IN_ADDR address = resolveIPv4(host);
        const IcmpHandle icmp;
        QByteArray payload = data.toUtf8();
        if (payload.size() > 0xFFFF)
            throw IcmpEchoError(QStringLiteral("The echo payload is too large"));
        // Room for one reply with its payload, and for the ICMP error message that may
        // come in its place (the documented minimum is one reply plus 8 bytes).
        std::vector<unsigned char> replies(sizeof(ICMP_ECHO_REPLY) +
                                           static_cast<std::size_t>(payload.size()) + IcmpHeaderSize + 64);
        const DWORD count = ::IcmpSendEcho2(icmp.get(), nullptr, nullptr, nullptr, address.S_un.S_addr,
                                            payload.data(), static_cast<WORD>(payload.size()), nullptr,
                                            replies.data(), static_cast<DWORD>(replies.size()),
                                            static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 1));
        int bytes = 0;
        if (count == 0) {
            // IP_* statuses (time-outs, unreachable hosts) mean no reply; anything
            // else is a failure of the call itself.
            const DWORD error = ::GetLastError();
            if (error < IP_STATUS_BASE)
                throw IcmpEchoError(
                    systemError(QStringLiteral("Cannot send the echo request to %1").arg(host), error));
        } else {
            const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(replies.data());
            if (reply->Status == IP_SUCCESS)
                bytes = static_cast<int>(IcmpHeaderSize + reply->DataSize);
        }
        if (onReply)
            onReply(IcmpReplyStatus{bytes});
    }
};

} // namespace

std::unique_ptr<IcmpEcho> createSystemIcmpEcho(IcmpSocketKind) {
    return std::make_unique<WindowsIcmpEcho>();
}

} // namespace tessaly
