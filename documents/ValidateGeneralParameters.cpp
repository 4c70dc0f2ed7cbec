#include "documents/ValidateGeneralParameters.h"

#include "documents/DottedValues.h"
#include "documents/ParseInt32.h"
#include "documents/XmlText.h"

#include <algorithm>

namespace tessaly {

namespace {
bool inRange(const QString& text, std::int32_t low, std::int32_t high) {
    const std::optional<std::int32_t> value = ParseInt32(text);
    return value && *value >= low && *value <= high;
}

// The index of the first octet out of range, counted from `first`.
std::optional<std::size_t> refusedOctet(const GeneralParameters& p, const OctetMembers& octets,
                                        std::size_t first) {
    std::size_t element = first;
    for (QString GeneralParameters::*octet : octets) {
        if (!inRange(p.*octet, 0, 255))
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
    if (const auto octet = refusedOctet(p, IpAddressOctets, 0))
        return ParameterRefusal{IpRangeMessage, *octet};
    if (const auto octet = refusedOctet(p, SubnetMaskOctets, 4))
        return ParameterRefusal{SubnetMaskRangeMessage, *octet};
    if (const auto octet = refusedOctet(p, GatewayOctets, 8))
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

std::variant<GeneralParameters, QString> deviceParameters(const QString& pargenFile) {
    // Without the document the defaults would stand in for it, and they name no device.
    if (!documentPresent(pargenFile))
        return NoParametersText;
    LoadedGeneralParameters loaded = ReadGeneralParameters(pargenFile);
    if (!loaded.ok())
        return std::move(loaded.error);
    if (std::optional<QString> refusal = ValidateGeneralParameters(loaded.parameters))
        return std::move(*refusal);
    return std::move(loaded.parameters);
}

} // namespace tessaly
