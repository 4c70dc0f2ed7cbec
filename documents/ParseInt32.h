#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

namespace tessaly {

// The one rule by which texts from documents and entry fields become integers:
// leading blanks, an optional sign, then decimal digits or one to eight hexadecimal
// digits after "$", "x", "X", "0x" or "0X" (a 32-bit two's-complement value), and
// nothing after. Decimal values must fit a signed 32-bit integer.
std::optional<std::int32_t> ParseInt32(QStringView text);

} // namespace tessaly
