#pragma once

#include "modbus/ModbusProtocol.h"

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <variant>

namespace tessaly::modbus {

// One row of the translate table: `points` points of `table` from `tcpAddress` on are
// the points from `rtuAddress` on of the RTU device `rtuDevice`.
struct NatRow {
    DataTable table = DataTable::HoldingRegisters;
    std::uint16_t tcpAddress = 0;
    std::uint8_t rtuDevice = 0;
    std::uint16_t rtuAddress = 0;
    int points = 0;
};

// A request as it goes out on the serial side.
struct RoutedRequest {
    std::uint8_t unit = 0;
    QByteArray pdu;
    friend bool operator==(const RoutedRequest&, const RoutedRequest&) = default;
};

// Where a request from Modbus TCP goes on the serial side, by the operation mode.
//  - Routing: to the RTU device whose address is the unit identifier, as it came (unit
//    0 is a broadcast). Function codes the protocol does not define publicly get
//    illegal function: an RTU master cannot tell where their answers end.
//  - NAT: by the translate table; the unit identifier is not looked at. The request must
//    be one of the eight data functions (else illegal function) and well formed (else
//    what a device answers, parseDataRequest); the first row, in table order, whose
//    table is the function's and whose TCP range holds every point asked gives the
//    device and the address (the offset into the row kept). No such row, or a range that
//    would run past RTU address 65535: illegal data address.
class RequestRouter {
public:
    static RequestRouter routing() { return RequestRouter({}, false); }
    static RequestRouter nat(QList<NatRow> rows) { return RequestRouter(std::move(rows), true); }

    std::variant<RoutedRequest, ExceptionCode> route(std::uint8_t unitId, const QByteArray& pdu) const;
    // The device's answer to `request` as its client is to see it: in NAT mode a write's
    // echo names the address the client wrote to, not the one it was translated to.
    QByteArray answerFor(const QByteArray& request, const QByteArray& answer) const;
    bool translates() const { return nat_; }
    qsizetype rows() const { return rows_.size(); }

private:
    RequestRouter(QList<NatRow> rows, bool nat) : rows_(std::move(rows)), nat_(nat) {}

    QList<NatRow> rows_;
    bool nat_ = false;
};

} // namespace tessaly::modbus
