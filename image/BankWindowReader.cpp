#include "image/BankWindowReader.h"

#include "image/ConfigImage.h"

#include <QDir>
#include <QList>
#include <bitset>
#include <optional>

namespace tessaly {

namespace {

constexpr std::uint32_t WindowSize = Bank1WindowEnd - Bank1WindowStart + 1;
static_assert(WindowSize == ConfigImageSize);

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

struct DataRecord {
    std::uint32_t address = 0;
    QByteArray data;
};

// Decodes a data record of `addressLength` address bytes; sets `reason` when it
// is not one.
std::optional<DataRecord> decodeDataRecord(QByteArrayView line, int addressLength, QString& reason) {
    const QByteArrayView digits = line.sliced(2);
    if (digits.size() % 2 != 0) {
        reason = QStringLiteral("odd number of hexadecimal digits");
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        const int low = hexDigit(digits[i + 1]);
        if (high < 0 || low < 0) {
            reason = QStringLiteral("a character that is not a hexadecimal digit");
            return std::nullopt;
        }
        bytes.append(static_cast<char>(high * 16 + low));
    }
    if (bytes.size() < 2 + addressLength || static_cast<std::uint8_t>(bytes[0]) != bytes.size() - 1) {
        reason = QStringLiteral("the byte count does not match the record");
        return std::nullopt;
    }
    std::uint8_t sum = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(bytes[i]));
    if (static_cast<std::uint8_t>(~sum) != static_cast<std::uint8_t>(bytes.back())) {
        reason = QStringLiteral("wrong checksum");
        return std::nullopt;
    }
    DataRecord record;
    for (int i = 0; i < addressLength; ++i)
        record.address = (record.address << 8) | static_cast<std::uint8_t>(bytes[1 + i]);
    record.data = bytes.mid(1 + addressLength, bytes.size() - 2 - addressLength);
    return record;
}

int addressLengthOf(QByteArrayView line) {
    if (line.size() < 2 || line[0] != 'S')
        return 0;
    switch (line[1]) {
    case '1':
        return 2;
    case '2':
        return 3;
    case '3':
        return 4;
    default:
        return 0;
    }
}

} // namespace

bool looksLikeSRecords(QByteArrayView text) {
    const QByteArrayView start = text.trimmed();
    return start.size() >= 2 && start[0] == 'S' && start[1] >= '0' && start[1] <= '9';
}

BankWindowRead readBank1Window(QByteArrayView text, const QString& fileName) {
    const QString name = QDir::toNativeSeparators(fileName);
    BankWindowRead result;
    result.bytes = QByteArray(WindowSize, '\0');
    std::bitset<WindowSize> covered;

    qsizetype lineStart = 0;
    for (int lineNumber = 1; lineStart < text.size(); ++lineNumber) {
        qsizetype lineEnd = text.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        const QByteArrayView line = text.sliced(lineStart, lineEnd - lineStart).trimmed();
        lineStart = lineEnd + 1;

        const int addressLength = addressLengthOf(line);
        if (addressLength == 0)
            continue; // header, count, terminator or any other line: no data
        QString reason;
        const std::optional<DataRecord> record = decodeDataRecord(line, addressLength, reason);
        if (!record) {
            result.error = SRecordBadLineMessage.arg(name, QString::number(lineNumber), reason);
            return result;
        }
        for (qsizetype i = 0; i < record->data.size(); ++i) {
            const std::uint64_t address = std::uint64_t(record->address) + std::uint64_t(i);
            if (address < Bank1WindowStart || address > Bank1WindowEnd)
                continue;
            const auto offset = static_cast<std::size_t>(address - Bank1WindowStart);
            result.bytes[static_cast<qsizetype>(offset)] = record->data[i];
            covered.set(offset);
        }
    }
    if (covered.none())
        result.error = SRecordNoWindowMessage.arg(name);
    else if (!covered.all())
        result.error = SRecordPartialWindowMessage.arg(name, QString::number(covered.count()));
    return result;
}

} // namespace tessaly
