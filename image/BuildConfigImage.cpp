#include "image/BuildConfigImage.h"

#include "documents/ParseInt32.h"
#include "documents/XmlText.h"
#include "image/CommunityName.h"
#include "platform/Clock.h"

#include <QDir>

namespace tessaly {

namespace {

enum class FieldKind { Byte, Word, CommunityName };

// One row of the reading table: the element, where and how it is stored, and the
// values the device accepts in that field.
struct FieldRow {
    const char* element;
    FieldKind kind;
    int offset;
    bool (*allows)(std::int32_t);
    const char* allowed;
};

constexpr bool octet(std::int32_t v) {
    return v >= 0 && v <= 255;
}
constexpr bool word(std::int32_t v) {
    return v >= 0 && v <= 65535;
}
constexpr bool port(std::int32_t v) {
    return v >= 1 && v <= 65535;
}
constexpr bool baudIndex(std::int32_t v) {
    return v >= 0 && v <= 7;
}
constexpr bool parityCode(std::int32_t v) {
    return v == 0 || v == 2 || v == 3;
}
constexpr bool modeCode(std::int32_t v) {
    return v == 0 || v == 1;
}
constexpr bool anyName(std::int32_t) {
    return true;
}

constexpr const char* Octets = "0 to 255";

// The order matters: the first failure ends the build.
constexpr FieldRow ReadingTable[] = {
    {"TCP_IP1", FieldKind::Byte, ImageOffset::Ip + 0, octet, Octets},
    {"TCP_IP2", FieldKind::Byte, ImageOffset::Ip + 1, octet, Octets},
    {"TCP_IP3", FieldKind::Byte, ImageOffset::Ip + 2, octet, Octets},
    {"TCP_IP4", FieldKind::Byte, ImageOffset::Ip + 3, octet, Octets},
    {"TCP_SUB1", FieldKind::Byte, ImageOffset::SubnetMask + 0, octet, Octets},
    {"TCP_SUB2", FieldKind::Byte, ImageOffset::SubnetMask + 1, octet, Octets},
    {"TCP_SUB3", FieldKind::Byte, ImageOffset::SubnetMask + 2, octet, Octets},
    {"TCP_SUB4", FieldKind::Byte, ImageOffset::SubnetMask + 3, octet, Octets},
    {"TCP_GAT1", FieldKind::Byte, ImageOffset::Gateway + 0, octet, Octets},
    {"TCP_GAT2", FieldKind::Byte, ImageOffset::Gateway + 1, octet, Octets},
    {"TCP_GAT3", FieldKind::Byte, ImageOffset::Gateway + 2, octet, Octets},
    {"TCP_GAT4", FieldKind::Byte, ImageOffset::Gateway + 3, octet, Octets},
    {"TCP_PORT", FieldKind::Word, ImageOffset::Port, port, "1 to 65535"},
    {"SNMP_PUBLIC", FieldKind::CommunityName, ImageOffset::PublicName, anyName, ""},
    {"SNMP_PRIVATE", FieldKind::CommunityName, ImageOffset::PrivateName, anyName, ""},
    {"BAUD", FieldKind::Byte, ImageOffset::Baud, baudIndex, "0 to 7"},
    {"PARITY", FieldKind::Byte, ImageOffset::Parity, parityCode, "0, 2 or 3"},
    {"TIME_OUT", FieldKind::Word, ImageOffset::TimeOut, word, "0 to 65535"},
    {"OFFSET", FieldKind::Word, ImageOffset::DataOffset, word, "0 to 65535"},
    {"MODE", FieldKind::Byte, ImageOffset::Mode, modeCode, "0 or 1"},
};

QString failed(const QString& reason) {
    return ImageNotBuiltMessage.arg(reason);
}

// Stores one row; returns the reason when the row cannot be stored.
std::optional<QString> storeRow(ConfigImage& image, const QDomElement& root, const FieldRow& row,
                                const QString& document) {
    const QString element = QLatin1String(row.element);
    const QDomElement node = firstChildElement(root, element);
    if (node.isNull())
        return ImageMissingElementMessage.arg(document, element);
    const std::optional<QString> text = elementText(node);
    if (!text)
        return ImageNotTextMessage.arg(document, element);

    if (row.kind == FieldKind::CommunityName) {
        image.putBytes(row.offset, CopyCommunityName(*text));
        return std::nullopt;
    }
    const std::optional<std::int32_t> value = ParseInt32(*text);
    if (!value)
        return ImageNotIntegerMessage.arg(document, element, *text);
    if (!row.allows(*value))
        return ImageOutOfRangeMessage.arg(document, element, *text, QLatin1String(row.allowed));
    if (row.kind == FieldKind::Byte)
        image.putByte(row.offset, *value);
    else
        image.putWord(row.offset, *value);
    return std::nullopt;
}

} // namespace

std::optional<QString> BuildConfigImage(ConfigImage& image, const QString& pargenFile, const Clock& clock) {
    image.clear(); // before anything can fail: no byte of an earlier build survives

    const LoadedXml loaded = loadXmlFile(pargenFile);
    if (!loaded.ok())
        return failed(loaded.error);
    const QString document = QDir::toNativeSeparators(pargenFile);
    const QDomElement root = topLevelElement(loaded.document, QStringLiteral("General_Parameter"));
    if (root.isNull())
        return failed(ImageNoRootMessage.arg(document));

    for (const FieldRow& row : ReadingTable) {
        if (const std::optional<QString> reason = storeRow(image, root, row, document))
            return failed(*reason);
    }

    // One reading of the clock, so that the time and the date always belong together.
    const QDateTime now = clock.localNow();
    if (!now.isValid())
        return failed(ImageNoClockMessage);
    image.putWord(ImageOffset::BuildTime, packBuildTime(now.time()));
    image.putWord(ImageOffset::BuildDate, packBuildDate(now.date()));
    return std::nullopt;
}

} // namespace tessaly
