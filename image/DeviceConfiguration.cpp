#include "image/DeviceConfiguration.h"

#include "documents/DottedValues.h"

#include <QtEndian>
#include <algorithm>

namespace tessaly {

namespace {
const QString ErasedText =
    QStringLiteral("the configuration bank is erased (every byte 0xFF): no configuration was merged into it");
const QString StrayByteText = QStringLiteral("the configuration bank holds 0x%1 at offset %2, outside the "
                                             "parameter block, where a configuration holds 0");
const QString NoBuildDateText =
    QStringLiteral("the configuration bank holds no build date (day %1, month %2): no build wrote it");
const QString BaudText = QStringLiteral("the configuration's baud index %1 names no rate (0 to 7)");
const QString ParityText =
    QStringLiteral("the configuration's parity code %1 is none of 0 (none), 2 (even), 3 (odd)");
const QString ModeText =
    QStringLiteral("the configuration's operation mode %1 is neither 0 (routing) nor 1 (NAT)");

std::array<std::uint8_t, 4> octets(const ConfigImage& image, int offset) {
    return {image.byte(offset), image.byte(offset + 1), image.byte(offset + 2), image.byte(offset + 3)};
}
} // namespace

QString dottedText(const std::array<std::uint8_t, 4>& o) {
    return ipv4Text(qFromBigEndian<std::uint32_t>(o.data()));
}

std::variant<DeviceConfiguration, QString> readDeviceConfiguration(const ConfigImage& image) {
    const auto& bytes = image.bytes();
    if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; }))
        return ErasedText;
    for (int offset = 0; offset < ConfigImageSize; ++offset) {
        if (offset == ParameterBlockOffset)
            offset += ParameterBlockLength;
        if (offset < ConfigImageSize && bytes[std::size_t(offset)] != 0)
            return StrayByteText
                .arg(QString::number(bytes[std::size_t(offset)], 16).toUpper().rightJustified(2, u'0'))
                .arg(offset);
    }
    // Every build stamps its date, so a bank without one (all zero, say) was never built.
    const BuildStamp stamp =
        unpackBuildStamp(image.word(ImageOffset::BuildTime), image.word(ImageOffset::BuildDate));
    if (stamp.month < 1 || stamp.month > 12 || stamp.day < 1)
        return NoBuildDateText.arg(stamp.day).arg(stamp.month);
    DeviceConfiguration c;
    c.ip = octets(image, ImageOffset::Ip);
    c.mask = octets(image, ImageOffset::SubnetMask);
    c.gateway = octets(image, ImageOffset::Gateway);
    c.port = image.word(ImageOffset::Port);
    const int baud = image.byte(ImageOffset::Baud);
    if (baud >= int(BaudRates.size()))
        return BaudText.arg(baud);
    c.baudRate = BaudRates[std::size_t(baud)];
    const int parity = image.byte(ImageOffset::Parity);
    if (parity != 0 && parity != 2 && parity != 3)
        return ParityText.arg(parity);
    c.parity = parityFromCode(parity);
    c.timeoutMs = image.word(ImageOffset::TimeOut);
    c.dataOffset = image.word(ImageOffset::DataOffset);
    const int mode = image.byte(ImageOffset::Mode);
    if (mode > 1)
        return ModeText.arg(mode);
    c.mode = operationModeFromCode(mode);
    return c;
}

} // namespace tessaly
