#include "firmware/srecord/SxWindow.h"

#include "firmware/srecord/LineReader.h"
#include "firmware/srecord/SRecord.h"

#include <QDir>
#include <vector>

namespace tessaly {

namespace {

QString reasonFor(SxFault fault) {
    switch (fault) {
    case SxFault::OddDigits:
        return QStringLiteral("odd number of hexadecimal digits");
    case SxFault::NotHexDigit:
        return QStringLiteral("a character that is not a hexadecimal digit");
    case SxFault::BadChecksum:
        return QStringLiteral("wrong checksum");
    case SxFault::None:
    case SxFault::CountMismatch:
    case SxFault::TooShort:
        break;
    }
    return QStringLiteral("the byte count does not match the record");
}

const QString EmptyLineReason = QStringLiteral("an empty line");

// Gathers the window's bytes line by line. Only the address of a record is read until
// the record can reach into the window; then it is decoded whole into a buffer of its
// own, so no line costs an allocation.
class WindowCollector {
public:
    WindowCollector(std::uint32_t start, std::uint32_t size, const QString& fileName)
        : start_(start), size_(size), name_(QDir::toNativeSeparators(fileName)), covered_(size, false) {
        result_.bytes = QByteArray(qsizetype(size), '\0');
    }

    // False once the file is refused; the error is then set. Only the last line of a
    // file can lack its line end.
    bool add(QByteArrayView line, qint64 number, bool hasLineEnd = true) {
        if (line.isEmpty())
            return fail(number, EmptyLineReason);
        const int type = sxRecordType(line);
        noteLastRecord(line, number, type, hasLineEnd);
        if (!isSxDataType(type))
            return true; // header, count, terminator or any other line: no data
        const auto address = readSxAddress(line, sxAddressBytes(type));
        if (address && !mayReach(*address))
            return true;
        unsigned char bytes[SxMaxRecordBytes];
        SxRecord record;
        const SxFault fault = decodeSxRecord(line, type, bytes, record);
        if (fault != SxFault::None || !address)
            return fail(number, reasonFor(fault));
        for (int i = 0; i < record.dataSize; ++i) {
            const std::uint64_t at = std::uint64_t(record.address) + std::uint64_t(i);
            if (at < start_ || at >= std::uint64_t(start_) + size_)
                continue;
            const auto offset = static_cast<std::size_t>(at - start_);
            result_.bytes[qsizetype(offset)] = char(record.data[i]);
            if (!covered_[offset]) {
                covered_[offset] = true;
                ++coveredCount_;
            }
        }
        return true;
    }

    // The start of a line longer than any record: an error when it is a data record
    // that can reach into the window, or whose address cannot be read.
    bool addOverlong(QByteArrayView start, qint64 number) {
        const int type = sxRecordType(start);
        last_ = {number, false, false};
        if (!isSxDataType(type))
            return true;
        const auto address = readSxAddress(start, sxAddressBytes(type));
        if (!address)
            return fail(number, reasonFor(SxFault::NotHexDigit));
        return mayReach(*address) ? fail(number, reasonFor(SxFault::CountMismatch)) : true;
    }

    bool fail(qint64 number, const QString& reason) {
        result_.error = SRecordBadLineMessage.arg(name_, QString::number(number), reason);
        return false;
    }

    SxWindowRead finish() {
        if (!result_.ok())
            return result_;
        if (!last_.sound)
            result_.cutShort = SRecordTornMessage.arg(name_, QString::number(last_.number));
        else if (!last_.terminator)
            result_.cutShort = SRecordNoEndMessage.arg(name_);
        const QString first = hexAddress(start_);
        const QString last = hexAddress(std::uint64_t(start_) + size_ - 1);
        if (coveredCount_ == 0)
            result_.error = SRecordNoWindowMessage.arg(name_, first, last);
        else if (coveredCount_ < size_)
            result_.error = SRecordPartialWindowMessage.arg(name_, QString::number(coveredCount_),
                                                            QString::number(size_), first, last);
        return result_;
    }

private:
    // Whether the file ends in a sound end record. Records are decoded here only where
    // it matters: an end record, and a last line without its line end, where a copy
    // that stopped half-way leaves a torn record.
    void noteLastRecord(QByteArrayView line, qint64 number, int type, bool hasLineEnd) {
        last_ = {number, isSxTerminatorType(type), true};
        if (last_.terminator || !hasLineEnd) {
            unsigned char bytes[SxMaxRecordBytes];
            SxRecord record;
            last_.sound = type >= 0 && sxAddressBytes(type) > 0 &&
                          decodeSxRecord(line, type, bytes, record) == SxFault::None;
        }
    }

    // A record starting at `address` carries at most 255 bytes.
    bool mayReach(std::uint32_t address) const {
        return address < std::uint64_t(start_) + size_ && std::uint64_t(address) + SxMaxRecordBytes > start_;
    }

    std::uint32_t start_;
    std::uint32_t size_;
    QString name_;
    SxWindowRead result_;
    std::vector<bool> covered_;
    std::uint32_t coveredCount_ = 0;
    struct LastRecord {
        qint64 number = 0;
        bool terminator = false;
        bool sound = true;
    } last_;
};

} // namespace

QString hexAddress(std::uint64_t address) {
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

bool looksLikeSRecords(QByteArrayView text) {
    const QByteArrayView start = text.trimmed();
    return start.size() >= 2 && start[0] == 'S' && start[1] >= '0' && start[1] <= '9';
}

SxWindowRead readSxWindow(QByteArrayView text, std::uint32_t start, std::uint32_t size,
                          const QString& fileName) {
    WindowCollector collector(start, size, fileName);
    const char* const end = text.data() + text.size();
    forEachLine(text, [&collector, end](QByteArrayView line, qint64 number) {
        // Only the last line can run to the end of the text without a line end.
        const char* after = line.data() + line.size();
        if (after < end && *after == '\r')
            ++after;
        return collector.add(line, number, after < end && *after == '\n');
    });
    return collector.finish();
}

SxWindowRead readSxWindow(QIODevice& device, std::uint32_t start, std::uint32_t size,
                          const QString& fileName) {
    WindowCollector collector(start, size, fileName);
    LineReader reader(device);
    qint64 number = 0;
    while (const auto piece = reader.next()) {
        if (!piece->startsLine)
            continue; // the rest of an overlong line, already judged by its start
        ++number;
        const bool ok = piece->endsLine ? collector.add(piece->bytes, number, piece->raw.endsWith('\n'))
                                        : collector.addOverlong(piece->bytes, number);
        if (!ok)
            return collector.finish();
    }
    if (reader.failed())
        collector.fail(number + 1, device.errorString());
    return collector.finish();
}

} // namespace tessaly
