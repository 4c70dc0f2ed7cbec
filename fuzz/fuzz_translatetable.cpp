// The var.xml loader on arbitrary files: it never fails without saying why, and a
// table it read whole, written back, reads as the same rows.
#include "documents/TranslateTableFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path =
        tessaly::fuzz::writeScratchFile(QStringLiteral("var.xml"), tessaly::fuzz::bytesOf(data, size));
    const tessaly::LoadedTranslateTable loaded = tessaly::LoadTranslateTable(path);
    FUZZ_CHECK(!loaded.lastRowIncomplete || !loaded.problem.isEmpty());
    FUZZ_CHECK(!loaded.lastRowIncomplete || !loaded.rows.isEmpty());
    if (!loaded.problem.isEmpty())
        return 0;
    for (const tessaly::VarRowAttributes& row : loaded.rows) {
        for (const QString& text : row) {
            if (!tessaly::isXmlStorable(text))
                return 0;
        }
    }
    const QString copy = tessaly::fuzz::writeScratchFile(QStringLiteral("var-copy.xml"),
                                                         tessaly::TranslateTableXml(loaded.rows));
    const tessaly::LoadedTranslateTable again = tessaly::LoadTranslateTable(copy);
    FUZZ_CHECK(again.problem.isEmpty());
    FUZZ_CHECK(again.rows == loaded.rows);
    return 0;
}
