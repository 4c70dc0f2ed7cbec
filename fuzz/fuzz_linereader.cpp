// LineReader with small buffers: the pieces put back together give the lines and the
// raw bytes of the input, and countLines agrees with them.
#include "firmware/srecord/LineReader.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/LineSplit.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the buffer: 2 to 65 bytes, or the reader's own size.
    const qsizetype capacity = data[0] == 0xFF ? tessaly::LineReader::DefaultCapacity : 2 + data[0] % 64;
    QByteArray input = tessaly::fuzz::bytesOf(data + 1, size - 1);
    QBuffer device(&input);
    device.open(QIODevice::ReadOnly);

    QList<QByteArray> lines;
    QByteArray raw;
    bool lineOpen = false;
    int refills = 0;
    tessaly::LineReader reader(device, capacity, [&refills] { ++refills; });
    while (const auto piece = reader.next()) {
        FUZZ_CHECK(piece->startsLine == !lineOpen);
        FUZZ_CHECK(piece->raw.startsWith(piece->bytes));
        if (piece->endsLine) {
            const QByteArrayView end = piece->raw.sliced(piece->bytes.size());
            FUZZ_CHECK(end.isEmpty() || end == "\n" || end == "\r\n" || end == "\r");
        } else {
            FUZZ_CHECK(piece->raw.size() == piece->bytes.size());
            FUZZ_CHECK(piece->bytes.size() > 0);
        }
        if (piece->startsLine)
            lines.append(QByteArray());
        lines.last() += piece->bytes.toByteArray();
        raw += piece->raw.toByteArray();
        lineOpen = !piece->endsLine;
    }
    FUZZ_CHECK(!reader.failed());
    FUZZ_CHECK(!lineOpen);
    FUZZ_CHECK(raw == input);
    FUZZ_CHECK(lines == tessaly::fuzz::referenceLines(input));

    device.seek(0);
    FUZZ_CHECK(tessaly::countLines(device, capacity) == std::optional<qint64>(lines.size()));
    return 0;
}
