#include "tools/flashwrite/FlashWritePlatform.h"

namespace tessaly::flashwrite {

std::optional<QByteArray> commandParameter(int argc, char* argv[]) {
    if (argc != 2)
        return std::nullopt;
    return QByteArray(argv[1]);
}

QString defaultSerialDevice(int portIndex) {
    return QStringLiteral("/dev/ttyS%1").arg(portIndex);
}

} // namespace tessaly::flashwrite
