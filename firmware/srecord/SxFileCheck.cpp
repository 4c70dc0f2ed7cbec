#include "firmware/srecord/SxFileCheck.h"

#include "firmware/srecord/LineReader.h"
#include "firmware/srecord/SRecord.h"

namespace tessaly {

namespace {

const QString NoRecords = QStringLiteral("The file holds no S-records");
const QString EmptyLine = QStringLiteral("Line %1: empty line");
const QString NotARecord = QStringLiteral("Line %1: not an S-record");
const QString BadHexDigits = QStringLiteral("Line %1: invalid hexadecimal digits");
const QString CountMismatch =
    QStringLiteral("Line %1: byte count %2 does not match the record length (%3 bytes)");
const QString TooShort = QStringLiteral("Line %1: record too short for its address");
const QString BadChecksum = QStringLiteral("Line %1: checksum error (expected %2, found %3)");
const QString AfterTerminator = QStringLiteral("Line %1: record after the terminator");
const QString NoDataRecords = QStringLiteral("The file holds no data records");
const QString NoTerminator = QStringLiteral("The file has no terminator record (S7, S8 or S9)");

QString hexByte(int value) {
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

QString sxRecordFault(QByteArrayView line, qint64 number) {
    const int type = sxRecordType(line);
    if (sxAddressBytes(type) == 0)
        return NotARecord.arg(number);
    unsigned char bytes[SxMaxRecordBytes];
    SxRecord record;
    switch (decodeSxRecord(line, type, bytes, record)) {
    case SxFault::None:
        return {};
    case SxFault::OddDigits:
    case SxFault::NotHexDigit:
        return BadHexDigits.arg(number);
    case SxFault::CountMismatch:
        return CountMismatch.arg(number).arg(record.byteCount).arg(record.bytesFound - 1);
    case SxFault::TooShort:
        return TooShort.arg(number);
    case SxFault::BadChecksum:
        return BadChecksum.arg(number).arg(hexByte(record.expected), hexByte(record.checksum));
    }
    return {};
}

SRecordCheck checkSRecordFile(QByteArrayView content) {
    SRecordCheck check;
    if (content.isEmpty()) {
        check.error = NoRecords;
        return check;
    }
    bool terminated = false;
    const bool read = forEachLine(content, [&check, &terminated](QByteArrayView line, qint64 number) {
        if (line.isEmpty()) {
            // Empty lines after the terminator carry nothing and are not sent; elsewhere
            // they are a damaged file.
            if (terminated)
                return true;
            check.error = EmptyLine.arg(number);
            return false;
        }
        if (terminated) {
            check.error = AfterTerminator.arg(number);
            return false;
        }
        check.error = sxRecordFault(line, number);
        if (!check.ok())
            return false;
        const int type = sxRecordType(line);
        check.records.append(withoutTrailingBlanks(line));
        if (isSxDataType(type))
            ++check.dataRecords;
        terminated = isSxTerminatorType(type);
        return true;
    });
    if (!read)
        return check;
    if (check.dataRecords == 0)
        check.error = NoDataRecords;
    else if (!terminated)
        check.error = NoTerminator;
    return check;
}

} // namespace tessaly
