#pragma once

#include "image/ConfigImage.h"

#include <QByteArray>
#include <array>

namespace tessaly::test {

// The bytes of a configuration bank as a build writes it: `ip`, port, baud index 7
// (115200), even parity, time-out, offset 0, `mode` (0 routing, 1 NAT), built on
// 15 March 2024.
inline QByteArray configuredBank(std::array<int, 4> ip, int port, int mode = 0, int timeoutMs = 200) {
    ConfigImage image;
    for (int i = 0; i < 4; ++i) {
        image.putByte(ImageOffset::Ip + i, ip[std::size_t(i)]);
        image.putByte(ImageOffset::SubnetMask + i, i < 3 ? 255 : 0);
    }
    image.putWord(ImageOffset::Port, port);
    image.putByte(ImageOffset::Baud, 7);
    image.putByte(ImageOffset::Parity, 2);
    image.putWord(ImageOffset::TimeOut, timeoutMs);
    image.putByte(ImageOffset::Mode, mode);
    image.putWord(ImageOffset::BuildDate, packBuildDate(QDate(2024, 3, 15)));
    return image.toByteArray();
}

} // namespace tessaly::test
