#include "firmware/BankTable.h"

namespace tessaly {

std::optional<Bank> bankAt(int index) {
    if (index < 0 || index >= BankCount)
        return std::nullopt;
    const std::uint32_t start = 0x388000 + static_cast<std::uint32_t>(index) * 0x10000;
    return Bank{QStringLiteral("bank%1.bin").arg(index + 1), start, start + BankSize - 1};
}

} // namespace tessaly
