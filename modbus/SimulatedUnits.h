#pragma once

#include "modbus/DataRequest.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <variant>

// RTU devices that live in the gateway's process, for commissioning without a bus.
namespace tessaly::modbus {

// The unit addresses of "1,2,5-7": numbers 1 to 247 and ranges of them, in any order;
// the set in ascending order, or why the text is not one.
std::variant<QList<int>, QString> parseUnitList(const QString& text);
// "1-3,5": the set as parseUnitList reads it, ranges joined.
QString unitListText(const QList<int>& units);

// Each unit holds the four data tables of 65536 points. Until written, a point holds
// its starting value:
//   holding register a of unit u: (1000 u + a) modulo 65536
//   input register a:             (30000 + 1000 u + a) modulo 65536
//   coil a:                       1 when a + u is odd
//   discrete input a:             1 when a + u is a multiple of 3
// Writes to coils and holding registers stick for as long as the units live.
class SimulatedUnits {
public:
    explicit SimulatedUnits(const QList<int>& units);
    ~SimulatedUnits();

    const QList<int>& units() const { return units_; }
    bool answers(int unit) const { return tables_.count(unit) != 0; }

    // The answer of unit `unit` (which answers()) to `pdu`: the values or the write's
    // echo, or the exception a device gives a request it does not take.
    QByteArray answer(int unit, QByteArrayView pdu);
    // A broadcast: every unit carries out a write and nobody answers.
    void broadcast(QByteArrayView pdu);

    static std::uint16_t startingValue(DataTable table, int unit, int address);

private:
    struct Tables;
    std::variant<DataRequest, ExceptionCode> carryOut(Tables& tables, QByteArrayView pdu);

    QList<int> units_;
    std::map<int, std::unique_ptr<Tables>> tables_;
};

} // namespace tessaly::modbus
