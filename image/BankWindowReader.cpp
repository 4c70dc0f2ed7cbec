#include "image/BankWindowReader.h"

#include "firmware/LineReader.h"
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

// Gathers the window's bytes line by line, so that a file of any size is read through
// one fixed buffer.
class BankWindowCollector {
public:
    explicit BankWindowCollector(const QString& fileName) : name_(QDir::toNativeSeparators(fileName)) {
        result_.bytes = QByteArray(WindowSize, '\0');
    }

    // False once a data record is bad; the error is then set.
    bool add(QByteArrayView rawLine, qint64 lineNumber) {
        const QByteArrayView line = rawLine.trimmed();
        const int addressLength = addressLengthOf(line);
        if (addressLength == 0)
            return true; // header, count, terminator or any other line: no data
        QString reason;
        const std::optional<DataRecord> record = decodeDataRecord(line, addressLength, reason);
        if (!record)
            return fail(lineNumber, reason);
        for (qsizetype i = 0; i < record->data.size(); ++i) {
            const std::uint64_t address = std::uint64_t(record->address) + std::uint64_t(i);
            if (address < Bank1WindowStart || address > Bank1WindowEnd)
                continue;
            const auto offset = static_cast<std::size_t>(address - Bank1WindowStart);
            result_.bytes[static_cast<qsizetype>(offset)] = record->data[i];
            covered_.set(offset);
        }
        return true;
    }

    // A line too long for any record: an error when it starts like a data record.
    bool addOverlong(QByteArrayView start, qint64 lineNumber) {
        if (addressLengthOf(start.trimmed()) == 0)
            return true;
        return fail(lineNumber, QStringLiteral("the byte count does not match the record"));
    }

    bool fail(qint64 lineNumber, const QString& reason) {
        result_.error = SRecordBadLineMessage.arg(name_, QString::number(lineNumber), reason);
        return false;
    }

    BankWindowRead finish() {
        if (!result_.ok())
            return result_;
        if (covered_.none())
            result_.error = SRecordNoWindowMessage.arg(name_);
        else if (!covered_.all())
            result_.error = SRecordPartialWindowMessage.arg(name_, QString::number(covered_.count()));
        return result_;
    }

private:
    QString name_;
    BankWindowRead result_;
    std::bitset<WindowSize> covered_;
};

// The longest line a data record can be: type, 255 bytes as hex digits, blanks around.
constexpr qsizetype LongestRecordLine = 4096;

} // namespace

bool looksLikeSRecords(QByteArrayView text) {
    const QByteArrayView start = text.trimmed();
    return start.size() >= 2 && start[0] == 'S' && start[1] >= '0' && start[1] <= '9';
}

BankWindowRead readBank1Window(QByteArrayView text, const QString& fileName) {
    BankWindowCollector collector(fileName);
    qsizetype lineStart = 0;
    for (qint64 lineNumber = 1; lineStart < text.size(); ++lineNumber) {
        qsizetype lineEnd = text.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        const QByteArrayView line = text.sliced(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!collector.add(line, lineNumber))
            break;
    }
    return collector.finish();
}

BankWindowRead readBank1Window(QIODevice& device, const QString& fileName) {
    BankWindowCollector collector(fileName);
    LineReader reader(device, LongestRecordLine);
    qint64 lineNumber = 0;
    while (const auto piece = reader.next()) {
        if (!piece->startsLine)
            continue; // the rest of an overlong line, already judged by its start
        ++lineNumber;
        const bool ok = piece->endsLine ? collector.add(piece->bytes, lineNumber)
                                        : collector.addOverlong(piece->bytes, lineNumber);
        if (!ok)
            return collector.finish();
    }
    if (reader.failed())
        collector.fail(lineNumber + 1, device.errorString());
    return collector.finish();
}

} // namespace tessaly
