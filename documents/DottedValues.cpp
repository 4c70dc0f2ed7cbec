#include "documents/DottedValues.h"

#include "documents/ParseInt32.h"

namespace tessaly {

std::uint32_t ipv4Value(const GeneralParameters& parameters, const OctetMembers& octets) {
    std::uint32_t value = 0;
    for (QString GeneralParameters::*octet : octets)
        value = (value << 8) | static_cast<std::uint8_t>(ParseInt32(parameters.*octet).value_or(0));
    return value;
}

QString ipv4Text(std::uint32_t value) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(value >> 24)
        .arg((value >> 16) & 0xFF)
        .arg((value >> 8) & 0xFF)
        .arg(value & 0xFF);
}

} // namespace tessaly
