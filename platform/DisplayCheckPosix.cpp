#include "platform/DisplayCheck.h"

#include <QByteArray>
#include <QFile>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessaly {

namespace {

// Whether a local stream socket at `path` accepts a connection; a leading '@' names an
// abstract socket. Only this machine is asked.
bool acceptsConnection(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(path.size()));
    if (path.startsWith('@'))
        address.sun_path[0] = '\0';
    else
        ++length;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const bool connected = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(socket);
    return connected;
}

bool waylandAvailable() {
    const QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        return false;
    const QByteArray path = display.startsWith('/') ? display : qgetenv("XDG_RUNTIME_DIR") + '/' + display;
    return acceptsConnection(path);
}

// DISPLAY names a server on this machine as ":N", ":N.S" or "unix:N"; another host
// ("host:N") cannot be asked without network traffic and counts as there.
bool x11Available() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    if (colon < 0)
        return false;
    const QByteArray host = display.left(colon);
    if (!host.isEmpty() && host != "unix")
        return true;
    QByteArray number = display.mid(colon + 1);
    number = number.left(number.indexOf('.') < 0 ? number.size() : number.indexOf('.'));
    bool ok = false;
    number.toUInt(&ok);
    if (!ok)
        return false;
    const QByteArray socket = "/tmp/.X11-unix/X" + number;
    return acceptsConnection('@' + socket) || acceptsConnection(socket);
}

} // namespace

bool displayAvailable() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return waylandAvailable() || x11Available();
}

} // namespace tessaly
