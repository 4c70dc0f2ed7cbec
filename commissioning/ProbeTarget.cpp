#include "commissioning/ProbeTarget.h"

#include "documents/DottedValues.h"
#include "documents/TranslateTable.h"
#include "documents/TranslateTableFile.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/IcmpEcho.h"

#include <vector>

namespace tessaly::commissioning {

namespace {
modbus::Function readFunction(std::uint8_t dataType) {
    switch (dataType) {
    case 1:
        return modbus::Function::ReadCoils;
    case 2:
        return modbus::Function::ReadDiscreteInputs;
    case 4:
        return modbus::Function::ReadInputRegisters;
    default:
        return modbus::Function::ReadHoldingRegisters;
    }
}

std::variant<QList<ProbeRead>, QString> tableReads(const QString& varFile) {
    const LoadedTranslateTable table = LoadTranslateTable(varFile);
    if (!table.reason.isEmpty())
        return table.reason;
    std::vector<TableRow> rows;
    for (const VarRowAttributes& attributes : table.rows)
        rows.push_back(cellsOf(attributes));
    const TableCheck check = ValidateTranslateTable(rows);
    if (!check.ok())
        return TableUnreadableText.arg(check.failedRow).arg(check.message);
    QList<ProbeRead> reads;
    for (const TMyRec& record : check.records) {
        ProbeRead read;
        read.mnemonic = record.Mnemonic;
        read.request = {readFunction(record.DataType), record.TcpAddress, record.NPoint};
        const modbus::ReadFault fault =
            modbus::checkRead(read.request.function, record.TcpAddress, record.NPoint);
        read.fault = modbus::readFaultText(fault, read.request.function, record.TcpAddress, record.NPoint);
        reads.push_back(read);
    }
    return reads;
}
} // namespace

std::variant<ProbeTarget, QString> projectTarget(const QString& pargenFile, const QString& varFile,
                                                 const ProbeOptions& options, bool withTable) {
    auto parameters = deviceParameters(pargenFile);
    if (QString* why = std::get_if<QString>(&parameters))
        return std::move(*why);
    const GeneralParameters& p = std::get<GeneralParameters>(parameters);
    ProbeTarget target;
    const std::uint32_t address = ipv4Value(p, IpAddressOctets);
    target.host = ipv4Text(address);
    if (address == 0)
        return unspecifiedAddressText(target.host);
    target.port = p.TCP_PORT;
    target.unit = options.unit;
    target.timeoutMs = options.timeoutMs;
    if (!withTable)
        return target;
    auto reads = tableReads(varFile);
    if (const QString* failure = std::get_if<QString>(&reads))
        return *failure;
    target.table = std::get<QList<ProbeRead>>(std::move(reads));
    return target;
}

} // namespace tessaly::commissioning
