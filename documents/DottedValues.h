#pragma once

#include "documents/GeneralParameters.h"

#include <array>
#include <cstdint>

namespace tessaly {

// The members that hold each dotted value of pargen.xml, first octet first.
using OctetMembers = std::array<QString GeneralParameters::*, 4>;
inline constexpr OctetMembers IpAddressOctets{&GeneralParameters::TCP_IP1, &GeneralParameters::TCP_IP2,
                                              &GeneralParameters::TCP_IP3, &GeneralParameters::TCP_IP4};
inline constexpr OctetMembers SubnetMaskOctets{&GeneralParameters::TCP_SUB1, &GeneralParameters::TCP_SUB2,
                                               &GeneralParameters::TCP_SUB3, &GeneralParameters::TCP_SUB4};
inline constexpr OctetMembers GatewayOctets{&GeneralParameters::TCP_GAT1, &GeneralParameters::TCP_GAT2,
                                            &GeneralParameters::TCP_GAT3, &GeneralParameters::TCP_GAT4};
// The three, in document order.
inline constexpr std::array<const OctetMembers*, 3> DottedValueMembers{&IpAddressOctets, &SubnetMaskOctets,
                                                                       &GatewayOctets};

// The four octets as one number, the first in the high byte. Meant for values that
// passed ValidateGeneralParameters: an octet that is no number counts as 0.
std::uint32_t ipv4Value(const GeneralParameters& parameters, const OctetMembers& octets);

// "192.168.0.10" for 0xC0A8000A.
QString ipv4Text(std::uint32_t value);

} // namespace tessaly
