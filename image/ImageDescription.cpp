#include "image/ImageDescription.h"

#include "documents/DottedValues.h"
#include "documents/GeneralParameters.h"
#include "image/CommunityName.h"

#include <QtEndian>

namespace tessaly {

namespace {

QString dotted(const ConfigImage& image, int offset) {
    return ipv4Text(qFromBigEndian<std::uint32_t>(image.bytes().data() + offset));
}

QString communityName(const ConfigImage& image, int offset) {
    return communityNameFromField(std::span(image.bytes()).subspan(offset, CommunityNameFieldLength));
}

QString baud(std::uint8_t index) {
    if (index < BaudRates.size())
        return QString::number(BaudRates[index]);
    return QStringLiteral("index %1").arg(int(index));
}

QString parity(std::uint8_t code) {
    switch (code) {
    case 0:
        return QStringLiteral("none");
    case 3:
        return QStringLiteral("odd");
    case 2:
        return QStringLiteral("even");
    default:
        return QString::number(code);
    }
}

QString mode(std::uint8_t code) {
    switch (code) {
    case 0:
        return QStringLiteral("routing");
    case 1:
        return QStringLiteral("nat");
    default:
        return QString::number(code);
    }
}

QString built(const ConfigImage& image) {
    const BuildStamp s =
        unpackBuildStamp(image.word(ImageOffset::BuildTime), image.word(ImageOffset::BuildDate));
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute,
                             s.second);
}

} // namespace

QStringList describeConfigImage(const ConfigImage& image) {
    return {
        QStringLiteral("ip=") + dotted(image, ImageOffset::Ip),
        QStringLiteral("mask=") + dotted(image, ImageOffset::SubnetMask),
        QStringLiteral("gateway=") + dotted(image, ImageOffset::Gateway),
        QStringLiteral("port=") + QString::number(image.word(ImageOffset::Port)),
        QStringLiteral("public=") + communityName(image, ImageOffset::PublicName),
        QStringLiteral("private=") + communityName(image, ImageOffset::PrivateName),
        QStringLiteral("baud=") + baud(image.byte(ImageOffset::Baud)),
        QStringLiteral("parity=") + parity(image.byte(ImageOffset::Parity)),
        QStringLiteral("timeout=") + QString::number(image.word(ImageOffset::TimeOut)),
        QStringLiteral("offset=") + QString::number(image.word(ImageOffset::DataOffset)),
        QStringLiteral("mode=") + mode(image.byte(ImageOffset::Mode)),
        QStringLiteral("built=") + built(image),
    };
}

} // namespace tessaly
