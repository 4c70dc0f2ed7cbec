#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <optional>

namespace tessaly {

// The one record the system writes: "S224", a 24-bit address, 32 data bytes and the
// checksum, 76 characters without the line end.
inline constexpr int SxDataBytes = 32;
inline constexpr int SxRecordLength = 76;

// The Motorola checksum of a record whose last two characters are a placeholder:
// the one's complement of the low byte of the sum of the hex pairs from the third
// character up to the placeholder. Two upper-case hex digits.
QByteArray CheckSumSx(QByteArrayView record);

// The S224 record for `data` (32 bytes) loaded at `address`, checksum included.
QByteArray FormS224Record(std::uint32_t address, const unsigned char* data);

// Any record, for the tools and tests that need other types and lengths: "S" + `type`,
// byte count, the address in `addressBytes` bytes (2 to 4), `data` and the checksum,
// upper-case hex digits. The byte count (address + data + checksum) must fit in a byte.
QByteArray formatSRecord(char type, std::uint32_t address, int addressBytes, QByteArrayView data);

// The value of a hex digit in either case, -1 for any other character.
namespace detail {
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
inline constexpr std::array<signed char, 256> HexValues = hexValues();
} // namespace detail
inline int sxHexDigit(char c) {
    return detail::HexValues[static_cast<unsigned char>(c)];
}

// The readers below run for every line of a firmware, so they are inline.

// The record type of a line: 0 to 9 for "S0" to "S9" (exactly an upper-case S), -1 for
// anything else.
inline int sxRecordType(QByteArrayView line) {
    if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9')
        return -1;
    return line[1] - '0';
}
// The size of the address field of record type `type` in bytes; 0 for S4, which does
// not exist, and for -1.
inline int sxAddressBytes(int type) {
    // S0 S1 S2 S3 S4 S5 S6 S7 S8 S9
    constexpr int Bytes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
    return type >= 0 && type <= 9 ? Bytes[type] : 0;
}
// Data records: S1, S2 and S3.
inline bool isSxDataType(int type) {
    return type >= 1 && type <= 3;
}
// Terminators: S7, S8 and S9.
inline bool isSxTerminatorType(int type) {
    return type >= 7 && type <= 9;
}

// The address of a record with an address field of `addressBytes` bytes (characters 5
// on), in either case. Nothing when the line is too short for the field or a character
// in it is not a hex digit. Nothing else of the line is examined.
inline std::optional<std::uint32_t> readSxAddress(QByteArrayView line, int addressBytes) {
    // The address field follows the type and the byte count; its digits are combined
    // without a branch each.
    const qsizetype digits = 2 * addressBytes;
    if (line.size() < 4 + digits)
        return std::nullopt;
    std::uint32_t address = 0;
    int invalid = 0;
    for (qsizetype i = 4; i < 4 + digits; ++i) {
        const int digit = sxHexDigit(line[i]);
        invalid |= digit;
        address = address << 4 | static_cast<std::uint32_t>(digit & 0xF);
    }
    if (invalid < 0)
        return std::nullopt;
    return address;
}

// The kinds the bank merge tells apart; every other line is copied as it is.
enum class SxKind { S1, S2, S9, Opaque };

struct SxLine {
    SxKind kind = SxKind::Opaque;
    std::uint32_t address = 0; // load address of an S1 or S2 line
};

// The kind and address of one firmware line, without its line end. The type is
// compared exactly ("s2" is opaque); only the address field of S1/S2 is examined.
// Fails for an empty line and for an S1/S2 line whose address field is short or
// holds a character that is not a hex digit.
inline std::optional<SxLine> ReadSxLine(QByteArrayView line) {
    if (line.isEmpty())
        return std::nullopt;
    SxKind kind;
    switch (sxRecordType(line)) {
    case 1:
        kind = SxKind::S1;
        break;
    case 2:
        kind = SxKind::S2;
        break;
    case 9:
        return SxLine{SxKind::S9, 0};
    default:
        return SxLine{};
    }
    const auto address = readSxAddress(line, kind == SxKind::S1 ? 2 : 3);
    if (!address)
        return std::nullopt;
    return SxLine{kind, *address};
}

// Why a record, checked whole, is not sound.
enum class SxFault {
    None,
    OddDigits,     // an odd number of characters after the type
    NotHexDigit,   // a character after the type that is not a hex digit
    CountMismatch, // the byte count is not the number of bytes that follow it
    TooShort,      // the count leaves no room for the address and the checksum
    BadChecksum,
};

// A record decoded whole. `bytes` is the caller's buffer: the count, the address, the
// data and the checksum, as written.
struct SxRecord {
    std::uint32_t address = 0;
    const unsigned char* data = nullptr;
    int dataSize = 0;
    int byteCount = 0;          // as written; with a CountMismatch, the bytes that follow it
    int bytesFound = 0;         // bytes after the type
    unsigned char checksum = 0; // as written
    unsigned char expected = 0; // as computed
};

// The longest record: a byte count of 255 and the count itself.
inline constexpr int SxMaxRecordBytes = 256;

// Checks a record of type `type` whole: its digits, its byte count against its length
// and its address size, and its checksum. Blanks at the end of the line are not part
// of the record. `bytes` receives the decoded bytes; nothing is allocated.
SxFault decodeSxRecord(QByteArrayView line, int type, unsigned char (&bytes)[SxMaxRecordBytes],
                       SxRecord& record);

// The record without the blanks (space, tab, CR and other white space) after it.
QByteArrayView withoutTrailingBlanks(QByteArrayView line);

} // namespace tessaly
