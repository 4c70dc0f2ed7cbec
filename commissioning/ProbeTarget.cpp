#include "commissioning/ProbeTarget.h"

#include "documents/DottedValues.h"
#include "documents/TranslateTable.h"
#include "documents/TranslateTableFile.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/IcmpEcho.h"

namespace tessaly::commissioning {

namespace {

std::variant<QList<ProbeRead>, QString> tableReads(const QString& varFile) {
    auto records = readTranslateTableRecords(varFile);
    if (const QString* failure = std::get_if<QString>(&records))
        return *failure;
    QList<ProbeRead> reads;
    for (const TMyRec& record : std::get<QList<TMyRec>>(records)) {
        ProbeRead read;
        read.mnemonic = record.Mnemonic;
        read.request = {modbus::readFunctionOf(modbus::DataTable(record.DataType)), record.TcpAddress,
                        record.NPoint};
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
