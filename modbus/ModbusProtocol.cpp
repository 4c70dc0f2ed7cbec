#include "modbus/ModbusProtocol.h"

namespace tessaly::modbus {

namespace {
constexpr int MaxBitsPerRead = 2000;
constexpr int MaxRegistersPerRead = 125;
constexpr int MaxCoilsPerWrite = 1968;
constexpr int MaxRegistersPerWrite = 123;

const QString NoPointsText = QStringLiteral("N° Point 0: nothing to read");
const QString TooManyPointsText = QStringLiteral("%1, more than the %2 one request carries");
const QString PastLastAddressText = QStringLiteral("address %1 and %2 reach past 65535");
} // namespace

std::optional<QString> exceptionName(int code) {
    switch (code) {
    case 0x01:
        return QStringLiteral("illegal function");
    case 0x02:
        return QStringLiteral("illegal data address");
    case 0x03:
        return QStringLiteral("illegal data value");
    case 0x04:
        return QStringLiteral("server device failure");
    case 0x05:
        return QStringLiteral("acknowledge");
    case 0x06:
        return QStringLiteral("server device busy");
    case 0x07:
        return QStringLiteral("negative acknowledge");
    case 0x08:
        return QStringLiteral("memory parity error");
    case 0x0A:
        return QStringLiteral("gateway path unavailable");
    case 0x0B:
        return QStringLiteral("gateway target device failed to respond");
    default:
        return std::nullopt;
    }
}

QString hexText(int value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(digits, QLatin1Char('0')).toUpper();
}

QString exceptionWords(int code) {
    const std::optional<QString> name = exceptionName(code);
    return QStringLiteral("exception ") + hexText(code) + (name ? QLatin1Char(' ') + *name : QString());
}

bool isGatewayException(int code) {
    return code == int(ExceptionCode::GatewayPathUnavailable) ||
           code == int(ExceptionCode::GatewayTargetDeviceFailedToRespond);
}

std::optional<DataTable> dataTableOf(int functionCode) {
    switch (functionCode) {
    case int(Function::ReadCoils):
    case int(Function::WriteSingleCoil):
    case int(Function::WriteMultipleCoils):
        return DataTable::Coils;
    case int(Function::ReadDiscreteInputs):
        return DataTable::DiscreteInputs;
    case int(Function::ReadHoldingRegisters):
    case int(Function::WriteSingleRegister):
    case int(Function::WriteMultipleRegisters):
        return DataTable::HoldingRegisters;
    case int(Function::ReadInputRegisters):
        return DataTable::InputRegisters;
    default:
        return std::nullopt;
    }
}

Function readFunctionOf(DataTable table) {
    return Function(std::uint8_t(table)); // the read codes equal the table codes
}

bool isWrite(Function function) {
    return function >= Function::WriteSingleCoil;
}

QString functionName(int code) {
    switch (code) {
    case int(Function::ReadCoils):
        return QStringLiteral("read coils");
    case int(Function::ReadDiscreteInputs):
        return QStringLiteral("read discrete inputs");
    case int(Function::ReadHoldingRegisters):
        return QStringLiteral("read holding registers");
    case int(Function::ReadInputRegisters):
        return QStringLiteral("read input registers");
    case int(Function::WriteSingleCoil):
        return QStringLiteral("write single coil");
    case int(Function::WriteSingleRegister):
        return QStringLiteral("write single register");
    case int(Function::WriteMultipleCoils):
        return QStringLiteral("write multiple coils");
    case int(Function::WriteMultipleRegisters):
        return QStringLiteral("write multiple registers");
    default:
        return QStringLiteral("function ") + hexText(code);
    }
}

bool isPublicFunction(int code) {
    return (code >= 1 && code <= 8) || code == 11 || code == 12 || (code >= 15 && code <= 17) ||
           (code >= 20 && code <= 24) || code == 43;
}

bool readsBits(Function function) {
    const std::optional<DataTable> table = dataTableOf(int(function));
    return table == DataTable::Coils || table == DataTable::DiscreteInputs;
}

int dataBytes(Function function, int count) {
    return readsBits(function) ? (count + 7) / 8 : 2 * count;
}

int maxWriteCount(Function function) {
    return readsBits(function) ? MaxCoilsPerWrite : MaxRegistersPerWrite;
}

QString pointsText(Function function, int count) {
    const bool bits = readsBits(function);
    return QString::number(count) + (bits ? QStringLiteral(" bit") : QStringLiteral(" register")) +
           (count == 1 ? QString() : QStringLiteral("s"));
}

int maxReadCount(Function function) {
    return readsBits(function) ? MaxBitsPerRead : MaxRegistersPerRead;
}

ReadFault checkRead(Function function, int address, int count) {
    if (count <= 0)
        return ReadFault::NoPoints;
    if (count > maxReadCount(function))
        return ReadFault::TooManyPoints;
    if (address < 0 || address >= AddressSpace || count > AddressSpace - address)
        return ReadFault::PastLastAddress;
    return ReadFault::None;
}

QString readFaultText(ReadFault fault, Function function, int address, int count) {
    switch (fault) {
    case ReadFault::None:
        break;
    case ReadFault::NoPoints:
        return NoPointsText;
    case ReadFault::TooManyPoints:
        return TooManyPointsText.arg(pointsText(function, count)).arg(maxReadCount(function));
    case ReadFault::PastLastAddress:
        return PastLastAddressText.arg(address).arg(pointsText(function, count));
    }
    return {};
}

} // namespace tessaly::modbus
