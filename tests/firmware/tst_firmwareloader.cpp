// The device's loader: transfers taken or refused, record by record, as the flashing
// tool sends them.
#include "firmware/FirmwareLoader.h"
#include "tests/image/ConfiguredBank.h"
#include "tests/image/SRecordText.h"

#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QByteArray Bank = configuredBank({10, 20, 30, 40}, 1502);
const QByteArray Sound = firmwareWithBank(Bank);

// `text` with line `number` (from 1) replaced by `line`.
QByteArray withLine(const QByteArray& text, int number, const QByteArray& line) {
    QList<QByteArray> lines = text.split('\n');
    lines[number - 1] = line + '\r';
    return lines.join('\n');
}

QByteArray withoutLastLine(const QByteArray& text) {
    return text.left(text.lastIndexOf("S8"));
}

struct Outcome {
    QList<LoadedFirmware> loaded;
    QStringList refused;
};

Outcome load(const QByteArray& stream, qsizetype pieceSize) {
    Outcome outcome;
    FirmwareLoader loader(QStringLiteral("/dev/ttyS0"));
    loader.onLoaded = [&outcome](const LoadedFirmware& f) { outcome.loaded.append(f); };
    loader.onRefused = [&outcome](const QString& why) { outcome.refused.append(why); };
    for (qsizetype at = 0; at < stream.size(); at += pieceSize)
        loader.feed(QByteArrayView(stream).sliced(at, std::min(pieceSize, stream.size() - at)));
    loader.cutOff(QStringLiteral("cut off"));
    return outcome;
}

} // namespace

class TestFirmwareLoader : public QObject {
    Q_OBJECT
private slots:
    void transfers_data();
    void transfers();
    void firmwareFiles();
};

void TestFirmwareLoader::transfers_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<QString>("refused"); // the first refusal, empty for none
    QByteArray badChecksum = sRecord('2', 0x388000, Bank.left(32));
    badChecksum[badChecksum.size() - 1] = badChecksum.endsWith('0') ? '1' : '0';

    QTest::newRow("sound") << Sound << 1 << QString();
    QTest::newRow("blank lines around it") << "\r\n\r\n" + Sound + "\r\n" << 1 << QString();
    QTest::newRow("LF alone ends lines too") << firmwareWithBank(Bank, "\n") << 1 << QString();
    QTest::newRow("two transfers") << Sound + Sound << 2 << QString();
    QTest::newRow("checksum of line 3") << withLine(Sound, 3, badChecksum) << 0 << "Line 3: checksum error";
    QTest::newRow("byte count") << withLine(Sound, 2, "S2240000") << 0 << "Line 2: byte count";
    QTest::newRow("S4 record") << withLine(Sound, 2, "S4030000FC") << 0 << "Line 2: not an S-record";
    QTest::newRow("lower-case type") << withLine(Sound, 2, sRecord('2', 0x380000, "AB").toLower()) << 0
                                     << "Line 2: not an S-record";
    QTest::newRow("data past the memory")
        << withLine(Sound, 2, sRecord('2', 0x3FFFF0, QByteArray(32, 'x'))) << 0
        << "Line 2: data for 0x3FFFF0 to 0x40000F lies outside the device's memory (0x000000 to 0x3FFFFF)";
    QTest::newRow("S3 far away") << withLine(Sound, 2, sRecord('3', 0x80000000, "x")) << 0 << "outside";
    QTest::newRow("empty line inside")
        << withLine(Sound, 4, "") << 0 << "Line 4: empty line inside the transfer";
    QTest::newRow("a line longer than any record")
        << withLine(Sound, 2, QByteArray(2000, 'S')) << 0 << "Line 2: longer than any S-record";
    QTest::newRow("cut off before the end record") << withoutLastLine(Sound) << 0 << "cut off";
    QTest::newRow("erased bank") << firmwareWithBank(QByteArray(16384, '\xFF')) << 0
                                 << "it holds no configuration: the configuration bank is erased";
    QByteArray badBaud = Bank;
    badBaud[ImageOffset::Baud] = 9;
    QTest::newRow("baud index 9") << firmwareWithBank(badBaud) << 0 << "baud index 9";
    QByteArray stray = Bank;
    stray[100] = 1;
    QTest::newRow("a byte outside the parameter block") << firmwareWithBank(stray) << 0 << "at offset 100";
    QTest::newRow("all zero: no build date")
        << firmwareWithBank(QByteArray(16384, '\0')) << 0 << "holds no build date (day 0, month 0)";
    QTest::newRow("no bank") << firmwareWithBank({}) << 0 << "holds no configuration bank";
    // The tool started again: the cut transfer is refused, the new one taken.
    QTest::newRow("a new header before the end")
        << withoutLastLine(Sound) + Sound << 1 << "a new transfer began at line";
    // After a refusal the rest of that transfer is passed over, up to its end record.
    QTest::newRow("a sound transfer after a refused one")
        << withLine(Sound, 3, badChecksum) + Sound << 1 << "Line 3: checksum error";
}

void TestFirmwareLoader::transfers() {
    QFETCH(QByteArray, stream);
    QFETCH(int, loaded);
    QFETCH(QString, refused);
    // Whole, and a byte at a time as a slow line brings it: the same outcome.
    for (const qsizetype piece : {stream.size(), qsizetype(1), qsizetype(7)}) {
        const Outcome outcome = load(stream, std::max<qsizetype>(piece, 1));
        QCOMPARE(outcome.loaded.size(), loaded);
        QCOMPARE(outcome.refused.value(0).isEmpty(), refused.isEmpty());
        QVERIFY2(outcome.refused.value(0).contains(refused), qPrintable(outcome.refused.value(0)));
        QCOMPARE(outcome.refused.size(), refused.isEmpty() ? 0 : 1);
        for (const LoadedFirmware& firmware : outcome.loaded) {
            QCOMPARE(firmware.image.toByteArray(), Bank);
            QCOMPARE(dottedText(firmware.configuration.ip), "10.20.30.40");
            QCOMPARE(firmware.configuration.port, 1502);
            QCOMPARE(firmware.configuration.baudRate, 115200);
            QCOMPARE(firmware.configuration.parity, Parity::Even);
            QCOMPARE(firmware.text, firmwareWithBank(Bank)); // as stored: CR LF, no blank lines
        }
    }
}

void TestFirmwareLoader::firmwareFiles() {
    QTemporaryDir dir;
    const QString path = dir.filePath("New_sx48316.sx");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Sound.chopped(2)); // the last line without its line end still counts
    file.close();
    QVERIFY(std::holds_alternative<LoadedFirmware>(loadFirmwareFile(path)));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(Sound.chopped(5)); // a torn end record
    file.close();
    QCOMPARE(std::get<QString>(loadFirmwareFile(path)).left(6), "Line 5");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(withoutLastLine(Sound));
    file.close();
    QCOMPARE(std::get<QString>(loadFirmwareFile(path)), "it ends before its end record (S7, S8 or S9)");
}

QTEST_APPLESS_MAIN(TestFirmwareLoader)
#include "tst_firmwareloader.moc"
