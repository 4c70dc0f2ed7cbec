// inspect's reader on arbitrary bytes: a file is an image only at exactly 16384
// bytes, and the streaming read of a firmware agrees with reading it whole. The
// strict whole-file check of the flashing tool agrees with the window read: a file it
// passes has no line that the window read refuses.
#include "firmware/BankWindow.h"
#include "firmware/InspectFile.h"
#include "firmware/srecord/SRecord.h"
#include "firmware/srecord/SxFileCheck.h"
#include "fuzz/FuzzSupport.h"

#include <QBuffer>

namespace {

void checkWholeFile(const QByteArray& content, const tessaly::BankWindowRead& window) {
    const tessaly::SRecordCheck check = tessaly::checkSRecordFile(content);
    if (!check.ok())
        return;
    FUZZ_CHECK(check.dataRecords > 0);
    FUZZ_CHECK(tessaly::isSxTerminatorType(tessaly::sxRecordType(check.records.back())));
    for (const QByteArrayView record : check.records) {
        unsigned char bytes[tessaly::SxMaxRecordBytes];
        tessaly::SxRecord decoded;
        FUZZ_CHECK(tessaly::decodeSxRecord(record, tessaly::sxRecordType(record), bytes, decoded) ==
                   tessaly::SxFault::None);
    }
    // Empty lines may follow the terminator for the flashing tool, never for the window read.
    if (!content.contains("\n\n") && !content.contains("\n\r\n") && !content.startsWith('\n'))
        FUZZ_CHECK(window.ok() || !window.error.contains(QStringLiteral("\", line ")));
}

} // namespace

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
    if (whole.ok() && size < 4096)
        FUZZ_CHECK(streamed.cutShort == whole.cutShort && inspected.cutShort == whole.cutShort);
    checkWholeFile(content, whole);
    return 0;
}
