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
    void flashSendsOnlyWhatUpdateWould_data();
    void flashSendsOnlyWhatUpdateWould();
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
        QCOMPARE(runCli({"--program-dir", dir.path(), "build", "--project", "Line3"}).exitCode, 0);
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
    QTest::addColumn<int>("extraBytes"); // after the 16384 of the built bank
    QTest::addColumn<QString>("change"); // set after the build: KEY=VALUE, or "" for none
    QTest::addColumn<int>("pargenAge");  // seconds pargen.xml is older than bin/bank1.bin
    QTest::addColumn<QString>("err");
    QTest::newRow("built after the last change") << 0 << "" << 1 << "";
    // A copied project: every file has a new time, pargen.xml may well be the newest.
    QTest::newRow("copied, pargen.xml the newest file") << 0 << "" << -10 << "";
    // The merge takes the first 16384 bytes, and the check compares those.
    QTest::newRow("bank file longer than the bank") << 100 << "" << 1 << "";
    QTest::newRow("pargen.xml changed since the build")
        << 0 << "port=1502" << 1
        << "bin/bank1.bin does not hold what pargen.xml builds now: run build first\n";
}

void TestCliFirmware::composeOfBuiltBank() {
    QFETCH(int, extraBytes);
    QFETCH(QString, change);
    QFETCH(int, pargenAge);
    QFETCH(QString, err);
    ProgramDir dir;
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Line3"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "build", "--project", "Line3"}).exitCode, 0);
    const QString bank = dir.file("PROJECTS/Line3/bin/bank1.bin");
    writeAll(bank, readAll(bank) + QByteArray(extraBytes, '\x07'));
    if (!change.isEmpty())
        QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", "Line3", change}).exitCode, 0);
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

void TestCliFirmware::flashSendsOnlyWhatUpdateWould_data() {
    QTest::addColumn<QString>("after"); // what happens between compose and flash
    QTest::addColumn<QString>("err");   // start of standard error
    // No tool in the program directory: reaching its check means every other one passed.
    const QString passed = "FlashWrite.exe Not Found, Procedure Aborted\n";
    const QString noBank =
        "New_sx48316.sx does not hold bin/bank1.bin in bank 1: run update, or compose before flash\n";
    QTest::newRow("nothing") << "" << passed;
    QTest::newRow("copied: new file times") << "touch" << passed;
    QTest::newRow("an update that stopped: Bank 1 Not Inserted") << "windowless" << noBank;
    QTest::newRow("a firmware older than bin/bank1.bin") << "set and build" << noBank;
    QTest::newRow("the bank window edited by hand") << "edit" << noBank;
    QTest::newRow("bin/bank1.bin older than pargen.xml")
        << "set"
        << "bin/bank1.bin does not hold what pargen.xml builds now: run update, which builds, composes "
           "and flashes\n";
}

void TestCliFirmware::flashSendsOnlyWhatUpdateWould() {
    QFETCH(QString, after);
    QFETCH(QString, err);
    ProgramDir dir;
    const QStringList program{"--program-dir", dir.path()};
    const QStringList project{"--project", "Line3"};
    QCOMPARE(runCli(program + QStringList{"new", "Line3"}).exitCode, 0);
    QCOMPARE(runCli(program + QStringList{"build"} + project).exitCode, 0);
    writeAll(dir.file("MASTER/sx48316.sx"), firmwareWithBank(QByteArray(0x4000, '\0')) + "S9030000FC\r\n");
    QCOMPARE(runCli(program + QStringList{"compose"} + project).exitCode, 0);
    const QString firmware = dir.file("PROJECTS/Line3/New_sx48316.sx");

    if (after == "touch") {
        for (const char* name : {"pargen.xml", "bin/bank1.bin", "bin/bankg.c"}) {
            QFile file(dir.file(QStringLiteral("PROJECTS/Line3/") + name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QFileInfo(firmware).lastModified().addSecs(60),
                                     QFileDevice::FileModificationTime));
        }
    } else if (after == "windowless") {
        writeAll(dir.file("windowless.sx"), sRecord('2', 0x380000, "data") + "\r\nS9030000FC\r\n");
        QCOMPARE(runCli(program +
                        QStringList{"compose", "--reference", dir.file("windowless.sx"), "--output",
                                    "New_sx48316.sx"} +
                        project)
                     .exitCode,
                 1);
    } else if (after.startsWith("set")) {
        QCOMPARE(runCli(program + QStringList{"set"} + project + QStringList{"ip=10.0.0.9"}).exitCode, 0);
        if (after == "set and build")
            QCOMPARE(runCli(program + QStringList{"build"} + project).exitCode, 0);
    } else if (after == "edit") {
        // Another value in the window, with a checksum to match.
        QByteArray text = readAll(firmware);
        const QByteArray original =
            sRecord('2', 0x388000, readAll(dir.file("PROJECTS/Line3/bin/bank1.bin")).left(32));
        QVERIFY(text.contains(original));
        text.replace(original, sRecord('2', 0x388000, QByteArray(32, '\x5A')));
        writeAll(firmware, text);
    }

    const CliRun run = runCli(program + QStringList{"flash", "--port", "COM1"} + project);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QDir::toNativeSeparators(err));
}

QTEST_MAIN(TestCliFirmware)
#include "tst_cli_firmware.moc"
