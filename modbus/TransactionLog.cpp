#include "modbus/TransactionLog.h"

#include "modbus/BigEndian16.h"
#include "modbus/DataRequest.h"

namespace tessaly::modbus {

namespace {
// Address and count of a data request, as far as its bytes tell ("0+10"); nothing for
// other functions.
QString span(QByteArrayView pdu) {
    const int code = functionCode(pdu);
    if (!dataTableOf(code) || pdu.size() < 5)
        return {};
    const bool single = code == int(Function::WriteSingleCoil) || code == int(Function::WriteSingleRegister);
    const int count = single ? 1 : bigEndian16(pdu, 3);
    return QStringLiteral(" %1+%2").arg(requestAddress(pdu)).arg(count);
}

QString outcomeWords(const Transaction& t) {
    switch (t.outcome) {
    case Transaction::Answer:
        return QStringLiteral("answer");
    case Transaction::Exception:
        return exceptionWords(t.exceptionCode);
    case Transaction::NoAnswer:
        return QStringLiteral("time-out, ") + exceptionWords(t.exceptionCode);
    case Transaction::Unavailable:
        return QStringLiteral("no serial side, ") + exceptionWords(t.exceptionCode);
    case Transaction::Broadcast:
        return QStringLiteral("broadcast, no answer");
    }
    return {};
}
} // namespace

QString transactionLine(const Transaction& t) {
    const int code = functionCode(t.request);
    QString line = t.arrived.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char(' ') +
                   t.client + QStringLiteral(" unit ") + QString::number(t.unit) + QLatin1Char(' ') +
                   functionName(code) + span(t.request);
    if (t.routed)
        line += QStringLiteral(" -> unit %1 at %2").arg(t.routed->unit).arg(requestAddress(t.routed->pdu));
    return line + QStringLiteral(": ") + outcomeWords(t) + QStringLiteral(", ") +
           QString::number(t.ms, 'f', 2) + QStringLiteral(" ms");
}

} // namespace tessaly::modbus
