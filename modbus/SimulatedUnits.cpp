#include "modbus/SimulatedUnits.h"

#include "modbus/ReadExchange.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace tessaly::modbus {

namespace {
constexpr int FirstUnit = 1;
constexpr int LastUnit = 247; // the highest address of an RTU device

const QString UnitListText =
    QStringLiteral("\"%1\" is no list of units: give numbers 1 to 247 and ranges, as 1,2,5-7");

std::optional<int> unitNumber(const QString& text) {
    bool ok = false;
    const int unit = text.toInt(&ok);
    if (!ok || unit < FirstUnit || unit > LastUnit || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return unit;
}
} // namespace

std::variant<QList<int>, QString> parseUnitList(const QString& text) {
    std::vector<bool> listed(LastUnit + 1, false);
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const qsizetype dash = part.indexOf(QLatin1Char('-'));
        const auto first = unitNumber(dash < 0 ? part : part.left(dash));
        const auto last = dash < 0 ? first : unitNumber(part.mid(dash + 1));
        if (!first || !last || *last < *first)
            return UnitListText.arg(text);
        for (int unit = *first; unit <= *last; ++unit)
            listed[std::size_t(unit)] = true;
    }
    QList<int> units;
    for (int unit = FirstUnit; unit <= LastUnit; ++unit)
        if (listed[std::size_t(unit)])
            units.append(unit);
    return units;
}

QString unitListText(const QList<int>& units) {
    QStringList parts;
    for (qsizetype i = 0; i < units.size();) {
        qsizetype j = i;
        while (j + 1 < units.size() && units[j + 1] == units[j] + 1)
            ++j;
        parts << (j == i ? QString::number(units[i]) : QStringLiteral("%1-%2").arg(units[i]).arg(units[j]));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

// A table is made the first time it is written; until then every point holds its
// starting value, so a unit costs nothing until it is written to.
struct SimulatedUnits::Tables {
    int unit = 0;
    std::unique_ptr<std::vector<std::uint16_t>> coils, registers;

    std::uint16_t read(DataTable table, int address) const {
        const std::vector<std::uint16_t>* written = table == DataTable::Coils              ? coils.get()
                                                    : table == DataTable::HoldingRegisters ? registers.get()
                                                                                           : nullptr;
        return written ? (*written)[std::size_t(address)] : startingValue(table, unit, address);
    }
    void write(DataTable table, int address, std::uint16_t value) {
        auto& written = table == DataTable::Coils ? coils : registers;
        if (!written) {
            written = std::make_unique<std::vector<std::uint16_t>>(AddressSpace);
            for (int a = 0; a < AddressSpace; ++a)
                (*written)[std::size_t(a)] = startingValue(table, unit, a);
        }
        (*written)[std::size_t(address)] = value;
    }
};

SimulatedUnits::SimulatedUnits(const QList<int>& units) : units_(units) {
    for (const int unit : units) {
        auto tables = std::make_unique<Tables>();
        tables->unit = unit;
        tables_.emplace(unit, std::move(tables));
    }
}

SimulatedUnits::~SimulatedUnits() = default;

std::uint16_t SimulatedUnits::startingValue(DataTable table, int unit, int address) {
    switch (table) {
    case DataTable::Coils:
        return std::uint16_t((address + unit) % 2);
    case DataTable::DiscreteInputs:
        return (address + unit) % 3 == 0 ? 1 : 0;
    case DataTable::HoldingRegisters:
        return std::uint16_t(1000 * unit + address);
    case DataTable::InputRegisters:
        return std::uint16_t(30000 + 1000 * unit + address);
    }
    return 0;
}

std::variant<DataRequest, ExceptionCode> SimulatedUnits::carryOut(Tables& tables, QByteArrayView pdu) {
    auto parsed = parseDataRequest(pdu);
    if (DataRequest* request = std::get_if<DataRequest>(&parsed)) {
        const DataTable table = *dataTableOf(int(request->function));
        if (isWrite(request->function)) {
            for (int i = 0; i < request->count; ++i)
                tables.write(table, request->address + i, request->values[i]);
        } else {
            request->values.resize(request->count);
            for (int i = 0; i < request->count; ++i)
                request->values[i] = tables.read(table, request->address + i);
        }
    }
    return parsed;
}

QByteArray SimulatedUnits::answer(int unit, QByteArrayView pdu) {
    const auto done = carryOut(*tables_.at(unit), pdu);
    if (const ExceptionCode* refusal = std::get_if<ExceptionCode>(&done))
        return exceptionPdu(functionCode(pdu), *refusal);
    const DataRequest& request = std::get<DataRequest>(done);
    return isWrite(request.function) ? writeAnswerPdu(request)
                                     : readAnswerPdu(request.function, std::span(request.values.constData(),
                                                                                 std::size_t(request.count)));
}

void SimulatedUnits::broadcast(QByteArrayView pdu) {
    const int code = functionCode(pdu);
    if (!dataTableOf(code) || !isWrite(Function(code)))
        return;
    for (auto& [unit, tables] : tables_)
        carryOut(*tables, pdu);
}

} // namespace tessaly::modbus
