#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

// Modbus application protocol facts shared by the client (probe) and a server (the
// gateway): function and exception codes, the limits of one read.
namespace tessaly::modbus {

// The functions on the four data tables: the reads a client of the gateway sends (a data
// type of the translate table is one of them) and the writes.
enum class Function : std::uint8_t {
    ReadCoils = 0x01,
    ReadDiscreteInputs = 0x02,
    ReadHoldingRegisters = 0x03,
    ReadInputRegisters = 0x04,
    WriteSingleCoil = 0x05,
    WriteSingleRegister = 0x06,
    WriteMultipleCoils = 0x0F,
    WriteMultipleRegisters = 0x10,
};

// A PDU's function code (its first byte), 0 for an empty PDU, a code no function has.
inline int functionCode(QByteArrayView pdu) {
    return pdu.isEmpty() ? 0 : quint8(pdu[0]);
}

// Each data table has the addresses 0 to 65535.
inline constexpr int AddressSpace = 0x10000;

// The four data tables. The values are the data type codes of the translate table.
enum class DataTable : std::uint8_t {
    Coils = 1,
    DiscreteInputs = 2,
    HoldingRegisters = 3,
    InputRegisters = 4,
};
// The table a function code reads or writes; nothing for other functions.
std::optional<DataTable> dataTableOf(int functionCode);
// The function that reads `table`.
Function readFunctionOf(DataTable table);
bool isWrite(Function function);
// "read holding registers", "write single coil"; "function 0x08" for the others.
QString functionName(int code);
// Whether `code` is a function code the protocol defines publicly (1 to 8, 11, 12, 15 to
// 17, 20 to 24, 43): one whose answer an RTU master can frame.
bool isPublicFunction(int code);

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
// The most points one write may carry: 1968 coils or 123 registers, what a request of
// at most 253 bytes carries.
int maxWriteCount(Function function);
// The data bytes `count` points take: bits packed eight to a byte, registers two bytes each.
int dataBytes(Function function, int count);
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
