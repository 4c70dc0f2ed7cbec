#include "documents/TranslateTableCsv.h"

#include "documents/Csv.h"

#include <algorithm>

namespace tessaly {

QByteArray TranslateTableCsv(std::span<const TableRow> rows) {
    QString text = TranslateTableCsvHeader + CsvLineEnd;
    for (const TableRow& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += QLatin1Char(',');
            text += csvField(row[c]);
        }
        text += CsvLineEnd;
    }
    return text.toUtf8();
}

CsvTable TranslateTableFromCsv(const QByteArray& bytes) {
    CsvTable table;
    const CsvRecords split = readCsv(bytes);
    if (!split.ok()) {
        table.error = split.faultPlace();
        return table;
    }
    if (split.records.isEmpty() || split.records.first().join(QLatin1Char(',')) != TranslateTableCsvHeader) {
        table.error = CsvHeaderMessage.arg(TranslateTableCsvHeader);
        return table;
    }
    for (qsizetype r = 1; r < split.records.size(); ++r) {
        const QStringList& fields = split.records[r];
        TableRow& row = table.rows.emplace_back();
        if (fields.size() == 1 && fields.first().isEmpty())
            continue; // an empty line
        if (fields.size() != TableColumnCount) {
            table.rows.clear();
            table.error = CsvFieldCountMessage.arg(r).arg(fields.size());
            return table;
        }
        std::copy(fields.begin(), fields.end(), row.begin());
    }
    return table;
}

} // namespace tessaly
