// Modbus TCP frames from a hostile peer: a stream split into frames as the probe and a
// gateway split it, each frame checked as the answer to a read and parsed as a request.
// Every frame found re-encodes to its own bytes, every request to its own PDU, and an
// answer's values are exactly the points asked.
#include "fuzz/FuzzSupport.h"
#include "modbus/Mbap.h"
#include "modbus/ReadExchange.h"

using namespace tessaly::modbus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    // The read the answers are checked against: function, count from the first bytes.
    const Function function = Function(1 + data[0] % 4);
    const int count = 1 + (data[1] << 8 | data[2]) % maxReadCount(function);
    const ReadRequest read{function, 0, std::uint16_t(count)};
    QByteArray stream = tessaly::fuzz::bytesOf(data + 3, size - 3);
    for (;;) {
        const FrameScan scan = scanFrame(stream);
        if (scan.status != FrameScan::Complete) {
            FUZZ_CHECK(scan.status == FrameScan::Malformed || scan.size > stream.size());
            break;
        }
        FUZZ_CHECK(scan.size >= MbapHeaderSize + 1 && scan.size <= MaxFrameSize &&
                   scan.size <= stream.size());
        const Adu adu = decodeAdu(stream, scan.size);
        FUZZ_CHECK(encodeAdu(adu) == stream.left(scan.size));

        const Adu request{adu.transactionId, adu.unitId, readRequestPdu(read)};
        const ReadAnswer answer = checkReadAnswer(request, read, adu);
        if (answer.kind == ReadAnswer::Values) {
            FUZZ_CHECK(answer.values.size() == count);
            if (readsBits(function))
                for (const std::uint16_t bit : answer.values)
                    FUZZ_CHECK(bit <= 1);
        }
        FUZZ_CHECK(answer.answered() == answer.detail.isEmpty());

        const auto parsed = parseReadRequest(adu.pdu);
        if (const ReadRequest* asked = std::get_if<ReadRequest>(&parsed)) {
            FUZZ_CHECK(readRequestPdu(*asked) == adu.pdu);
            FUZZ_CHECK(checkRead(asked->function, asked->address, asked->count) == ReadFault::None);
        }
        stream.remove(0, scan.size);
    }
    return 0;
}
