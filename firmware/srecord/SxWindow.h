#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <cstdint>

namespace tessaly {

// "0x388000": an address as the messages give it, at least six upper-case hex digits.
QString hexAddress(std::uint64_t address);

inline const QString SRecordBadLineMessage = QStringLiteral("\"%1\", line %2: %3");
inline const QString SRecordNoWindowMessage =
    QStringLiteral("\"%1\" holds no configuration bank: it has no data for the addresses %2 to %3.");
inline const QString SRecordPartialWindowMessage =
    QStringLiteral("\"%1\" holds only %2 of the %3 bytes of the configuration bank at %4 to %5.");
inline const QString SRecordNoEndMessage =
    QStringLiteral("\"%1\" is cut short: it has no end record (S7, S8 or S9).");
inline const QString SRecordTornMessage =
    QStringLiteral("\"%1\" is cut short: its last record, line %2, is torn.");

// An address window of an S-record file, or why it cannot be had.
struct SxWindowRead {
    QByteArray bytes; // the window's size when read
    QString error;
    // Why the file ends before its end record, when it does: a file cut short in a copy
    // or a transfer can still hold the whole window.
    QString cutShort{};
    bool ok() const { return error.isEmpty(); }
};

// Whether `text` starts like an S-record file ("S" and a record type digit, after
// blanks).
bool looksLikeSRecords(QByteArrayView text);

// Collects the bytes of the window [start, start + size) from the S1, S2 and S3 data
// records of `text`. Lines end in LF or CR LF; the type is compared exactly, so a
// line starting with "s2" or a blank is no record. Every data record's address is
// read, and fails as in the merge (a short field, a character that is not a hex
// digit); a record that can reach into the window is then checked whole (digits,
// byte count, checksum) and copied, others are passed over. An empty line, a bad
// record, or a window not fully covered is an error naming `fileName`. A file whose
// last record is not a sound end record is `cutShort`.
SxWindowRead readSxWindow(QByteArrayView text, std::uint32_t start, std::uint32_t size,
                          const QString& fileName);
// The same, read from `device` through one fixed buffer: memory stays the same
// whatever its size, and nothing is allocated per line.
SxWindowRead readSxWindow(QIODevice& device, std::uint32_t start, std::uint32_t size,
                          const QString& fileName);

} // namespace tessaly
