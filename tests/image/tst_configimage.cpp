#include "image/BuildConfigImage.h"
#include "image/CommunityName.h"
#include "tests/image/PargenText.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

QByteArray hex(const QByteArray& spaced) {
    return QByteArray::fromHex(spaced);
}

QByteArray slice(const ConfigImage& image, int offset, int length) {
    return image.toByteArray().mid(offset, length);
}

// Every byte outside the parameter block is zero.
bool zeroOutsideBlock(const ConfigImage& image) {
    const QByteArray bytes = image.toByteArray();
    return bytes.left(ParameterBlockOffset) == QByteArray(ParameterBlockOffset, '\0') &&
           bytes.mid(ParameterBlockOffset + ParameterBlockLength) ==
               QByteArray(ConfigImageSize - ParameterBlockOffset - ParameterBlockLength, '\0');
}

struct Project {
    QTemporaryDir dir;
    QString pargen() const { return QDir::toNativeSeparators(dir.filePath("pargen.xml")); }
    void write(const QByteArray& xml) const { writeAll(pargen(), xml); }
};

} // namespace

class TestConfigImage : public QObject {
    Q_OBJECT
private slots:
    void packingKeepsLowBits_data();
    void packingKeepsLowBits();
    void buildStamp_data();
    void buildStamp();
    void storedFields_data();
    void storedFields();
    void refusedValues_data();
    void refusedValues();
    void unusableDocument_data();
    void unusableDocument();
    void windows1252RoundTrip();
};

void TestConfigImage::packingKeepsLowBits_data() {
    QTest::addColumn<bool>("word");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("300 in 8 bits") << false << 300 << hex("2C");
    QTest::newRow("-1 in 8 bits") << false << -1 << hex("FF");
    QTest::newRow("255 in 8 bits") << false << 255 << hex("FF");
    QTest::newRow("70000 in 16 bits") << true << 70000 << hex("7011");
    QTest::newRow("-1 in 16 bits") << true << -1 << hex("FFFF");
    QTest::newRow("502 in 16 bits") << true << 502 << hex("F601");
}

void TestConfigImage::packingKeepsLowBits() {
    QFETCH(bool, word);
    QFETCH(int, value);
    QFETCH(QByteArray, stored);
    ConfigImage image;
    if (word)
        image.putWord(ImageOffset::Port, value);
    else
        image.putByte(ImageOffset::Ip, value);
    QCOMPARE(slice(image, ParameterBlockOffset + (word ? 12 : 0), int(stored.size())), stored);
    QVERIFY(zeroOutsideBlock(image));
}

void TestConfigImage::buildStamp_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("date");
    QTest::addColumn<QByteArray>("stored"); // at 15049
    QTest::newRow("15 March 2024 14:37:52")
        << QDateTime(QDate(2024, 3, 15), QTime(14, 37, 52)) << 54446 << 31128 << hex("AED49879");
    QTest::newRow("1 January 2000 00:00:00")
        << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << 0 << 2176 << hex("00008008");
    QTest::newRow("31 December 2099 23:59:59")
        << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)) << 61303 << 65123 << hex("77EF63FE");
}

void TestConfigImage::buildStamp() {
    QFETCH(QDateTime, now);
    QFETCH(int, time);
    QFETCH(int, date);
    QFETCH(QByteArray, stored);
    QCOMPARE(int(packBuildTime(now.time())), time);
    QCOMPARE(int(packBuildDate(now.date())), date);

    Project project;
    project.write(pargenText());
    FixedClock clock;
    clock.now = now;
    int reads = 0;
    clock.onRead = [&reads] { ++reads; };
    ConfigImage image;
    QCOMPARE(BuildConfigImage(image, project.pargen(), clock), std::nullopt);
    QCOMPARE(slice(image, ImageOffset::BuildTime, 4), stored);
    QCOMPARE(reads, 1); // time and date come from one reading

    const BuildStamp s = unpackBuildStamp(std::uint16_t(time), std::uint16_t(date));
    QCOMPARE(QDateTime(QDate(s.year, s.month, s.day), QTime(s.hour, s.minute, s.second)),
             now.addSecs(-(now.time().second() % 2)));
}

