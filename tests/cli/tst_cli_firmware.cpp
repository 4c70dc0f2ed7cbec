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
    void composeOfBuiltBank_data();
    void composeOfBuiltBank();
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

void TestCliFirmware::composeOfBuiltBank_data() {
    QTest::addColumn<int>("bankSize");
    QTest::addColumn<int>("pargenAge"); // seconds pargen.xml is older than bin/bank1.bin
    QTest::addColumn<QString>("err");
    QTest::newRow("built after the last change") << 0x4000 << 1 << "";
    // The merge takes the first 16384 bytes, and the check compares those.
    QTest::newRow("bank file longer than the bank") << 0x4000 + 100 << 1 << "";
    QTest::newRow("pargen.xml changed since the build")
        << 0x4000 << -10 << "bin/bank1.bin is older than pargen.xml: run build first\n";
}

void TestCliFirmware::composeOfBuiltBank() {
    QFETCH(int, bankSize);
    QFETCH(int, pargenAge);
    QFETCH(QString, err);
    ProgramDir dir;
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Line3"}).exitCode, 0);
    const QString bank = dir.file("PROJECTS/Line3/bin/bank1.bin");
    writeAll(bank, QByteArray(bankSize, '\x07'));
    writeAll(dir.file("MASTER/sx48316.sx"), firmwareWithBank(QByteArray(0x4000, '\0')) + "S9030000FC\r\n");
    QFile pargen(dir.file("PROJECTS/Line3/pargen.xml"));
    QVERIFY(pargen.open(QIODevice::ReadWrite));
    QVERIFY(pargen.setFileTime(QFileInfo(bank).lastModified().addSecs(-pargenAge),
                               QFileDevice::FileModificationTime));
    pargen.close();
    const CliRun run = runCli({"--program-dir", dir.path(), "compose", "--project", "Line3"});
    QCOMPARE(run.err, QDir::toNativeSeparators(err));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.endsWith("result 1\n"), qPrintable(run.out));
}

QTEST_MAIN(TestCliFirmware)
#include "tst_cli_firmware.moc"
