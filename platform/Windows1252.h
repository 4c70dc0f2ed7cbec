#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace tessaly {

// One character in Windows-1252, or '?' when it has no place there.
std::uint8_t toWindows1252(char32_t character);
// A Windows-1252 byte as a character; the five unassigned bytes give U+FFFD.
char32_t fromWindows1252(std::uint8_t byte);
// Text in Windows-1252, the single-byte code page of Western Windows systems.
QString decodeWindows1252(QByteArrayView bytes);

} // namespace tessaly
