#pragma once

#include "image/ConfigImage.h"
#include "platform/Windows1252.h"

#include <QString>
#include <QStringView>

namespace tessaly {

// A community name as the device holds it: the name in Windows-1252, at most its
// first 13 characters, zero bytes after them. A character that Windows-1252 cannot
// hold is stored as "?".
CommunityNameField CopyCommunityName(QStringView name);

// The name held in a community-name field: the bytes up to the first zero.
QString communityNameFromField(std::span<const std::uint8_t> field);

} // namespace tessaly
