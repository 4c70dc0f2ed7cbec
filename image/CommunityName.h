#pragma once

#include "image/ConfigImage.h"

#include <QString>
#include <QStringView>

namespace tessaly {

// A community name as the device holds it: the name in Windows-1252, at most its
// first 13 characters, zero bytes after them. A character that Windows-1252 cannot
// hold is stored as "?".
CommunityNameField CopyCommunityName(QStringView name);

// The name held in a community-name field: the bytes up to the first zero.
QString communityNameFromField(std::span<const std::uint8_t> field);

// One character in Windows-1252, or '?' when it has no place there.
std::uint8_t toWindows1252(char32_t character);
// A Windows-1252 byte as a character; the five unassigned bytes give U+FFFD.
char32_t fromWindows1252(std::uint8_t byte);

} // namespace tessaly
