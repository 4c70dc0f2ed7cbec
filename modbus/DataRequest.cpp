#include "modbus/DataRequest.h"

#include "modbus/BigEndian16.h"
#include "modbus/ReadExchange.h"

namespace tessaly::modbus {

namespace {
constexpr qsizetype SingleWritePduSize = 5;
// Function code, address, count and byte count before a multiple write's values.
constexpr qsizetype MultipleWriteHeaderSize = 6;
constexpr std::uint16_t CoilOn = 0xFF00;

std::variant<DataRequest, ExceptionCode> parseSingleWrite(Function function, QByteArrayView pdu) {
    if (pdu.size() != SingleWritePduSize)
        return ExceptionCode::IllegalDataValue;
    DataRequest write{function, bigEndian16(pdu, 1), 1, {bigEndian16(pdu, 3)}};
    if (function == Function::WriteSingleCoil) {
        if (write.values[0] != CoilOn && write.values[0] != 0)
            return ExceptionCode::IllegalDataValue;
        write.values[0] = write.values[0] == CoilOn ? 1 : 0;
    }
    return write;
}

std::variant<DataRequest, ExceptionCode> parseMultipleWrite(Function function, QByteArrayView pdu) {
    if (pdu.size() < MultipleWriteHeaderSize)
        return ExceptionCode::IllegalDataValue;
    DataRequest write{function, bigEndian16(pdu, 1), bigEndian16(pdu, 3), {}};
    const bool bits = function == Function::WriteMultipleCoils;
    const int byteCount = quint8(pdu[5]);
    if (write.count < 1 || write.count > maxWriteCount(function) ||
        byteCount != dataBytes(function, write.count) || pdu.size() != MultipleWriteHeaderSize + byteCount)
        return ExceptionCode::IllegalDataValue;
    if (write.address + write.count > AddressSpace)
        return ExceptionCode::IllegalDataAddress;
    write.values.reserve(write.count);
    for (int i = 0; i < write.count; ++i) {
        if (bits)
            write.values.append((quint8(pdu[MultipleWriteHeaderSize + i / 8]) >> (i % 8)) & 1);
        else
            write.values.append(bigEndian16(pdu, MultipleWriteHeaderSize + 2 * i));
    }
    return write;
}
} // namespace

std::variant<DataRequest, ExceptionCode> parseDataRequest(QByteArrayView pdu) {
    const int code = functionCode(pdu);
    switch (code) {
    case int(Function::WriteSingleCoil):
    case int(Function::WriteSingleRegister):
        return parseSingleWrite(Function(code), pdu);
    case int(Function::WriteMultipleCoils):
    case int(Function::WriteMultipleRegisters):
        return parseMultipleWrite(Function(code), pdu);
    default:
        break;
    }
    const auto read = parseReadRequest(pdu);
    if (const ExceptionCode* refusal = std::get_if<ExceptionCode>(&read))
        return *refusal;
    const ReadRequest& asked = std::get<ReadRequest>(read);
    return DataRequest{asked.function, asked.address, asked.count, {}};
}

QByteArray dataRequestPdu(const DataRequest& request) {
    if (!isWrite(request.function))
        return readRequestPdu({request.function, request.address, request.count});
    QByteArray pdu;
    pdu.append(char(request.function));
    appendBigEndian16(pdu, request.address);
    switch (request.function) {
    case Function::WriteSingleCoil:
        appendBigEndian16(pdu, request.values.value(0) != 0 ? CoilOn : 0);
        break;
    case Function::WriteSingleRegister:
        appendBigEndian16(pdu, request.values.value(0));
        break;
    case Function::WriteMultipleCoils: {
        appendBigEndian16(pdu, request.count);
        const int bytes = dataBytes(request.function, request.count);
        pdu.append(char(bytes));
        QByteArray packed(bytes, '\0');
        for (int i = 0; i < request.count; ++i)
            if (request.values.value(i) != 0)
                packed[i / 8] = char(quint8(packed[i / 8]) | 1 << (i % 8));
        pdu.append(packed);
        break;
    }
    default: // WriteMultipleRegisters
        appendBigEndian16(pdu, request.count);
        pdu.append(char(dataBytes(request.function, request.count)));
        for (int i = 0; i < request.count; ++i)
            appendBigEndian16(pdu, request.values.value(i));
        break;
    }
    return pdu;
}

QByteArray writeAnswerPdu(const DataRequest& write) {
    if (write.function == Function::WriteSingleCoil || write.function == Function::WriteSingleRegister)
        return dataRequestPdu(write);
    QByteArray pdu;
    pdu.append(char(write.function));
    appendBigEndian16(pdu, write.address);
    appendBigEndian16(pdu, write.count);
    return pdu;
}

std::uint16_t requestAddress(QByteArrayView pdu) {
    return pdu.size() >= 3 ? bigEndian16(pdu, 1) : 0;
}

QByteArray withRequestAddress(QByteArrayView pdu, std::uint16_t address) {
    QByteArray moved = pdu.toByteArray();
    if (moved.size() >= 3) {
        moved[1] = char(address >> 8);
        moved[2] = char(address & 0xFF);
    }
    return moved;
}

} // namespace tessaly::modbus
