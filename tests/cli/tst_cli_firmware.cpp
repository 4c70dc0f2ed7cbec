#include "tests/image/SRecordText.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tessaly::test;

class TestCliFirmware : public QObject {
    Q_OBJECT
private slots:
    void composeRefusals_data();
    void composeRefusals();
};

void TestCliFirmware::composeRefusals_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("built"); // bin/bank1.bin is there
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // start of standard error
    QTest::newRow("no bank file") << QStringList{"compose", "--reference", "windowless.sx"} << false << 1
                                  << "File bank1.bin Not Found,Abort Procedure\n";
    QTest::newRow("no reference firmware")
        << QStringList{"compose"} << true << 1 << "Error file sx48316.sx not found\n";
    QTest::newRow("reference without the bank window")
        << QStringList{"compose", "--reference", "windowless.sx"} << true << 1
        << "Bank 1 Not Inserted,Abort Procedure\n";
    QTest::newRow("output as a path") << QStringList{"compose", "--output", "../x.sx"} << true << 2 << "";
    QTest::newRow("port out of the list") << QStringList{"flash", "--port", "COM9"} << true << 2 << "";
    QTest::newRow("device not in the port map")
        << QStringList{"flash", "--port", "/dev/no-such-tty"} << true << 1
        << "/dev/no-such-tty is not in the port map (see tessaly-cli ports)\n";
    QTest::newRow("flash before compose")
        << QStringList{"flash", "--port", "COM1"} << true << 1 << "File *.Sx Not Found,Abort Procedure\n";
}

void TestCliFirmware::composeRefusals() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, built);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    ProgramDir dir;
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Line3"}).exitCode, 0);
    if (built)
        writeAll(dir.file("PROJECTS/Line3/bin/bank1.bin"), QByteArray(0x4000, '\x07'));
    writeAll(dir.file("windowless.sx"), sRecord('2', 0x380000, "data") + "\r\nS9030000FC\r\n");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const CliRun run =
        runCli(QStringList{"--program-dir", dir.path()} + arguments + QStringList{"--project", "Line3"});
    QDir::setCurrent(cwd);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
    if (exitCode == 2)
        QVERIFY(!QFileInfo::exists(dir.file("PROJECTS/x.sx")));
}

QTEST_MAIN(TestCliFirmware)
#include "tst_cli_firmware.moc"
