// ReadGeneralParameters on arbitrary files: a file it cannot load gives the defaults
// and a reason; values it reads are within their ranges, and written back and read
// again they are the same values.
#include "documents/GeneralParameters.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path =
        tessaly::fuzz::writeScratchFile(QStringLiteral("pargen.xml"), tessaly::fuzz::bytesOf(data, size));
    const tessaly::LoadedGeneralParameters loaded = tessaly::ReadGeneralParameters(path);
    const tessaly::GeneralParameters& p = loaded.parameters;
    if (!loaded.ok()) {
        FUZZ_CHECK(p == tessaly::GeneralParameters{});
        return 0;
    }
    FUZZ_CHECK(tessaly::characterCount(p.SNMP_PUBLIC) <= tessaly::CommunityNameMaxLength);
    FUZZ_CHECK(tessaly::characterCount(p.SNMP_PRIVATE) <= tessaly::CommunityNameMaxLength);
    FUZZ_CHECK(p.BAUD >= -1 && p.BAUD < static_cast<int>(tessaly::BaudRates.size()));
    FUZZ_CHECK(p.PARITY != tessaly::Parity::Unselected);

    const QString copy = tessaly::fuzz::scratch().filePath(QStringLiteral("pargen-copy.xml"));
    if (tessaly::WriteGeneralParameters(p, copy))
        return 0; // a value XML cannot carry: refused, and that is tested elsewhere
    const tessaly::LoadedGeneralParameters again = tessaly::ReadGeneralParameters(copy);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again.parameters == p);
    return 0;
}
