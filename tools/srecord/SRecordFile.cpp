#include "tools/srecord/SRecordFile.h"

#include <QtGlobal>
#include <algorithm>

namespace tessaly::tools {

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

// Address bytes per record type; 0 for a type that does not exist (S4).
int addressBytesOf(char type) {
    switch (type) {
    case '0':
    case '1':
    case '5':
    case '9':
        return 2;
    case '2':
    case '6':
    case '8':
        return 3;
    case '3':
    case '7':
        return 4;
    default:
        return 0;
    }
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isTerminator(char type) {
    return type == '7' || type == '8' || type == '9';
}
bool isData(char type) {
    return type == '1' || type == '2' || type == '3';
}

QString hexByte(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The error for `line` (numbered from 1), or an empty text when it is a sound record.
QString checkRecord(QByteArrayView line, int number) {
    if (line.size() < 2 || line[0] != 'S' || addressBytesOf(line[1]) == 0)
        return NotARecord.arg(number);
    const QByteArrayView hex = line.sliced(2);
    if (hex.size() < 2 || hex.size() % 2 != 0 || !std::all_of(hex.begin(), hex.end(), isHexDigit))
        return BadHexDigits.arg(number);
    const QByteArray bytes = QByteArray::fromHex(hex.toByteArray());
    const int count = quint8(bytes[0]);
    if (count != bytes.size() - 1)
        return CountMismatch.arg(number).arg(count).arg(bytes.size() - 1);
    if (count < addressBytesOf(line[1]) + 1)
        return TooShort.arg(number);
    int sum = 0;
    for (qsizetype i = 0; i < bytes.size() - 1; ++i)
        sum += quint8(bytes[i]);
    const int expected = ~sum & 0xFF;
    const int found = quint8(bytes.back());
    if (expected != found)
        return BadChecksum.arg(number).arg(hexByte(expected), hexByte(found));
    return {};
}

} // namespace

QByteArray formatSRecord(char type, quint32 address, int addressBytes, QByteArrayView data) {
    Q_ASSERT(addressBytes >= 2 && addressBytes <= 4);
    Q_ASSERT(addressBytes + data.size() + 1 <= 0xFF);
    QByteArray bytes;
    bytes.reserve(1 + addressBytes + data.size());
    bytes.append(char(addressBytes + data.size() + 1));
    for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8)
        bytes.append(char((address >> shift) & 0xFF));
    bytes.append(data);
    int sum = 0;
    for (const char byte : std::as_const(bytes))
        sum += quint8(byte);
    bytes.append(char(~sum & 0xFF));
    return QByteArray("S") + type + bytes.toHex().toUpper();
}

SRecordCheck checkSRecordFile(const QByteArray& content) {
    SRecordCheck check;
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    // The final line end leaves one empty piece behind it.
    if (content.endsWith('\n'))
        lines.removeLast();
    if (content.isEmpty()) {
        check.error = NoRecords;
        return check;
    }
    bool terminated = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const int number = int(i + 1);
        if (line.isEmpty()) {
            // Blank lines after the terminator carry nothing and are not sent; elsewhere
            // they are a damaged file.
            if (terminated)
                continue;
            check.error = EmptyLine.arg(number);
            return check;
        }
        if (terminated) {
            check.error = AfterTerminator.arg(number);
            return check;
        }
        check.error = checkRecord(line, number);
        if (!check.ok())
            return check;
        check.records.append(line);
        if (isData(line[1]))
            ++check.dataRecords;
        terminated = isTerminator(line[1]);
    }
    if (check.dataRecords == 0)
        check.error = NoDataRecords;
    else if (!terminated)
        check.error = NoTerminator;
    return check;
}

} // namespace tessaly::tools
