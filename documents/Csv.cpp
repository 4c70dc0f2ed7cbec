#include "documents/Csv.h"

#include <QStringDecoder>
#include <algorithm>

namespace tessaly {

QString csvField(const QString& field) {
    static const QString special = QStringLiteral(",\"\r\n");
    const bool needsQuotes =
        std::any_of(field.begin(), field.end(), [](QChar c) { return special.contains(c); });
    if (!needsQuotes)
        return field;
    QString text = field;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

std::optional<QString> csvText(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    if (text.startsWith(QChar(0xFEFF))) // spreadsheets often start UTF-8 files with a byte order mark
        text.remove(0, 1);
    return text;
}

CsvRecords splitCsvRecords(const QString& text) {
    CsvRecords out;
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

} // namespace tessaly
