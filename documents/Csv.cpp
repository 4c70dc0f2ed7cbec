#include "documents/Csv.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <algorithm>

namespace tessaly {

namespace {

// The length of the well-formed UTF-8 sequence that starts at `at` (a byte of 0x80 or
// above), or 0 when it is not one: no overlong forms, no surrogates, nothing beyond
// U+10FFFF.
qsizetype utf8SequenceLength(const unsigned char* at, const unsigned char* end) {
    const unsigned char lead = *at;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (end - at < length || at[1] < low || at[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (at[i] < 0x80 || at[i] > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

CsvFile readCsvFile(const QString& path) {
    CsvFile table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        table.error = cannotOpenFileMessage(path, file.errorString());
        return table;
    }
    const QString shownPath = QDir::toNativeSeparators(path);
    if (!file.isSequential() && file.size() > CsvFileMaxBytes) {
        table.error = CsvFileTooLargeMessage.arg(shownPath).arg(file.size()).arg(CsvFileMaxBytes);
        return table;
    }
    // A device or a pipe tells no size: one byte past the limit is enough to refuse it.
    constexpr qint64 Chunk = qint64(1) << 16;
    while (table.bytes.size() <= CsvFileMaxBytes) {
        const QByteArray chunk = file.read(std::min(Chunk, CsvFileMaxBytes + 1 - table.bytes.size()));
        if (chunk.isEmpty())
            break;
        table.bytes += chunk;
    }
    if (file.error() != QFileDevice::NoError)
        table.error = cannotOpenFileMessage(path, file.errorString());
    else if (table.bytes.size() > CsvFileMaxBytes)
        table.error = CsvFileEndlessMessage.arg(shownPath).arg(CsvFileMaxBytes);
    if (!table.ok())
        table.bytes.clear();
    return table;
}

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

QString CsvRecords::faultText() const {
    switch (fault) {
    case CsvFault::None:
        break;
    case CsvFault::NotUtf8:
        return CsvNotUtf8Message.arg(faultByte).arg(
            QString::number(faultValue, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    case CsvFault::MisplacedQuote:
        return CsvQuoteMessage.arg(faultByte);
    case CsvFault::OpenQuote:
        return CsvOpenQuoteMessage.arg(faultByte);
    }
    return {};
}

QString CsvRecords::faultPlace() const {
    return ok() ? QString() : CsvFaultPlaceMessage.arg(faultRecord).arg(faultField + 1).arg(faultText());
}

CsvRecords readCsv(QByteArrayView bytes) {
    CsvRecords out;
    const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = begin + bytes.size();
    const auto* at = begin;
    if (bytes.startsWith("\xEF\xBB\xBF")) // spreadsheets often start UTF-8 files with one
        at += 3;
    QStringList fields;
    QByteArray field;
    bool inQuotes = false;
    bool wasQuoted = false;
    const unsigned char* quoteAt = nullptr;
    const auto fail = [&](CsvFault fault, const unsigned char* where) {
        out.fault = fault;
        out.faultRecord = out.records.size();
        out.faultField = fields.size();
        out.faultByte = (where - begin) + 1;
        out.faultValue = *where;
        return out;
    };
    // Fields are decoded one by one; a byte order mark at the start of one is a
    // character of it (only the file's own was dropped above).
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const auto endField = [&] {
        fields << decoder.decode(field);
        field.clear();
        wasQuoted = false;
    };
    const auto endRecord = [&] {
        endField();
        out.records << fields;
        fields.clear();
    };
    for (; at < end; ++at) {
        const unsigned char c = *at;
        if (c >= 0x80) {
            const qsizetype length = utf8SequenceLength(at, end);
            if (length == 0)
                return fail(CsvFault::NotUtf8, at);
            if (wasQuoted && !inQuotes)
                return fail(CsvFault::MisplacedQuote, at);
            field.append(reinterpret_cast<const char*>(at), length);
            at += length - 1;
            continue;
        }
        if (inQuotes) {
            if (c != '"')
                field += char(c);
            else if (at + 1 < end && at[1] == '"')
                field += char(*++at);
            else
                inQuotes = false;
            continue;
        }
        if (c == ',') {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && at + 1 < end && at[1] == '\n')
                ++at;
            endRecord();
        } else if (c == '"') {
            if (!field.isEmpty() || wasQuoted)
                return fail(CsvFault::MisplacedQuote, at);
            inQuotes = true;
            wasQuoted = true;
            quoteAt = at;
        } else if (wasQuoted) {
            return fail(CsvFault::MisplacedQuote, at);
        } else {
            field += char(c);
        }
    }
    if (inQuotes)
        return fail(CsvFault::OpenQuote, quoteAt);
    if (!field.isEmpty() || wasQuoted || !fields.isEmpty())
        endRecord();
    return out;
}

bool isBlankCsvRecord(const QStringList& record) {
    return std::all_of(record.begin(), record.end(), [](const QString& field) { return field.isEmpty(); });
}

} // namespace tessaly
