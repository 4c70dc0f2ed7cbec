#include "modbus/Mbap.h"

#include "modbus/BigEndian16.h"
#include "modbus/ModbusProtocol.h"

namespace tessaly::modbus {

namespace {
// The length field counts the unit identifier and the PDU.
constexpr int MinLengthField = 2;
constexpr int MaxLengthField = 1 + MaxPduSize;
// Transaction identifier, protocol identifier and length field come before what the
// length field counts.
constexpr int LengthCounted = 6;

const QString ProtocolIdText = QStringLiteral("protocol identifier %1, where Modbus has 0");
const QString LengthTooShortText =
    QStringLiteral("length field %1, too short for a unit identifier and a function code");
const QString LengthTooLongText =
    QStringLiteral("length field %1, longer than any Modbus frame (%2 at most)");

} // namespace

QByteArray encodeAdu(const Adu& adu) {
    QByteArray frame;
    frame.reserve(MbapHeaderSize + adu.pdu.size());
    appendBigEndian16(frame, adu.transactionId);
    appendBigEndian16(frame, 0);
    appendBigEndian16(frame, static_cast<std::uint16_t>(1 + adu.pdu.size()));
    frame.append(char(adu.unitId));
    frame.append(adu.pdu);
    return frame;
}

QString frameFaultText(FrameFault fault, int field) {
    switch (fault) {
    case FrameFault::None:
        break;
    case FrameFault::ProtocolId:
        return ProtocolIdText.arg(hexText(field, 4));
    case FrameFault::LengthTooShort:
        return LengthTooShortText.arg(field);
    case FrameFault::LengthTooLong:
        return LengthTooLongText.arg(field).arg(MaxLengthField);
    }
    return {};
}

FrameScan scanFrame(QByteArrayView stream) {
    FrameScan scan;
    if (stream.size() < MbapHeaderSize)
        return scan;
    const int protocolId = bigEndian16(stream, 2);
    const int length = bigEndian16(stream, 4);
    scan.status = FrameScan::Malformed;
    if (protocolId != 0) {
        scan.fault = FrameFault::ProtocolId;
        scan.field = protocolId;
    } else if (length < MinLengthField) {
        scan.fault = FrameFault::LengthTooShort;
        scan.field = length;
    } else if (length > MaxLengthField) {
        scan.fault = FrameFault::LengthTooLong;
        scan.field = length;
    } else {
        scan.size = LengthCounted + length;
        scan.status = stream.size() < scan.size ? FrameScan::Incomplete : FrameScan::Complete;
    }
    return scan;
}

Adu decodeAdu(QByteArrayView stream, qsizetype size) {
    Adu adu;
    adu.transactionId = bigEndian16(stream, 0);
    adu.unitId = quint8(stream[6]);
    adu.pdu = stream.sliced(MbapHeaderSize, size - MbapHeaderSize).toByteArray();
    return adu;
}

} // namespace tessaly::modbus
