#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Modbus application protocol facts shared by the client (probe) and a server (the
// gateway): function and exception codes, the limits of one read.
namespace tessaly::modbus {

// The reads a client of the gateway sends; a data type of the translate table is one
// of them.
enum class Function : std::uint8_t {
    ReadCoils = 0x01,
    ReadDiscreteInputs = 0x02,
    ReadHoldingRegisters = 0x03,
    ReadInputRegisters = 0x04,
};

// An exception answer carries the request's function code with this bit set.
inline constexpr std::uint8_t ExceptionBit = 0x80;

enum class ExceptionCode : std::uint8_t {
    IllegalFunction = 0x01,
    IllegalDataAddress = 0x02,
    IllegalDataValue = 0x03,
    ServerDeviceFailure = 0x04,
    Acknowledge = 0x05,
    ServerDeviceBusy = 0x06,
    NegativeAcknowledge = 0x07,
    MemoryParityError = 0x08,
    GatewayPathUnavailable = 0x0A,
    GatewayTargetDeviceFailedToRespond = 0x0B,
};

// The protocol's name of an exception code, nothing for a code it does not name.
std::optional<QString> exceptionName(int code);
// "exception 0x0B gateway target device failed to respond", or "exception 0x2A" for a
// code without a name.
QString exceptionWords(int code);
// A gateway answers with these when the device on its serial side stays silent or
// cannot be reached.
bool isGatewayException(int code);

// "0x03", "0x0A2B": a code or identifier as the protocol's documents write it, in
// `digits` upper-case hex digits.
QString hexText(int value, int digits = 2);

// Bits (coils, discrete inputs) or 16-bit registers.
bool readsBits(Function function);
// "1 register", "125 registers", "1 bit", "2000 bits".
QString pointsText(Function function, int count);
// The most points one read may ask for: 2000 bits or 125 registers, what an answer of
// at most 253 bytes carries.
int maxReadCount(Function function);

// Why a read of `count` points from `address` cannot go out as one request.
enum class ReadFault {
    None,
    NoPoints,        // count 0
    TooManyPoints,   // more than maxReadCount()
    PastLastAddress, // address + count - 1 beyond 65535
};
ReadFault checkRead(Function function, int address, int count);
// The fault in words, for a row that was not sent.
QString readFaultText(ReadFault fault, Function function, int address, int count);

} // namespace tessaly::modbus
