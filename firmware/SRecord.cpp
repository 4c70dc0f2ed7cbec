#include "firmware/SRecord.h"

#include <array>

namespace tessaly {

namespace {

constexpr char UpperHex[] = "0123456789ABCDEF";

// -1 for a character that is not a hex digit, either case accepted.
constexpr std::array<signed char, 256> hexValues() {
    std::array<signed char, 256> values{};
    for (auto& v : values)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        values[c] = static_cast<signed char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        values[c] = static_cast<signed char>(c - 'A' + 10);
        values[c + ('a' - 'A')] = static_cast<signed char>(c - 'A' + 10);
    }
    return values;
}
constexpr std::array<signed char, 256> HexValue = hexValues();

int hexDigit(char c) {
    return HexValue[static_cast<unsigned char>(c)];
}

void putHexByte(char* out, unsigned value) {
    out[0] = UpperHex[(value >> 4) & 0xF];
    out[1] = UpperHex[value & 0xF];
}

} // namespace

QByteArray CheckSumSx(QByteArrayView record) {
    unsigned sum = 0;
    // Pairs start at the third character and stop before the two placeholder digits.
    for (qsizetype i = 2; i <= record.size() - 3; i += 2)
        sum += static_cast<unsigned>(hexDigit(record[i]) << 4 | hexDigit(record[i + 1]));
    QByteArray digits(2, '0');
    putHexByte(digits.data(), ~sum & 0xFF);
    return digits;
}

QByteArray FormS224Record(std::uint32_t address, const unsigned char* data) {
    QByteArray record(SxRecordLength, '0');
    char* out = record.data();
    out[0] = 'S';
    out[1] = '2';
    out[2] = '2';
    out[3] = '4';
    putHexByte(out + 4, address >> 16);
    putHexByte(out + 6, address >> 8);
    putHexByte(out + 8, address);
    for (int i = 0; i < SxDataBytes; ++i)
        putHexByte(out + 10 + 2 * i, data[i]);
    const QByteArray checksum = CheckSumSx(record);
    out[SxRecordLength - 2] = checksum[0];
    out[SxRecordLength - 1] = checksum[1];
    return record;
}

std::optional<SxLine> ReadSxLine(QByteArrayView line) {
    if (line.isEmpty())
        return std::nullopt;
    if (line.size() < 2 || line[0] != 'S')
        return SxLine{};
    SxKind kind;
    qsizetype digits;
    switch (line[1]) {
    case '1':
        kind = SxKind::S1;
        digits = 4;
        break;
    case '2':
        kind = SxKind::S2;
        digits = 6;
        break;
    case '9':
        return SxLine{SxKind::S9, 0};
    default:
        return SxLine{};
    }
    // The address field follows the type and the byte count. Every line of a firmware
    // passes here, so the digits are combined without a branch each.
    if (line.size() < 4 + digits)
        return std::nullopt;
    std::uint32_t address = 0;
    int invalid = 0;
    for (qsizetype i = 4; i < 4 + digits; ++i) {
        const int digit = hexDigit(line[i]);
        invalid |= digit;
        address = address << 4 | static_cast<std::uint32_t>(digit & 0xF);
    }
    if (invalid < 0)
        return std::nullopt;
    return SxLine{kind, address};
}

} // namespace tessaly
