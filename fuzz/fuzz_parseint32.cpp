// ParseInt32 against the rule written out the slow way.
#include "documents/ParseInt32.h"
#include "fuzz/FuzzSupport.h"

#include <QString>
#include <string>

namespace {

int hexValue(char16_t c) {
    const std::u16string digits = u"0123456789abcdef";
    const std::u16string upper = u"0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        if (c == digits[i] || c == upper[i])
            return i;
    }
    return -1;
}

// Blanks, a sign, then "$", "x", "X", "0x" or "0X" and one to eight hex digits (a
// 32-bit pattern, negated by a minus), or decimal digits within the signed range.
std::optional<std::int32_t> reference(std::u16string text) {
    std::size_t i = text.find_first_not_of(u' ');
    if (i == std::u16string::npos)
        return std::nullopt;
    bool negative = false;
    if (text[i] == u'+' || text[i] == u'-')
        negative = text[i++] == u'-';
    std::u16string rest = text.substr(i);
    std::size_t prefix = 0;
    if (rest.rfind(u"0x", 0) == 0 || rest.rfind(u"0X", 0) == 0)
        prefix = 2;
    else if (rest.rfind(u"$", 0) == 0 || rest.rfind(u"x", 0) == 0 || rest.rfind(u"X", 0) == 0)
        prefix = 1;
    if (prefix > 0) {
        const std::u16string digits = rest.substr(prefix);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        std::uint64_t value = 0;
        for (char16_t c : digits) {
            if (hexValue(c) < 0)
                return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(hexValue(c));
        }
        if (negative)
            value = (std::uint64_t{1} << 32) - value;
        value &= 0xFFFFFFFFu;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    if (rest.empty())
        return std::nullopt;
    for (char16_t c : rest) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const std::size_t firstSignificant = rest.find_first_not_of(u'0');
    const std::u16string significant =
        firstSignificant == std::u16string::npos ? std::u16string() : rest.substr(firstSignificant);
    if (significant.size() > 10)
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (char16_t c : significant)
        magnitude = magnitude * 10 + (c - u'0');
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    if (magnitude > limit)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Most inputs are read as Latin-1, so that digits and prefixes come often; an
    // input that starts with 0x01 is read as UTF-16 to reach the other characters.
    QString text;
    if (size > 0 && data[0] == 0x01) {
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text.append(QChar(static_cast<char16_t>(data[i] | data[i + 1] << 8)));
    } else {
        text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    const std::optional<std::int32_t> parsed = tessaly::ParseInt32(text);
    const std::optional<std::int32_t> expected = reference(text.toStdU16String());
    FUZZ_CHECK(parsed == expected);
    // Every value read prints back to a text that reads as the same value.
    if (parsed)
        FUZZ_CHECK(tessaly::ParseInt32(QString::number(*parsed)) == parsed);
    return 0;
}
