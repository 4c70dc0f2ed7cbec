#include "modbus/ReadExchange.h"

#include "modbus/BigEndian16.h"

namespace tessaly::modbus {

namespace {
constexpr qsizetype ReadRequestPduSize = 5;
constexpr qsizetype ExceptionPduSize = 2;

const QString OtherTransactionText = QStringLiteral("an answer to transaction %1, not to ours (%2)");
const QString OtherUnitText = QStringLiteral("an answer from unit %1, not from unit %2");
const QString OtherFunctionText = QStringLiteral("an answer for function %1, not for %2");
const QString ExceptionSizeText = QStringLiteral("an exception answer of %1, where it has 2");
const QString EmptyText = QStringLiteral("an answer without a function code");
const QString NoByteCountText = QStringLiteral("an answer without a byte count");
const QString ByteCountText = QStringLiteral("a byte count of %1 for %2, not %3");
const QString DataSizeText = QStringLiteral("a byte count of %1, followed by %2");

QString bytesText(qsizetype count) {
    return QString::number(count) + (count == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

ReadAnswer other(ReadAnswer::Kind kind, int received, const QString& text) {
    ReadAnswer answer;
    answer.kind = kind;
    answer.code = received;
    answer.detail = text;
    return answer;
}

ReadAnswer malformed(const QString& text) {
    return other(ReadAnswer::Malformed, 0, text);
}
} // namespace

QByteArray readRequestPdu(const ReadRequest& read) {
    const char bytes[] = {char(read.function), char(read.address >> 8), char(read.address & 0xFF),
                          char(read.count >> 8), char(read.count & 0xFF)};
    return QByteArray(bytes, sizeof bytes);
}

ReadAnswer checkReadAnswer(const Adu& request, const ReadRequest& read, const Adu& answer) {
    if (answer.transactionId != request.transactionId)
        return other(
            ReadAnswer::OtherTransaction, answer.transactionId,
            OtherTransactionText.arg(hexText(answer.transactionId, 4), hexText(request.transactionId, 4)));
    if (answer.unitId != request.unitId)
        return other(ReadAnswer::OtherUnit, answer.unitId,
                     OtherUnitText.arg(answer.unitId).arg(request.unitId));
    const QByteArray& pdu = answer.pdu;
    if (pdu.isEmpty())
        return malformed(EmptyText);
    const int function = quint8(pdu[0]);
    if ((function & ~ExceptionBit) != int(read.function))
        return other(ReadAnswer::OtherFunction, function,
                     OtherFunctionText.arg(hexText(function), hexText(int(read.function))));
    if (function & ExceptionBit) {
        if (pdu.size() != ExceptionPduSize)
            return malformed(ExceptionSizeText.arg(bytesText(pdu.size())));
        ReadAnswer refused;
        refused.kind = ReadAnswer::Exception;
        refused.code = quint8(pdu[1]);
        return refused;
    }
    if (pdu.size() < 2)
        return malformed(NoByteCountText);
    const int byteCount = quint8(pdu[1]);
    const int expected = dataBytes(read.function, read.count);
    if (byteCount != expected)
        return malformed(
            ByteCountText.arg(byteCount).arg(pointsText(read.function, read.count)).arg(expected));
    if (pdu.size() - 2 != byteCount)
        return malformed(DataSizeText.arg(byteCount).arg(bytesText(pdu.size() - 2)));

    ReadAnswer values;
    values.kind = ReadAnswer::Values;
    values.values.reserve(read.count);
    const auto data = reinterpret_cast<const unsigned char*>(pdu.constData()) + 2;
    for (int i = 0; i < read.count; ++i) {
        if (readsBits(read.function))
            values.values.append((data[i / 8] >> (i % 8)) & 1);
        else
            values.values.append(bigEndian16(pdu, 2 + 2 * i));
    }
    return values;
}

std::variant<ReadRequest, ExceptionCode> parseReadRequest(QByteArrayView pdu) {
    const int function = functionCode(pdu);
    if (function < int(Function::ReadCoils) || function > int(Function::ReadInputRegisters))
        return ExceptionCode::IllegalFunction;
    if (pdu.size() != ReadRequestPduSize)
        return ExceptionCode::IllegalDataValue;
    ReadRequest read;
    read.function = Function(function);
    read.address = bigEndian16(pdu, 1);
    read.count = bigEndian16(pdu, 3);
    switch (checkRead(read.function, read.address, read.count)) {
    case ReadFault::None:
        return read;
    case ReadFault::PastLastAddress:
        return ExceptionCode::IllegalDataAddress;
    case ReadFault::NoPoints:
    case ReadFault::TooManyPoints:
        break;
    }
    return ExceptionCode::IllegalDataValue;
}

QByteArray readAnswerPdu(Function function, std::span<const std::uint16_t> values) {
    const int count = static_cast<int>(values.size());
    QByteArray pdu(2 + dataBytes(function, count), '\0');
    pdu[0] = char(function);
    pdu[1] = char(dataBytes(function, count));
    for (int i = 0; i < count; ++i) {
        if (readsBits(function)) {
            if (values[std::size_t(i)] != 0)
                pdu[2 + i / 8] = char(quint8(pdu[2 + i / 8]) | 1 << (i % 8));
        } else {
            pdu[2 + 2 * i] = char(values[std::size_t(i)] >> 8);
            pdu[3 + 2 * i] = char(values[std::size_t(i)] & 0xFF);
        }
    }
    return pdu;
}

QByteArray exceptionPdu(std::uint8_t function, ExceptionCode code) {
    const char bytes[] = {char(function | ExceptionBit), char(code)};
    return QByteArray(bytes, sizeof bytes);
}

} // namespace tessaly::modbus
