// The CSV reader on arbitrary bytes: a fault names a byte of the input, and records it
// read whole, written back field by field, read as the same records.
#include "documents/Csv.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = tessaly::fuzz::bytesOf(data, size);
    const tessaly::CsvRecords read = tessaly::readCsv(bytes);
    if (!read.ok()) {
        FUZZ_CHECK(read.faultByte >= 1 && read.faultByte <= bytes.size());
        FUZZ_CHECK(static_cast<unsigned char>(bytes[read.faultByte - 1]) == read.faultValue);
        return 0;
    }
    // A byte order mark in front, so that one the data starts with is not taken for it.
    QString text = QChar(0xFEFF);
    for (const QStringList& record : read.records) {
        for (qsizetype f = 0; f < record.size(); ++f)
            text += (f > 0 ? QStringLiteral(",") : QString()) + tessaly::csvField(record[f]);
        text += tessaly::CsvLineEnd;
    }
    const tessaly::CsvRecords again = tessaly::readCsv(text.toUtf8());
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again.records == read.records);
    return 0;
}
