// inspect's reader on arbitrary bytes: a file is an image only at exactly 16384
// bytes, and the streaming read of a firmware agrees with reading it whole.
#include "fuzz/FuzzSupport.h"
#include "image/BankWindowReader.h"
#include "image/InspectFile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray content = tessaly::fuzz::bytesOf(data, size);
    const QString name = QStringLiteral("fuzz.sx");
    QBuffer device(&content);
    device.open(QIODevice::ReadOnly);
    const tessaly::InspectedFile inspected = tessaly::inspectImageFile(device, name);
    FUZZ_CHECK(inspected.ok() != inspected.lines.isEmpty());
    if (inspected.ok())
        FUZZ_CHECK(inspected.lines.size() == 12);

    if (!tessaly::looksLikeSRecords(content)) {
        FUZZ_CHECK(inspected.ok() == (content.size() == 16384));
        return 0;
    }
    const tessaly::BankWindowRead whole = tessaly::readBank1Window(content, name);
    FUZZ_CHECK(whole.ok() == inspected.ok());
    device.seek(0);
    const tessaly::BankWindowRead streamed = tessaly::readBank1Window(device, name);
    FUZZ_CHECK(streamed.ok() == whole.ok());
    if (whole.ok())
        FUZZ_CHECK(streamed.bytes == whole.bytes);
    else if (size < 4096) // no line too long for the streaming reader's buffer
        FUZZ_CHECK(streamed.error == whole.error);
    return 0;
}
