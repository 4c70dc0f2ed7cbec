#pragma once

#include "modbus/ModbusProtocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <cstdint>
#include <variant>

// A request on one of the four data tables, any of the four reads and four writes, as
// a server parses it and a client forms it.
namespace tessaly::modbus {

struct DataRequest {
    Function function = Function::ReadHoldingRegisters;
    std::uint16_t address = 0;
    std::uint16_t count = 1;
    // A write's values, one per point: a coil is 0 or 1, a register its 16 bits.
    QList<std::uint16_t> values;

    friend bool operator==(const DataRequest&, const DataRequest&) = default;
};

// The request a PDU asks for, or the exception a server answers it with: illegal
// function for a code outside the eight; illegal data value for a PDU whose size, byte
// count or coil value does not fit its function, or a count outside 1 to the most one
// request carries; illegal data address for points past 65535.
std::variant<DataRequest, ExceptionCode> parseDataRequest(QByteArrayView pdu);

// The PDU of `request`: function code, address, then the count and, for the writes,
// their values (a single coil as FF00 or 0000; bits packed from the lowest bit of the
// first byte on; registers big-endian).
QByteArray dataRequestPdu(const DataRequest& request);

// What a server answers a write with: a single write echoes the request, a multiple
// write gives its function, address and count.
QByteArray writeAnswerPdu(const DataRequest& write);

// The address a data request names: bytes 1 and 2 of its PDU, for all eight functions.
std::uint16_t requestAddress(QByteArrayView pdu);
// `pdu` with its address replaced by `address`; the rest stays byte for byte.
QByteArray withRequestAddress(QByteArrayView pdu, std::uint16_t address);

} // namespace tessaly::modbus
