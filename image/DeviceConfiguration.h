#pragma once

#include "documents/GeneralParameters.h"
#include "image/ConfigImage.h"

#include <QString>
#include <array>
#include <cstdint>
#include <variant>

namespace tessaly {

// What a device runs with: the configuration its bank holds, decoded.
struct DeviceConfiguration {
    std::array<std::uint8_t, 4> ip{}, mask{}, gateway{};
    std::uint16_t port = 0;
    int baudRate = 0;
    Parity parity = Parity::None;
    std::uint16_t timeoutMs = 0;
    std::uint16_t dataOffset = 0; // carried, not used: nothing is known of its meaning
    OperationMode mode = OperationMode::Routing;
};

// "10.20.30.40".
QString dottedText(const std::array<std::uint8_t, 4>& octets);

// The configuration `image` holds, or why it holds none: an erased bank, bytes outside
// the parameter block or a build date that no build writes, a baud index, parity code
// or operation mode that no build stores.
std::variant<DeviceConfiguration, QString> readDeviceConfiguration(const ConfigImage& image);

} // namespace tessaly
