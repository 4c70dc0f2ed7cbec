#include "image/CommunityName.h"

namespace tessaly {

CommunityNameField CopyCommunityName(QStringView name) {
    CommunityNameField field{};
    int length = 0;
    // One byte per character: a surrogate pair is one character and becomes one '?'.
    for (const char32_t character : name.toUcs4()) {
        if (length == CommunityNameFieldChars)
            break;
        field[length++] = toWindows1252(character);
    }
    return field;
}

QString communityNameFromField(std::span<const std::uint8_t> field) {
    QString name;
    for (const std::uint8_t byte : field) {
        if (byte == 0)
            break;
        const char32_t character = fromWindows1252(byte);
        name += QString::fromUcs4(&character, 1);
    }
    return name;
}

} // namespace tessaly
