#include "firmware/srecord/SRecord.h"
#include "firmware/srecord/SxFileCheck.h"
#include "tests/support/TestSupport.h"
#include "tools/demofirmware/DemoFirmware.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace tessaly;
using namespace tessaly::tools;

class TestDemoFirmware : public QObject {
    Q_OBJECT
private slots:
    void buildWroteTheDemo();
    void recordsCoverTheBankWindow();
    void srecCatAgrees();
    void generator_data();
    void generator();
};

void TestDemoFirmware::buildWroteTheDemo() {
    const QByteArray built = test::readAll(QStringLiteral(BUILT_REFERENCE_FIRMWARE));
    if (!built.isEmpty() && !isDemoFirmware(built))
        QSKIP("MASTER/sx48316.sx is a real reference firmware");
    QVERIFY(built == demoFirmware());
}

void TestDemoFirmware::recordsCoverTheBankWindow() {
    const QByteArray file = demoFirmware();
    QVERIFY(file == demoFirmware());
    QVERIFY2(file.size() > 550 * 1024 && file.size() < 650 * 1024, QByteArray::number(file.size()));
    QCOMPARE(file.count("\r\n"), file.count('\n')); // every line ends in CR LF
    QVERIFY(file.endsWith("\r\nS9030000FC\r\n"));

    const SRecordCheck check = checkSRecordFile(file);
    QVERIFY2(check.ok(), qPrintable(check.error));
    QVERIFY(check.records.front().startsWith("S0"));
    QCOMPARE(QByteArray::fromHex(check.records.front().sliced(8).chopped(2).toByteArray()),
             QByteArray(DemoHeaderText));
    QVERIFY(QByteArray(DemoHeaderText).contains("DEMO"));

    quint32 expected = DemoFirstAddress;
    int inWindow = 0;
    for (const QByteArrayView view : check.records.sliced(1, check.records.size() - 2)) {
        const QByteArray record = view.toByteArray();
        QVERIFY(record.startsWith("S224"));
        QCOMPARE(record.size(), 76);
        const quint32 address = record.mid(4, 6).toUInt(nullptr, 16);
        QCOMPARE(address, expected);
        const QByteArray data = record.mid(10, 64);
        const bool window = address >= DemoBank1First && address <= DemoBank1Last;
        inWindow += window;
        if (window)
            QCOMPARE(data, QByteArray(64, 'F'));
        else
            QVERIFY(data != QByteArray(64, 'F'));
        expected += 32;
    }
    QCOMPARE(expected, DemoEndAddress);
    QCOMPARE(inWindow, 512);
    QVERIFY(DemoFirstAddress < DemoBank1First && DemoEndAddress > DemoBank1Last + 1);
}

void TestDemoFirmware::srecCatAgrees() {
    const QString srecCat = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
    if (srecCat.isEmpty())
        QSKIP("srec_cat (Debian srecord) is not installed");
    test::ProgramDir dir;
    const QString firmware = dir.file(QStringLiteral("sx48316.sx"));
    test::writeAll(firmware, demoFirmware());

    QProcess accept;
    accept.start(srecCat, {firmware, QStringLiteral("-o"), QStringLiteral("/dev/null")});
    QVERIFY(accept.waitForFinished(30000));
    QVERIFY2(accept.exitStatus() == QProcess::NormalExit && accept.exitCode() == 0,
             accept.readAllStandardError().constData());

    // srec_cat's own reading of the bank window: 16 KB of 0xFF.
    const QString window = dir.file(QStringLiteral("bank1.bin"));
    QProcess crop;
    crop.start(srecCat, {firmware, QStringLiteral("-crop"), QStringLiteral("0x388000"),
                         QStringLiteral("0x38C000"), QStringLiteral("-offset"), QStringLiteral("-0x388000"),
                         QStringLiteral("-o"), window, QStringLiteral("-binary")});
    QVERIFY(crop.waitForFinished(30000));
    QCOMPARE(crop.exitCode(), 0);
    QVERIFY(test::readAll(window) == QByteArray(16384, char(0xFF)));
}

void TestDemoFirmware::generator_data() {
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<bool>("replaced");
    QTest::newRow("missing") << QByteArray() << true;
    QTest::newRow("outdated demo") << demoFirmware().left(200) << true;
    QTest::newRow("real firmware kept")
        << QByteArray("S00F000068656C6C6F202020202000003C\r\nS9030000FC\r\n") << false;
}

void TestDemoFirmware::generator() {
    QFETCH(QByteArray, before);
    QFETCH(bool, replaced);
    test::ProgramDir dir;
    const QString output = dir.file(QStringLiteral("MASTER/sx48316.sx"));
    if (!before.isNull())
        test::writeAll(output, before);
    QProcess generator;
    generator.start(QStringLiteral(DEMOFIRMWARE_EXE), {output});
    QVERIFY(generator.waitForFinished(30000));
    QCOMPARE(generator.exitCode(), 0);
    QVERIFY(test::readAll(output) == (replaced ? demoFirmware() : before));
}

QTEST_GUILESS_MAIN(TestDemoFirmware)
#include "tst_demofirmware.moc"
