#pragma once

#include <QByteArray>
#include <cstdint>

namespace tessaly::test {

// One S-record line (without line end) of type S1, S2 or S3.
inline QByteArray sRecord(char type, std::uint32_t address, const QByteArray& data) {
    const int addressLength = type - '0' + 1;
    QByteArray body;
    body.append(char(addressLength + data.size() + 1));
    for (int i = addressLength - 1; i >= 0; --i)
        body.append(char((address >> (8 * i)) & 0xFF));
    body.append(data);
    unsigned sum = 0;
    for (char c : body)
        sum += std::uint8_t(c);
    body.append(char(~sum & 0xFF));
    return "S" + QByteArray(1, type) + body.toHex().toUpper();
}

// A firmware-like file holding `bank` at 0x388000 in S2 records of 32 bytes,
// between other data, a header and a terminator.
inline QByteArray firmwareWithBank(const QByteArray& bank, const QByteArray& lineEnd = "\r\n") {
    QByteArray text = "S00F000068656C6C6F202020202000003C" + lineEnd;
    text += sRecord('2', 0x380000, QByteArray(32, '\x11')) + lineEnd;
    for (int k = 0; k < bank.size(); k += 32)
        text += sRecord('2', 0x388000 + k, bank.mid(k, 32)) + lineEnd;
    text += sRecord('2', 0x398000, QByteArray(32, '\x22')) + lineEnd;
    return text + "S804000000FB" + lineEnd;
}

} // namespace tessaly::test
