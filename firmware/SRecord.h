#pragma once

#include <QByteArray>
#include <QByteArrayView>
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

enum class SxKind { S1, S2, S9, Opaque };

struct SxLine {
    SxKind kind = SxKind::Opaque;
    std::uint32_t address = 0; // load address of an S1 or S2 line
};

// The kind and address of one firmware line, without its line end. The type is
// compared exactly ("s2" is opaque); only the address field of S1/S2 is examined.
// Fails for an empty line and for an S1/S2 line whose address field is short or
// holds a character that is not a hex digit.
std::optional<SxLine> ReadSxLine(QByteArrayView line);

} // namespace tessaly
