#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace tessaly {

// The spreadsheet files the command line reads and writes: UTF-8, fields quoted as
// RFC 4180 asks, CR LF line ends.
inline const QString CsvLineEnd = QStringLiteral("\r\n");

// What stops a CSV file from being read, each naming the byte of the file (from 1).
inline const QString CsvNotUtf8Message = QStringLiteral("byte %1 (0x%2) is not UTF-8 text");
inline const QString CsvQuoteMessage = QStringLiteral("misplaced quote at byte %1");
inline const QString CsvOpenQuoteMessage = QStringLiteral("the quote at byte %1 is never closed");
// The same with its row and column, where no caller names them otherwise.
inline const QString CsvFaultPlaceMessage = QStringLiteral("Row %1, column %2: %3.");

// A table of one row per device, or the translate table's 2000 rows, is far smaller:
// this leaves room for tens of thousands of rows and keeps a file without end
// (/dev/zero) from being read whole.
inline constexpr qint64 CsvFileMaxBytes = qint64(16) << 20;
inline const QString CsvFileTooLargeMessage =
    QStringLiteral("\"%1\" holds %2 bytes; a table file holds at most %3 bytes.");
inline const QString CsvFileEndlessMessage =
    QStringLiteral("\"%1\" holds more than %2 bytes, more than a table file holds.");

// The bytes of a table file, or why they were not read.
struct CsvFile {
    QByteArray bytes;
    QString error;
    bool ok() const { return error.isEmpty(); }
};
// Reads the file at `path` (a regular file, a pipe, a device), refusing it as soon as
// it is known to hold more than CsvFileMaxBytes.
CsvFile readCsvFile(const QString& path);

// `field` as it stands in a line: quoted only when it holds a comma, a quote or a line end.
QString csvField(const QString& field);

enum class CsvFault { None, NotUtf8, MisplacedQuote, OpenQuote };

// The records of a CSV file, each a list of fields, up to the first fault.
struct CsvRecords {
    QList<QStringList> records;
    CsvFault fault = CsvFault::None;
    qsizetype faultRecord = 0; // the header is record 0
    qsizetype faultField = 0;  // from 0
    qint64 faultByte = 0;      // from 1, counted in the file's bytes
    unsigned char faultValue = 0;
    bool ok() const { return fault == CsvFault::None; }
    QString faultText() const;  // what is wrong at which byte
    QString faultPlace() const; // the same with its row and column
};

// Reads the bytes of a CSV file as spreadsheets write it: a leading UTF-8 byte order
// mark is dropped; a line ends at CR LF, LF or a CR alone (outside quotes); every byte
// must be UTF-8 text.
CsvRecords readCsv(QByteArrayView bytes);

// Whether every field of `record` is empty, as a spreadsheet writes a row left blank.
bool isBlankCsvRecord(const QStringList& record);

} // namespace tessaly