void TestConfigImage::storedFields_data() {
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("default document, whole block")
        << QStringList{} << 15000
        << hex("00000000 FFFFFF00 00000000 F601 686172626F72 0000000000000000 6772616E697465 00000000000000"
               "03 00 E803 0000 01 AED4 9879");
    QTest::newRow("address, mask, gateway and port")
        << QStringList{"TCP_IP1=192", "TCP_IP2=168", "TCP_IP3=0", "TCP_IP4=10", "TCP_SUB4=0", "TCP_PORT=502"}
        << 15000 << hex("C0 A8 00 0A FF FF FF 00 00 00 00 00 F6 01");
    QTest::newRow("gateway octets") << QStringList{"TCP_GAT1=10", "TCP_GAT4=254"} << 15008 << hex("0A0000FE");
    QTest::newRow("time-out 1000") << QStringList{"TIME_OUT=1000"} << 15044 << hex("E803");
    QTest::newRow("time-out after blanks") << QStringList{"TIME_OUT=  1000"} << 15044 << hex("E803");
    QTest::newRow("time-out +1000") << QStringList{"TIME_OUT=+1000"} << 15044 << hex("E803");
    QTest::newRow("time-out $3E8") << QStringList{"TIME_OUT=$3E8"} << 15044 << hex("E803");
    QTest::newRow("time-out 0x3E8") << QStringList{"TIME_OUT=0x3E8"} << 15044 << hex("E803");
    QTest::newRow("time-out X3e8") << QStringList{"TIME_OUT=X3e8"} << 15044 << hex("E803");
    QTest::newRow("highest port") << QStringList{"TCP_PORT=65535"} << 15012 << hex("FFFF");
    QTest::newRow("lowest port") << QStringList{"TCP_PORT=1"} << 15012 << hex("0100");
    QTest::newRow("serial side and mode")
        << QStringList{"BAUD=7", "PARITY=3", "TIME_OUT=65535", "OFFSET=0x1234", "MODE=0"} << 15042
        << hex("07 03 FFFF 3412 00");
    QTest::newRow("even parity, lowest values")
        << QStringList{"BAUD=0", "PARITY=2", "TIME_OUT=0", "OFFSET=0"} << 15042 << hex("00 02 0000 0000");
    QTest::newRow("name of 20 characters")
        << QStringList{"SNMP_PUBLIC=abcdefghijklmnopqrst"} << 15014 << QByteArray("abcdefghijklm\0", 14);
    QTest::newRow("name of 13 characters")
        << QStringList{"SNMP_PRIVATE=ABCDEFGHIJKLM"} << 15028 << QByteArray("ABCDEFGHIJKLM\0", 14);
    QTest::newRow("empty name") << QStringList{"SNMP_PUBLIC="} << 15014 << QByteArray(14, '\0');
    QTest::newRow("name outside ASCII")
        << QStringList{"SNMP_PUBLIC=Café €Ω😀Ž"} << 15014 << hex("436166E9 20 80 3F 3F 8E 00000000 00");
    QTest::newRow("name in CDATA") << QStringList{"SNMP_PRIVATE=<![CDATA[a<b]]>"} << 15028
                                   << hex("613C62 0000000000000000000000");
    QTest::newRow("first of two elements counts")
        << QStringList{"TCP_IP1=7</TCP_IP1><TCP_IP1>9"} << 15000 << hex("07");
}

void TestConfigImage::storedFields() {
    QFETCH(QStringList, changes);
    QFETCH(int, offset);
    QFETCH(QByteArray, stored);
    Project project;
    project.write(pargenText(changes));
    FixedClock clock;
    ConfigImage image;
    QCOMPARE(BuildConfigImage(image, project.pargen(), clock), std::nullopt);
    QCOMPARE(slice(image, offset, int(stored.size())).toHex(' '), stored.toHex(' '));
    QVERIFY(zeroOutsideBlock(image));
}

