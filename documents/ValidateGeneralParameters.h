#pragma once

#include "documents/GeneralParameters.h"

#include <QString>
#include <optional>
#include <variant>

namespace tessaly {

inline const QString IpRangeMessage = QStringLiteral("Error!! IP must be between 0 and 255. ");
inline const QString SubnetMaskRangeMessage =
    QStringLiteral("Error!! Subnet Mask must be between 0 and 255. ");
inline const QString GatewayRangeMessage = QStringLiteral("Error!! Gateway must be between 0 and 255. ");
inline const QString PortRangeMessage = QStringLiteral("Error!! Port must be between 1 and 65535. ");
inline const QString TimeOutMessage = QStringLiteral("TimeOut Error!!");
inline const QString OffsetMessage = QStringLiteral("Offset Error!!");
// A project folder without its pargen.xml, wherever the commissioning commands meet one.
inline const QString NoParametersText = QStringLiteral("pargen.xml missing");

// The first value that fails: its message and its element, as an index into
// GeneralParameterElements.
struct ParameterRefusal {
    QString message;
    std::size_t element;
};

// Checks, in this order, the IP address, subnet mask and gateway octets (0 to 255),
// the port (1 to 65535), the time-out and the offset (0 to 65535: the device keeps
// them in 16 bits). Returns the message of the first failure, or nothing when all
// pass. The community names, baud rate, parity and mode are not checked.
std::optional<QString> ValidateGeneralParameters(const GeneralParameters& parameters);
// The same checks, telling which value failed.
std::optional<ParameterRefusal> FirstRefusedParameter(const GeneralParameters& parameters);

// The values of the pargen.xml at `pargenFile` that a device would be given: read, and
// passed by the checks above. Or why there are none: NoParametersText (the defaults
// that would stand in for the document name no device), the read error, the first
// refusal.
std::variant<GeneralParameters, QString> deviceParameters(const QString& pargenFile);

} // namespace tessaly
