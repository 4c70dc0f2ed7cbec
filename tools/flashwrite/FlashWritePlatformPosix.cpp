#include "tools/flashwrite/FlashWritePlatform.h"

namespace tessaly::flashwrite {

std::optional<QByteArray> commandParameter(int argc, char* argv[]) {
    if (argc != 2)
        return std::nullopt;
    return QByteArray(argv[1]);
}

QString defaultSerialDevice(int) {
    // Device names say nothing about COM numbers here: the port map alone decides.
    return {};
}

} // namespace tessaly::flashwrite
