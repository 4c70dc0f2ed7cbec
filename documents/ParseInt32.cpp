#include "documents/ParseInt32.h"

namespace tessaly {

namespace {
int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool isDecimalDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

// Length of the hexadecimal prefix at `i`, or 0 when the number is decimal.
qsizetype hexPrefixLength(QStringView text, qsizetype i) {
    const auto at = [&](qsizetype k) { return k < text.size() ? text[k].unicode() : u'\0'; };
    if (at(i) == u'$' || at(i) == u'x' || at(i) == u'X')
        return 1;
    if (at(i) == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X'))
        return 2;
    return 0;
}
} // namespace

std::optional<std::int32_t> ParseInt32(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (const qsizetype prefix = hexPrefixLength(text, i); prefix > 0) {
        i += prefix;
        const qsizetype digits = text.size() - i;
        if (digits < 1 || digits > 8)
            return std::nullopt;
        std::uint32_t value = 0;
        for (; i < text.size(); ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            value = value << 4 | static_cast<std::uint32_t>(d);
        }
        if (negative)
            value = 0u - value;
        return static_cast<std::int32_t>(value);
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the most negative value fits.
    constexpr std::int64_t limit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDecimalDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    if (!negative && magnitude == limit)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace tessaly
