#include "documents/ValidateGeneralParameters.h"

#include "documents/ParseInt32.h"

#include <initializer_list>

namespace tessaly {

namespace {
bool inRange(const QString& text, std::int32_t low, std::int32_t high) {
    const std::optional<std::int32_t> value = ParseInt32(text);
    return value && *value >= low && *value <= high;
}

bool octetsValid(std::initializer_list<const QString*> octets) {
    for (const QString* octet : octets) {
        if (!inRange(*octet, 0, 255))
            return false;
    }
    return true;
}
} // namespace

std::optional<QString> ValidateGeneralParameters(const GeneralParameters& p) {
    if (!octetsValid({&p.TCP_IP1, &p.TCP_IP2, &p.TCP_IP3, &p.TCP_IP4}))
        return IpRangeMessage;
    if (!octetsValid({&p.TCP_SUB1, &p.TCP_SUB2, &p.TCP_SUB3, &p.TCP_SUB4}))
        return SubnetMaskRangeMessage;
    if (!octetsValid({&p.TCP_GAT1, &p.TCP_GAT2, &p.TCP_GAT3, &p.TCP_GAT4}))
        return GatewayRangeMessage;
    if (p.TCP_PORT < 1 || p.TCP_PORT > 65535)
        return PortRangeMessage;
    if (!inRange(p.TIME_OUT, 0, 65535))
        return TimeOutMessage;
    if (!inRange(p.OFFSET, 0, 65535))
        return OffsetMessage;
    return std::nullopt;
}

} // namespace tessaly
