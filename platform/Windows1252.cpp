#include "platform/Windows1252.h"

#include <QChar>
#include <algorithm>
#include <iterator>

namespace tessaly {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; zero marks the five
// unassigned positions.
constexpr char16_t HighControlRange[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178, // 0x98
};

constexpr std::uint8_t Unmappable = '?';

} // namespace

std::uint8_t toWindows1252(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<std::uint8_t>(character);
    const auto* found = std::find(std::begin(HighControlRange), std::end(HighControlRange), character);
    if (character > 0xFF && found != std::end(HighControlRange))
        return static_cast<std::uint8_t>(0x80 + (found - std::begin(HighControlRange)));
    return Unmappable;
}

char32_t fromWindows1252(std::uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0)
        return byte;
    const char16_t mapped = HighControlRange[byte - 0x80];
    return mapped != 0 ? mapped : char32_t(QChar::ReplacementCharacter);
}

QString decodeWindows1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text += QChar(static_cast<char16_t>(fromWindows1252(static_cast<std::uint8_t>(byte))));
    return text;
}

} // namespace tessaly
