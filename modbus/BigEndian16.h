#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>
#include <cstdint>

// Modbus sends every 16-bit field, in the MBAP header and in a PDU, high byte first.
namespace tessaly::modbus {

// The field at `at`; the caller has checked that both bytes are there.
inline std::uint16_t bigEndian16(QByteArrayView bytes, qsizetype at) {
    return qFromBigEndian<std::uint16_t>(bytes.data() + at);
}

inline void appendBigEndian16(QByteArray& bytes, std::uint16_t value) {
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

} // namespace tessaly::modbus
