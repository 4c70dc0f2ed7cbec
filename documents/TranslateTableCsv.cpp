#include "documents/TranslateTableCsv.h"

#include <QStringDecoder>
#include <algorithm>

namespace tessaly {

namespace {
const QString CrLf = QStringLiteral("\r\n");

QString quoted(const QString& field) {
    static const QString special = QStringLiteral(",\"\r\n");
    const bool needsQuotes =
        std::any_of(field.begin(), field.end(), [](QChar c) { return special.contains(c); });
    if (!needsQuotes)
        return field;
    QString text = field;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Splits RFC 4180 text into records of fields. Accepts LF as well as CR LF line ends.
struct Records {
    QList<QStringList> records;
    QString error;
};

Records splitRecords(const QString& text) {
    Records out;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool wasQuoted = false;
    const auto recordNumber = [&] { return out.records.size(); }; // the header is record 0
    const auto endField = [&] {
        fields << field;
        field.clear();
        wasQuoted = false;
    };
    const auto endRecord = [&] {
        endField();
        out.records << fields;
        fields.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                field += text[++i];
            else
                inQuotes = false;
            continue;
        }
        if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\n') ||
                   (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))) {
            if (c == QLatin1Char('\r'))
                ++i;
            endRecord();
        } else if (c == QLatin1Char('"')) {
            if (!field.isEmpty() || wasQuoted) {
                out.error = CsvQuoteMessage.arg(recordNumber());
                return out;
            }
            inQuotes = true;
            wasQuoted = true;
        } else if (wasQuoted) {
            out.error = CsvQuoteMessage.arg(recordNumber());
            return out;
        } else {
            field += c;
        }
    }
    if (inQuotes) {
        out.error = CsvOpenQuoteMessage.arg(recordNumber());
        return out;
    }
    if (!field.isEmpty() || wasQuoted || !fields.isEmpty())
        endRecord();
    return out;
}
} // namespace

QByteArray TranslateTableCsv(std::span<const TableRow> rows) {
    QString text = TranslateTableCsvHeader + CrLf;
    for (const TableRow& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += QLatin1Char(',');
            text += quoted(row[c]);
        }
        text += CrLf;
    }
    return text.toUtf8();
}

CsvTable TranslateTableFromCsv(const QByteArray& bytes) {
    CsvTable table;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        table.error = CsvNotUtf8Message;
        return table;
    }
    if (text.startsWith(QChar(0xFEFF))) // spreadsheets often start UTF-8 files with a byte order mark
        text.remove(0, 1);
    Records split = splitRecords(text);
    if (!split.error.isEmpty()) {
        table.error = split.error;
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
