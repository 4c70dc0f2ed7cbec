// The gateway's request path with a hostile client's bytes: the stream split into
// frames, each routed in routing and in NAT mode and answered by simulated units.
// Every answer fits a frame and is the request's function or its exception; NAT keeps
// a request's function and size and sends it only within a row; a write's echo goes
// back with the client's address.
#include "fuzz/FuzzSupport.h"
#include "modbus/DataRequest.h"
#include "modbus/Mbap.h"
#include "modbus/RequestRouter.h"
#include "modbus/SimulatedUnits.h"

using namespace tessaly::modbus;

namespace {
const QList<NatRow> Rows{{DataTable::HoldingRegisters, 100, 2, 0, 10},
                         {DataTable::HoldingRegisters, 105, 3, 65530, 20},
                         {DataTable::Coils, 0, 2, 16, 127},
                         {DataTable::InputRegisters, 0, 1, 0, 0}};

void checkAnswer(const QByteArray& request, const QByteArray& answer) {
    FUZZ_CHECK(!answer.isEmpty() && answer.size() <= MaxPduSize);
    FUZZ_CHECK((quint8(answer[0]) & ~ExceptionBit) == quint8(request[0]));
    if (quint8(answer[0]) & ExceptionBit)
        FUZZ_CHECK(answer.size() == 2);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SimulatedUnits units({1, 2, 3});
    static const RequestRouter routing = RequestRouter::routing();
    static const RequestRouter nat = RequestRouter::nat(Rows);
    QByteArray stream = tessaly::fuzz::bytesOf(data, size);
    for (;;) {
        const FrameScan scan = scanFrame(stream);
        if (scan.status != FrameScan::Complete)
            break;
        const Adu adu = decodeAdu(stream, scan.size);
        stream.remove(0, scan.size);
        for (const RequestRouter* router : {&routing, &nat}) {
            const auto routed = router->route(adu.unitId, adu.pdu);
            if (!std::holds_alternative<RoutedRequest>(routed))
                continue;
            const RoutedRequest& out = std::get<RoutedRequest>(routed);
            if (router == &nat) {
                const auto request = parseDataRequest(adu.pdu);
                FUZZ_CHECK(std::holds_alternative<DataRequest>(request));
                FUZZ_CHECK(out.pdu.size() == adu.pdu.size() && out.pdu[0] == adu.pdu[0]);
                const DataRequest& asked = std::get<DataRequest>(request);
                const std::uint16_t address = requestAddress(out.pdu);
                FUZZ_CHECK(address + asked.count <= 0x10000);
                bool inRow = false;
                for (const NatRow& row : Rows)
                    inRow = inRow || (row.rtuDevice == out.unit && address >= row.rtuAddress &&
                                      address + asked.count <= row.rtuAddress + row.points);
                FUZZ_CHECK(inRow);
            }
            if (out.unit == 0) {
                units.broadcast(out.pdu);
            } else if (units.answers(out.unit)) {
                const QByteArray answer = units.answer(out.unit, out.pdu);
                checkAnswer(out.pdu, answer);
                const QByteArray back = router->answerFor(adu.pdu, answer);
                FUZZ_CHECK(back.size() == answer.size());
                if (router == &nat && isWrite(Function(quint8(adu.pdu[0]))) &&
                    !(quint8(answer[0]) & ExceptionBit))
                    FUZZ_CHECK(back.left(3) == adu.pdu.left(3));
                FUZZ_CHECK(encodeAdu({adu.transactionId, adu.unitId, back}).size() <= MaxFrameSize);
            }
        }
    }
    return 0;
}
