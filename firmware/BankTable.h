#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tessaly {

// The configuration banks of the firmware: bank k is loaded from "bank<k+1>.bin" into
// the 16 KB address window starting at 0x388000 + k * 0x10000.
inline constexpr int BankCount = 5;
inline constexpr std::uint32_t BankSize = 0x4000;

struct Bank {
    QString fileName;
    std::uint32_t windowStart = 0;
    std::uint32_t windowEnd = 0; // inclusive

    bool holds(std::uint32_t address) const { return windowStart <= address && address <= windowEnd; }
};

// Nothing for an index outside 0 to BankCount - 1.
std::optional<Bank> bankAt(int index);

} // namespace tessaly
