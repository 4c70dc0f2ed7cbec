#include "documents/TranslateTable.h"

#include "documents/ParseInt32.h"

namespace tessaly {

std::optional<std::uint8_t> dataTypeCode(const QString& name) {
    const qsizetype index = DataTypeNames.indexOf(name);
    if (index < 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(index + 1);
}

QString dataTypeName(std::int32_t code) {
    if (code < 1 || code > DataTypeNames.size())
        return {};
    return DataTypeNames[code - 1];
}

namespace {
std::optional<std::int32_t> parseInRange(const QString& text, std::int32_t max) {
    const std::optional<std::int32_t> value = ParseInt32(text);
    if (!value || *value < 0 || *value > max)
        return std::nullopt;
    return value;
}

TableCheck failure(int row, const QString& message) {
    TableCheck check;
    check.failedRow = row;
    check.message = message;
    return check;
}
} // namespace

TableCheck CheckDataTypeNames(std::span<const TableRow> rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QString& cell = rows[i][DataTypeColumn];
        if (!cell.isEmpty() && !dataTypeCode(cell)) {
            const int row = static_cast<int>(i) + 1;
            return failure(row, TypeDataLineMessage.arg(row));
        }
    }
    return {};
}

TableCheck ValidateTranslateTable(std::span<const TableRow> rows) {
    TableCheck check;
    for (std::size_t i = 0; i < rows.size() && !rows[i][TcpAddressColumn].isEmpty(); ++i) {
        const TableRow& cells = rows[i];
        const int row = static_cast<int>(i) + 1;
        const std::optional<std::uint8_t> type = dataTypeCode(cells[DataTypeColumn]);
        if (!type)
            return failure(row, DataTypeMessage);
        const std::optional<std::int32_t> tcpAddress = parseInRange(cells[TcpAddressColumn], 65535);
        if (!tcpAddress)
            return failure(row, TcpAddressMessage);
        const std::optional<std::int32_t> rtuDevice = parseInRange(cells[RtuAddDevColumn], 255);
        if (!rtuDevice)
            return failure(row, RtuAddDevMessage);
        const std::optional<std::int32_t> rtuAddress = parseInRange(cells[RtuAddressColumn], 65535);
        if (!rtuAddress)
            return failure(row, RtuAddressMessage);
        const std::optional<std::int32_t> points = parseInRange(cells[NPointColumn], 127);
        if (!points)
            return failure(row, NPointMessage);
        check.records.push_back(TMyRec{*type, static_cast<std::uint16_t>(*tcpAddress),
                                       static_cast<std::uint8_t>(*rtuDevice),
                                       static_cast<std::uint16_t>(*rtuAddress),
                                       static_cast<std::uint8_t>(*points), cells[MnemonicColumn]});
    }
    return check;
}

TableCheck ConfirmTranslateTable(std::span<const TableRow> rows) {
    TableCheck names = CheckDataTypeNames(rows);
    if (!names.ok())
        return names;
    return ValidateTranslateTable(rows);
}

VarRowAttributes attributesOf(const TMyRec& record) {
    return {QString::number(record.DataType),  QString::number(record.TcpAddress),
            QString::number(record.RtuAddDev), QString::number(record.RtuAddress),
            QString::number(record.NPoint),    record.Mnemonic};
}

TableRow cellsOf(const VarRowAttributes& attributes) {
    TableRow cells = attributes;
    const std::optional<std::int32_t> code = ParseInt32(attributes[DataTypeColumn]);
    cells[DataTypeColumn] = code ? dataTypeName(*code) : QString();
    return cells;
}

} // namespace tessaly
