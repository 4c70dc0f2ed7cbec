#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

// Modbus TCP framing: the MBAP header (transaction identifier, protocol identifier 0,
// length of what follows, unit identifier) before each PDU, all big-endian. The same
// code splits a client's stream of requests and a server's stream of answers.
namespace tessaly::modbus {

inline constexpr int MbapHeaderSize = 7;
// A PDU (function code and data) holds at most 253 bytes, so a frame at most 260.
inline constexpr int MaxPduSize = 253;
inline constexpr int MaxFrameSize = MbapHeaderSize + MaxPduSize;

struct Adu {
    std::uint16_t transactionId = 0;
    std::uint8_t unitId = 0;
    QByteArray pdu; // the function code, then its data

    friend bool operator==(const Adu&, const Adu&) = default;
};

// The frame's bytes. The PDU must hold 1 to MaxPduSize bytes.
QByteArray encodeAdu(const Adu& adu);

// Why the bytes at the front of a stream are no Modbus TCP frame. The stream cannot be
// read on after one: where the next frame would begin is unknown.
enum class FrameFault {
    None,
    ProtocolId,     // not 0
    LengthTooShort, // below 2: no room for the unit identifier and a function code
    LengthTooLong,  // above 254: more than a PDU may hold
};
QString frameFaultText(FrameFault fault, int field);

// What the front of a received stream holds.
struct FrameScan {
    enum Status { Incomplete, Complete, Malformed };
    Status status = Incomplete;
    // Complete: the frame's size. Incomplete: the size the frame needs, as far as it is
    // known (MbapHeaderSize until the header is in).
    qsizetype size = MbapHeaderSize;
    FrameFault fault = FrameFault::None;
    int field = 0; // Malformed: the faulty field's value
};
// The header is checked as soon as it is in, so that a lying length field is found
// without waiting for bytes that will never come.
FrameScan scanFrame(QByteArrayView stream);

// The frame at the front of `stream`, which scanFrame() found Complete.
Adu decodeAdu(QByteArrayView stream, qsizetype size);

} // namespace tessaly::modbus
