#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace tessaly {

// The outcome of checking a whole S-record file.
struct SRecordCheck {
    // Every record without its line end, in file order, pointing into the content.
    QList<QByteArrayView> records;
    int dataRecords = 0; // S1, S2 and S3 records among them
    QString error;       // empty when the file is sound
    bool ok() const { return error.isEmpty(); }
};

// Why `line` (numbered from 1 in the text) is no sound record: a type other than S0 to
// S9 or S4, hex digits, the byte count against the line's length and the address size
// of its type, the checksum ("Line 7: checksum error (expected 3C, found 3D)"). Empty
// for a sound record; blanks after it are not part of it.
QString sxRecordFault(QByteArrayView line, qint64 number);

// The strictest reading of a firmware, as a device loader does it before it takes a
// byte: every line (ending in LF or CR LF) a record of type S0 to S9 other than S4,
// checked whole (hex digits, a byte count that matches the line's length and the
// address size of its type, the checksum; blanks after it are not part of it); at
// least one data record; a terminator (S7, S8 or S9) as the last record, followed by
// nothing but empty lines. On failure `error` names the first faulty line. Nothing is
// allocated per line.
SRecordCheck checkSRecordFile(QByteArrayView content);

} // namespace tessaly
