#pragma once

#include "documents/Csv.h"
#include "documents/TranslateTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <span>

namespace tessaly {

// The table as a spreadsheet file: UTF-8, one header line, then one line per row
// with the six cells (data types by name), quoted as RFC 4180 asks, CR LF line ends.
inline const QString TranslateTableCsvHeader =
    QStringLiteral("Data Type,Address TCP,Address Device RTU,Address RTU,N° Point,Mnemonic");

inline const QString CsvHeaderMessage = QStringLiteral("The first line must be the header \"%1\".");
inline const QString CsvFieldCountMessage = QStringLiteral("Row %1 has %2 fields; a row has 6.");

QByteArray TranslateTableCsv(std::span<const TableRow> rows);

// The rows of a CSV file (header checked and left out), or the reason it cannot be
// read. Row numbers in the reasons count the rows after the header from 1. An empty
// line is an empty row; a last line without a line end counts as a row.
struct CsvTable {
    QList<TableRow> rows;
    QString error; // empty when read
    bool ok() const { return error.isEmpty(); }
};
CsvTable TranslateTableFromCsv(const QByteArray& bytes);

} // namespace tessaly
