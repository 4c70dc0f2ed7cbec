#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// S-record handling for the tools that stand beside the configurator: the flashing
// tool stand-in checks a whole file before it touches a port, and the demo firmware
// generator forms its records. Both are strict where the configurator's own reader is
// lenient, because they stand in for a device loader.
namespace tessaly::tools {

// One record without its line end: "S" + `type`, byte count, the address in
// `addressBytes` bytes, `data` and the checksum, hex digits in upper case.
// The byte count (address + data + checksum) must fit in one byte.
QByteArray formatSRecord(char type, quint32 address, int addressBytes, QByteArrayView data);

// The outcome of checking a whole S-record file.
struct SRecordCheck {
    QList<QByteArray> records; // every record without its line end, in file order
    int dataRecords = 0;       // S1, S2 and S3 records among them
    QString error;             // empty when the file is sound
    bool ok() const { return error.isEmpty(); }
};

// Checks every line of `content` (lines end in LF or CR LF): a record type S0 to S9
// other than S4, hex digits only, a byte count that matches the line's length and the
// address size of its type, a valid checksum; at least one data record; a terminator
// (S7, S8 or S9) as the last record, followed by nothing but blank lines. On failure `error` names the first
// faulty line.
SRecordCheck checkSRecordFile(const QByteArray& content);

} // namespace tessaly::tools
