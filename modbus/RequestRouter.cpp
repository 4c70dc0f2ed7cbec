#include "modbus/RequestRouter.h"

#include "modbus/DataRequest.h"

namespace tessaly::modbus {

std::variant<RoutedRequest, ExceptionCode> RequestRouter::route(std::uint8_t unitId,
                                                                const QByteArray& pdu) const {
    const int code = functionCode(pdu);
    if (!nat_) {
        if (!isPublicFunction(code))
            return ExceptionCode::IllegalFunction;
        return RoutedRequest{unitId, pdu};
    }
    const auto parsed = parseDataRequest(pdu);
    if (const ExceptionCode* refusal = std::get_if<ExceptionCode>(&parsed))
        return *refusal;
    const DataRequest& request = std::get<DataRequest>(parsed);
    const DataTable table = *dataTableOf(code);
    for (const NatRow& row : rows_) {
        if (row.table != table || request.address < row.tcpAddress ||
            request.address + request.count > row.tcpAddress + row.points)
            continue;
        const int address = row.rtuAddress + (request.address - row.tcpAddress);
        if (address + request.count > AddressSpace)
            return ExceptionCode::IllegalDataAddress;
        return RoutedRequest{row.rtuDevice, withRequestAddress(pdu, std::uint16_t(address))};
    }
    return ExceptionCode::IllegalDataAddress;
}

QByteArray RequestRouter::answerFor(const QByteArray& request, const QByteArray& answer) const {
    const int code = functionCode(answer);
    if (!nat_ || !dataTableOf(code) || !isWrite(Function(code)))
        return answer;
    return withRequestAddress(answer, requestAddress(request));
}

} // namespace tessaly::modbus
