#pragma once

#include "modbus/Mbap.h"
#include "modbus/ModbusProtocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <span>
#include <variant>

// One read of coils, discrete inputs, holding or input registers: the request and the
// answer, as the client forms and checks them and as a server parses and forms them.
namespace tessaly::modbus {

struct ReadRequest {
    Function function = Function::ReadHoldingRegisters;
    std::uint16_t address = 0;
    std::uint16_t count = 1; // checkRead() must have passed it

    friend bool operator==(const ReadRequest&, const ReadRequest&) = default;
};

// Function code, address and count: 5 bytes.
QByteArray readRequestPdu(const ReadRequest& read);

// How a received frame relates to a read request sent in `request`.
struct ReadAnswer {
    enum Kind {
        Values,           // the points asked for, one value each (a bit is 0 or 1)
        Exception,        // the server refused the read with `code`
        OtherTransaction, // no answer to this request: another transaction identifier
        OtherUnit,        // from another unit than the one asked
        OtherFunction,    // for another function than the one asked
        Malformed,        // the PDU does not have the form its function code gives it
    };
    Kind kind = Malformed;
    QList<std::uint16_t> values;
    int code = 0;   // Exception: the exception code; the Other kinds: the identifier or code received
    QString detail; // every kind but Values and Exception: what came, in words

    // A Modbus answer to the request: its points, or an exception.
    bool answered() const { return kind == Values || kind == Exception; }
};
ReadAnswer checkReadAnswer(const Adu& request, const ReadRequest& read, const Adu& answer);

// A server's side: the read a request PDU asks for, or the exception that answers it
// (illegal function for another function code; illegal data value for a PDU of another
// size or a count outside 1 to maxReadCount(); illegal data address past 65535).
std::variant<ReadRequest, ExceptionCode> parseReadRequest(QByteArrayView pdu);
// The answer PDU carrying `values`, one per point asked (bits packed from the lowest
// bit of the first byte on, the rest of the last byte 0; registers big-endian).
QByteArray readAnswerPdu(Function function, std::span<const std::uint16_t> values);
// The exception answer PDU to a request with function code `function`.
QByteArray exceptionPdu(std::uint8_t function, ExceptionCode code);

} // namespace tessaly::modbus
