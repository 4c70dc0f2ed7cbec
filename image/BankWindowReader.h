#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <cstdint>

namespace tessaly {

// Bank 1, where the configuration image lies in the device's memory.
inline constexpr std::uint32_t Bank1WindowStart = 0x388000;
inline constexpr std::uint32_t Bank1WindowEnd = 0x38BFFF; // inclusive

inline const QString SRecordBadLineMessage = QStringLiteral("\"%1\", line %2: %3");
inline const QString SRecordNoWindowMessage = QStringLiteral(
    "\"%1\" holds no configuration bank: it has no data for the addresses 0x388000 to 0x38BFFF.");
inline const QString SRecordPartialWindowMessage = QStringLiteral(
    "\"%1\" holds only %2 of the 16384 bytes of the configuration bank at 0x388000 to 0x38BFFF.");

// The bank 1 window of an S-record file, or why it cannot be had.
struct BankWindowRead {
    QByteArray bytes; // 16384 bytes when read
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Whether `text` starts like an S-record file ("S" and a record type digit).
bool looksLikeSRecords(QByteArrayView text);

// Collects the bytes of 0x388000 to 0x38BFFF from the S1, S2 and S3 data records
// of `text` (lines ending in LF or CR LF, hexadecimal in either case; other lines
// are passed over). Every data record is checked whole (digits, byte count,
// checksum); a bad one, or a window not fully covered, is an error naming
// `fileName`.
BankWindowRead readBank1Window(QByteArrayView text, const QString& fileName);
// The same, read from `device` line by line: memory stays the same whatever its size.
BankWindowRead readBank1Window(QIODevice& device, const QString& fileName);

} // namespace tessaly
