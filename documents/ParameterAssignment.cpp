#include "documents/ParameterAssignment.h"

#include "documents/DottedValues.h"
#include "documents/ParseInt32.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tessaly {

namespace {

ParameterAssignment assigning(Assignment assign) {
    return {std::move(assign), {}, false};
}

ParameterAssignment badValue(const QString& key, const QString& value) {
    return {{}, BadValueMessage.arg(key, value), false};
}

std::optional<std::int32_t> oneOf(const QString& value, std::initializer_list<std::int32_t> allowed) {
    const std::optional<std::int32_t> number = ParseInt32(value);
    if (!number || std::find(allowed.begin(), allowed.end(), *number) == allowed.end())
        return std::nullopt;
    return number;
}

ParameterAssignment textOf(QString GeneralParameters::*member, const QString& value) {
    return assigning([member, value](GeneralParameters& p) { p.*member = value; });
}

ParameterAssignment communityName(const QString& key, QString GeneralParameters::*member,
                                  const QString& value) {
    if (characterCount(value) > CommunityNameMaxLength)
        return {{}, CommunityNameTooLongMessage.arg(key).arg(CommunityNameMaxLength), false};
    return textOf(member, value);
}

ParameterAssignment port(const QString& key, const QString& value) {
    const std::optional<std::int32_t> port = ParseInt32(value);
    if (!port)
        return badValue(key, value);
    return assigning([port = *port](GeneralParameters& p) { p.TCP_PORT = port; });
}

// "a.b.c.d" into four octet members; the octets themselves are checked as the
// dialog checks them.
ParameterAssignment dotted(const QString& key, const QString& value, const OctetMembers& members) {
    const QStringList octets = value.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return badValue(key, value);
    return assigning([octets, members](GeneralParameters& p) {
        for (int i = 0; i < 4; ++i)
            p.*members[i] = octets[i];
    });
}

ParameterAssignment aliasAssignment(const QString& key, const QString& value) {
    if (key == QLatin1String("ip"))
        return dotted(key, value, IpAddressOctets);
    if (key == QLatin1String("mask"))
        return dotted(key, value, SubnetMaskOctets);
    if (key == QLatin1String("gateway"))
        return dotted(key, value, GatewayOctets);
    if (key == QLatin1String("port"))
        return port(key, value);
    if (key == QLatin1String("baud")) {
        const std::optional<std::int32_t> rate = ParseInt32(value);
        const auto found = rate ? std::find(BaudRates.begin(), BaudRates.end(), *rate) : BaudRates.end();
        if (found == BaudRates.end())
            return badValue(key, value);
        const int position = static_cast<int>(found - BaudRates.begin());
        return assigning([position](GeneralParameters& p) { p.BAUD = position; });
    }
    if (key == QLatin1String("parity")) {
        const QString name = value.toLower();
        Parity parity = Parity::None;
        if (name == QLatin1String("odd"))
            parity = Parity::Odd;
        else if (name == QLatin1String("even"))
            parity = Parity::Even;
        else if (name != QLatin1String("none"))
            return badValue(key, value);
        return assigning([parity](GeneralParameters& p) { p.PARITY = parity; });
    }
    if (key == QLatin1String("timeout"))
        return textOf(&GeneralParameters::TIME_OUT, value);
    if (key == QLatin1String("offset"))
        return textOf(&GeneralParameters::OFFSET, value);
    if (key == QLatin1String("mode")) {
        const QString name = value.toLower();
        if (name != QLatin1String("routing") && name != QLatin1String("nat"))
            return badValue(key, value);
        const OperationMode mode = name == QLatin1String("nat") ? OperationMode::Nat : OperationMode::Routing;
        return assigning([mode](GeneralParameters& p) { p.MODE = mode; });
    }
    if (key == QLatin1String("public"))
        return communityName(key, &GeneralParameters::SNMP_PUBLIC, value);
    if (key == QLatin1String("private"))
        return communityName(key, &GeneralParameters::SNMP_PRIVATE, value);
    return {{}, UnknownKeyMessage.arg(key), true};
}

} // namespace

// An element name takes the text the document would hold for it.
ParameterAssignment parameterAssignment(const QString& key, const QString& value) {
    // The twelve octets lead the document's elements, in the order of DottedValueMembers.
    for (std::size_t g = 0; g < DottedValueMembers.size(); ++g) {
        for (std::size_t i = 0; i < 4; ++i) {
            if (key == GeneralParameterElements[4 * g + i])
                return textOf((*DottedValueMembers[g])[i], value);
        }
    }
    if (key == QLatin1String("TCP_PORT"))
        return port(key, value);
    if (key == QLatin1String("SNMP_PUBLIC"))
        return communityName(key, &GeneralParameters::SNMP_PUBLIC, value);
    if (key == QLatin1String("SNMP_PRIVATE"))
        return communityName(key, &GeneralParameters::SNMP_PRIVATE, value);
    if (key == QLatin1String("BAUD")) {
        const std::optional<std::int32_t> position = oneOf(value, {-1, 0, 1, 2, 3, 4, 5, 6, 7});
        if (!position)
            return badValue(key, value);
        return assigning([position = *position](GeneralParameters& p) { p.BAUD = position; });
    }
    if (key == QLatin1String("PARITY")) {
        const std::optional<std::int32_t> code = oneOf(value, {0, 2, 3});
        if (!code)
            return badValue(key, value);
        const Parity parity = parityFromCode(*code);
        return assigning([parity](GeneralParameters& p) { p.PARITY = parity; });
    }
    if (key == QLatin1String("TIME_OUT"))
        return textOf(&GeneralParameters::TIME_OUT, value);
    if (key == QLatin1String("OFFSET"))
        return textOf(&GeneralParameters::OFFSET, value);
    if (key == QLatin1String("MODE")) {
        const std::optional<std::int32_t> code = oneOf(value, {0, 1});
        if (!code)
            return badValue(key, value);
        const OperationMode mode = operationModeFromCode(*code);
        return assigning([mode](GeneralParameters& p) { p.MODE = mode; });
    }
    return aliasAssignment(key, value);
}

} // namespace tessaly
