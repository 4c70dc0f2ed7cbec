// The settings file reader on arbitrary bytes: what it writes reads back the same,
// and the value it sets is the value read back.
#include "fuzz/FuzzSupport.h"
#include "workspace/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString section = QStringLiteral("lastproj");
    const QString key = QStringLiteral("projectname");
    tessaly::SettingsFile settings = tessaly::SettingsFile::parse(tessaly::fuzz::bytesOf(data, size));
    const QString before = settings.value(section, key);
    const QByteArray written = settings.serialize();
    const tessaly::SettingsFile reread = tessaly::SettingsFile::parse(written);
    FUZZ_CHECK(reread.serialize() == written);
    FUZZ_CHECK(reread.value(section, key) == before);

    const QString name = QStringLiteral("\\Plant 7");
    settings.setValue(section, key, name);
    FUZZ_CHECK(tessaly::SettingsFile::parse(settings.serialize()).value(section, key) == name);
    return 0;
}