void TestConfigImage::refusedValues_data() {
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("reason"); // %1 is the document
    QTest::addColumn<int>("filledUpTo"); // the rows before this offset are stored
    const QString range = "\"%1\": element %2 holds \"%3\", which is not allowed (allowed: %4).";
    const auto refused = [&](const QString& element, const QString& text, const QString& allowed) {
        return range.arg("%1", element, text, allowed);
    };
    QTest::newRow("octet above 255") << QStringList{"TCP_IP1=256"} << refused("TCP_IP1", "256", "0 to 255")
                                     << 15000;
    QTest::newRow("octet below 0") << QStringList{"TCP_IP4=-1"} << refused("TCP_IP4", "-1", "0 to 255")
                                   << 15003;
    QTest::newRow("mask octet 300") << QStringList{"TCP_SUB2=300"} << refused("TCP_SUB2", "300", "0 to 255")
                                    << 15005;
    QTest::newRow("gateway octet 0x100")
        << QStringList{"TCP_GAT4=0x100"} << refused("TCP_GAT4", "0x100", "0 to 255") << 15011;
    QTest::newRow("port 0") << QStringList{"TCP_PORT=0"} << refused("TCP_PORT", "0", "1 to 65535") << 15012;
    QTest::newRow("port 70000") << QStringList{"TCP_PORT=70000"} << refused("TCP_PORT", "70000", "1 to 65535")
                                << 15012;
    QTest::newRow("negative port") << QStringList{"TCP_PORT=-502"}
                                   << refused("TCP_PORT", "-502", "1 to 65535") << 15012;
    QTest::newRow("baud 8") << QStringList{"BAUD=8"} << refused("BAUD", "8", "0 to 7") << 15042;
    QTest::newRow("baud -1") << QStringList{"BAUD=-1"} << refused("BAUD", "-1", "0 to 7") << 15042;
    QTest::newRow("parity 1") << QStringList{"PARITY=1"} << refused("PARITY", "1", "0, 2 or 3") << 15043;
    QTest::newRow("time-out 65536") << QStringList{"TIME_OUT=65536"}
                                    << refused("TIME_OUT", "65536", "0 to 65535") << 15044;
    QTest::newRow("negative offset") << QStringList{"OFFSET=-1"} << refused("OFFSET", "-1", "0 to 65535")
                                     << 15046;
    QTest::newRow("mode 2") << QStringList{"MODE=2"} << refused("MODE", "2", "0 or 1") << 15048;
    QTest::newRow("time-out with a trailing blank")
        << QStringList{"TIME_OUT=1000 "}
        << QString("\"%1\": element TIME_OUT holds \"1000 \", which is not an integer.") << 15044;
    QTest::newRow("empty octet") << QStringList{"TCP_IP1="}
                                 << QString("\"%1\": element TCP_IP1 holds \"\", which is not an integer.")
                                 << 15000;
    QTest::newRow("offset beyond 32 bits")
        << QStringList{"OFFSET=2147483648"}
        << QString("\"%1\": element OFFSET holds \"2147483648\", which is not an integer.") << 15046;
    QTest::newRow("missing port") << QStringList{"TCP_PORT"}
                                  << QString("\"%1\": element TCP_PORT is missing.") << 15012;
    QTest::newRow("names match case exactly")
        << QStringList{"TCP_IP1", "TCP_IP2=0</TCP_IP2><tcp_ip1>5</tcp_ip1><TCP_IP2>0"}
        << QString("\"%1\": element TCP_IP1 is missing.") << 15000;
    QTest::newRow("nested element") << QStringList{"BAUD=<X>3</X>"}
                                    << QString("\"%1\": element BAUD does not hold a single text.") << 15042;
}

void TestConfigImage::refusedValues() {
    QFETCH(QStringList, changes);
    QFETCH(QString, reason);
    QFETCH(int, filledUpTo);
    Project project;
    FixedClock clock;
    ConfigImage reference;
    project.write(pargenText());
    QCOMPARE(BuildConfigImage(reference, project.pargen(), clock), std::nullopt);

    project.write(pargenText(changes));
    ConfigImage image = reference; // a previous build: none of it may survive beyond the failure
    const std::optional<QString> failure = BuildConfigImage(image, project.pargen(), clock);
    QCOMPARE(failure.value_or(QString()),
             "The configuration image was not built. " + reason.arg(project.pargen()));
    QCOMPARE(slice(image, 15000, filledUpTo - 15000), slice(reference, 15000, filledUpTo - 15000));
    QCOMPARE(slice(image, filledUpTo, ConfigImageSize - filledUpTo),
             QByteArray(ConfigImageSize - filledUpTo, '\0'));
    QVERIFY(zeroOutsideBlock(image));
}

void TestConfigImage::unusableDocument_data() {
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("reason");     // the start of the reason; %1 is the document
    QTest::newRow("no pargen.xml") << QByteArray()
                                   << QString("Cannot open file \"%1\". ") + test::missingFileReason();
    QTest::newRow("not well-formed") << QByteArray("<General_Parameter><TCP_IP1>1</TCP_IP1>")
                                     << QString("\"%1\": ");
    QTest::newRow("other root") << QByteArray("<General><TCP_IP1>1</TCP_IP1></General>")
                                << QString("\"%1\" has no top-level element General_Parameter.");
    QTest::newRow("empty file") << QByteArray("") << QString("\"%1\": ");
}

void TestConfigImage::unusableDocument() {
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    Project project;
    FixedClock clock;
    ConfigImage image;
    project.write(pargenText());
    QCOMPARE(BuildConfigImage(image, project.pargen(), clock), std::nullopt);
    QVERIFY(QFile::remove(project.pargen()));
    if (!content.isNull())
        project.write(content);

    const std::optional<QString> failure = BuildConfigImage(image, project.pargen(), clock);
    QVERIFY(failure.has_value());
    QVERIFY2(failure->startsWith("The configuration image was not built. " + reason.arg(project.pargen())),
             qPrintable(*failure));
    QCOMPARE(image.toByteArray(), QByteArray(ConfigImageSize, '\0'));
}

void TestConfigImage::windows1252RoundTrip() {
    int assigned = 0;
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        const char32_t character = fromWindows1252(std::uint8_t(byte));
        if (character == 0xFFFD)
            continue;
        ++assigned;
        QCOMPARE(int(toWindows1252(character)), byte);
    }
    QCOMPARE(assigned, 224 - 5);
    QCOMPARE(communityNameFromField(CopyCommunityName(u"Œuvre™ à 5€")), QString("Œuvre™ à 5€"));
    QCOMPARE(int(toWindows1252(0x0081)), int('?')); // a control character, not the byte 0x81
}

QTEST_GUILESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
