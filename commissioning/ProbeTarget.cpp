#include "commissioning/ProbeTarget.h"

#include "documents/GeneralParameters.h"
#include "documents/ParseInt32.h"
#include "documents/TranslateTable.h"
#include "documents/TranslateTableFile.h"
#include "documents/ValidateGeneralParameters.h"
#include "documents/XmlText.h"
#include "platform/IcmpEcho.h"

namespace tessaly::commissioning {

namespace {
QString dottedAddress(const GeneralParameters& p) {
    QStringList octets;
    for (const QString* text : {&p.TCP_IP1, &p.TCP_IP2, &p.TCP_IP3, &p.TCP_IP4})
        octets << QString::number(ParseInt32(*text).value_or(0));
    return octets.join(QLatin1Char('.'));
}

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
    // Without the document the defaults would stand in for it, and they name no device.
    if (!documentPresent(pargenFile))
        return NoParametersText;
    const LoadedGeneralParameters loaded = ReadGeneralParameters(pargenFile);
    if (!loaded.ok())
        return loaded.error;
    if (const std::optional<QString> refusal = ValidateGeneralParameters(loaded.parameters))
        return *refusal;
    ProbeTarget target;
    target.host = dottedAddress(loaded.parameters);
    if (target.host == QLatin1String("0.0.0.0"))
        return unspecifiedAddressText(target.host);
    target.port = loaded.parameters.TCP_PORT;
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
