#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The spreadsheet files the command line reads and writes: UTF-8, fields quoted as
// RFC 4180 asks, CR LF line ends.
inline const QString CsvLineEnd = QStringLiteral("\r\n");

inline const QString CsvNotUtf8Message = QStringLiteral("The file is not UTF-8 text.");
inline const QString CsvQuoteMessage = QStringLiteral("Row %1 has a misplaced quote.");
inline const QString CsvOpenQuoteMessage = QStringLiteral("Row %1 has a quote that is never closed.");

// `field` as it stands in a line: quoted only when it holds a comma, a quote or a line end.
QString csvField(const QString& field);

// The text of a CSV file's bytes, a leading byte order mark dropped; nothing when
// the bytes are not UTF-8.
std::optional<QString> csvText(const QByteArray& bytes);

// The records of CSV text, each a list of fields; LF ends a line as well as CR LF.
// Row numbers in the errors count the records after the first from 1.
struct CsvRecords {
    QList<QStringList> records;
    QString error; // empty when read
    bool ok() const { return error.isEmpty(); }
};
CsvRecords splitCsvRecords(const QString& text);

} // namespace tessaly
