#include "firmware/srecord/SRecord.h"

#include <QtGlobal>
#include <algorithm>
#include <array>
#include <climits>

namespace tessaly {

namespace {

constexpr char UpperHex[] = "0123456789ABCDEF";

void putHexByte(char* out, unsigned value) {
    out[0] = UpperHex[(value >> 4) & 0xF];
    out[1] = UpperHex[value & 0xF];
}

} // namespace

QByteArray CheckSumSx(QByteArrayView record) {
    unsigned sum = 0;
    // Pairs start at the third character and stop before the two placeholder digits.
    for (qsizetype i = 2; i <= record.size() - 3; i += 2)
        sum += static_cast<unsigned>(sxHexDigit(record[i]) << 4 | sxHexDigit(record[i + 1]));
    QByteArray digits(2, '0');
    putHexByte(digits.data(), ~sum & 0xFF);
    return digits;
}

QByteArray FormS224Record(std::uint32_t address, const unsigned char* data) {
    QByteArray record(SxRecordLength, '0');
    char* out = record.data();
    out[0] = 'S';
    out[1] = '2';
    out[2] = '2';
    out[3] = '4';
    putHexByte(out + 4, address >> 16);
    putHexByte(out + 6, address >> 8);
    putHexByte(out + 8, address);
    for (int i = 0; i < SxDataBytes; ++i)
        putHexByte(out + 10 + 2 * i, data[i]);
    const QByteArray checksum = CheckSumSx(record);
    out[SxRecordLength - 2] = checksum[0];
    out[SxRecordLength - 1] = checksum[1];
    return record;
}

QByteArray formatSRecord(char type, std::uint32_t address, int addressBytes, QByteArrayView data) {
    Q_ASSERT(addressBytes >= 2 && addressBytes <= 4);
    Q_ASSERT(addressBytes + data.size() + 1 <= 0xFF);
    const int count = addressBytes + int(data.size()) + 1;
    QByteArray record(2 + 2 * (count + 1), '0');
    char* out = record.data();
    out[0] = 'S';
    out[1] = type;
    unsigned sum = unsigned(count);
    putHexByte(out + 2, unsigned(count));
    out += 4;
    for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8, out += 2) {
        const unsigned byte = (address >> shift) & 0xFF;
        sum += byte;
        putHexByte(out, byte);
    }
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        sum += byte;
        putHexByte(out, byte);
        out += 2;
    }
    putHexByte(out, ~sum & 0xFF);
    return record;
}

QByteArrayView withoutTrailingBlanks(QByteArrayView line) {
    qsizetype size = line.size();
    while (size > 0 && (line[size - 1] == ' ' || (line[size - 1] >= '\t' && line[size - 1] <= '\r')))
        --size;
    return line.first(size);
}

SxFault decodeSxRecord(QByteArrayView line, int type, unsigned char (&bytes)[SxMaxRecordBytes],
                       SxRecord& record) {
    const QByteArrayView text = withoutTrailingBlanks(line);
    if (text.size() < 2)
        return SxFault::NotHexDigit;
    const qsizetype digits = text.size() - 2;
    if (digits % 2 != 0)
        return SxFault::OddDigits;
    const qsizetype found = digits / 2;
    record.bytesFound = static_cast<int>(std::min<qsizetype>(found, INT_MAX));
    // Every digit is looked at, even of a record too long to be one, so that a bad
    // digit is reported as such wherever it stands.
    int invalid = 0;
    unsigned sum = 0;
    const char* at = text.data() + 2;
    for (qsizetype i = 0; i < found; ++i, at += 2) {
        const int high = sxHexDigit(at[0]);
        const int low = sxHexDigit(at[1]);
        invalid |= high | low;
        const auto byte = static_cast<unsigned char>((high & 0xF) << 4 | (low & 0xF));
        if (i < SxMaxRecordBytes)
            bytes[i] = byte;
        if (i + 1 < found)
            sum += byte;
    }
    if (invalid < 0 || found == 0)
        return SxFault::NotHexDigit;
    record.byteCount = bytes[0];
    if (found > SxMaxRecordBytes || bytes[0] != found - 1)
        return SxFault::CountMismatch;
    const int addressBytes = sxAddressBytes(type);
    if (found < 2 + addressBytes)
        return SxFault::TooShort;
    record.checksum = bytes[found - 1];
    record.expected = static_cast<unsigned char>(~sum & 0xFF);
    std::uint32_t address = 0;
    for (int i = 1; i <= addressBytes; ++i)
        address = address << 8 | bytes[i];
    record.address = address;
    record.data = bytes + 1 + addressBytes;
    record.dataSize = static_cast<int>(found) - 2 - addressBytes;
    if (record.checksum != record.expected)
        return SxFault::BadChecksum;
    return SxFault::None;
}

} // namespace tessaly
