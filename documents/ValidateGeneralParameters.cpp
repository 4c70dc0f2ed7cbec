#include "documents/ValidateGeneralParameters.h"

#include "documents/ParseInt32.h"

#include <algorithm>
#include <initializer_list>

namespace tessaly {

namespace {
bool inRange(const QString& text, std::int32_t low, std::int32_t high) {
    const std::optional<std::int32_t> value = ParseInt32(text);
    return value && *value >= low && *value <= high;
}

// The index of the first octet out of range, counted from `first`.
std::optional<std::size_t> refusedOctet(std::initializer_list<const QString*> octets, std::size_t first) {
    std::size_t element = first;
    for (const QString* octet : octets) {
        if (!inRange(*octet, 0, 255))
            return element;
        ++element;
    }
    return std::nullopt;
}

std::size_t elementIndex(const QString& name) {
    return static_cast<std::size_t>(
        std::find(GeneralParameterElements.begin(), GeneralParameterElements.end(), name) -
        GeneralParameterElements.begin());
}
} // namespace

std::optional<ParameterRefusal> FirstRefusedParameter(const GeneralParameters& p) {
    // The twelve octets lead GeneralParameterElements: IP, subnet mask, gateway.
    if (const auto octet = refusedOctet({&p.TCP_IP1, &p.TCP_IP2, &p.TCP_IP3, &p.TCP_IP4}, 0))
        return ParameterRefusal{IpRangeMessage, *octet};
    if (const auto octet = refusedOctet({&p.TCP_SUB1, &p.TCP_SUB2, &p.TCP_SUB3, &p.TCP_SUB4}, 4))
        return ParameterRefusal{SubnetMaskRangeMessage, *octet};
    if (const auto octet = refusedOctet({&p.TCP_GAT1, &p.TCP_GAT2, &p.TCP_GAT3, &p.TCP_GAT4}, 8))
        return ParameterRefusal{GatewayRangeMessage, *octet};
    if (p.TCP_PORT < 1 || p.TCP_PORT > 65535)
        return ParameterRefusal{PortRangeMessage, elementIndex(QStringLiteral("TCP_PORT"))};
    if (!inRange(p.TIME_OUT, 0, 65535))
        return ParameterRefusal{TimeOutMessage, elementIndex(QStringLiteral("TIME_OUT"))};
    if (!inRange(p.OFFSET, 0, 65535))
        return ParameterRefusal{OffsetMessage, elementIndex(QStringLiteral("OFFSET"))};
    return std::nullopt;
}

std::optional<QString> ValidateGeneralParameters(const GeneralParameters& p) {
    if (auto refusal = FirstRefusedParameter(p))
        return std::move(refusal->message);
    return std::nullopt;
}

} // namespace tessaly
