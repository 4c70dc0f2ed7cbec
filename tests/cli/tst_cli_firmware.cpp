#include "tests/image/SRecordText.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tessaly::test;

namespace {
// Project Line3, built and composed from a reference firmware with an empty bank 1.
bool composeLine3(const ProgramDir& dir) {
    const QStringList program{"--program-dir", dir.path()};
    const QStringList project{"--project", "Line3"};
    if (runCli(program + QStringList{"new", "Line3"}).exitCode != 0 ||
        runCli(program + QStringList{"build"} + project).exitCode != 0)
        return false;
    writeAll(dir.file("MASTER/sx48316.sx"), firmwareWithBank(QByteArray(0x4000, '\0')) + "S9030000FC\r\n");
    return runCli(program + QStringList{"compose"} + project).exitCode == 0;
}
} // namespace

class TestCliFirmware : public QObject {
    Q_OBJECT
private slots:
    void composeRefusals_data();
    void composeRefusals();
    void composeOfBuiltBank_data();
    void composeOfBuiltBank();
    void flashToolCannotReceivePath_data();
    void flashToolCannotReceivePath();
    void toolStatusWhenWaiting_data();
    void toolStatusWhenWaiting();
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
#ifdef Q_OS_WIN
    // Windows names its ports itself, beyond COM8 too, and by their device paths.
    QTest::newRow("Windows port name")
        << QStringList{"flash", "--port", "COM12"} << true << 1 << "File *.Sx Not Found,Abort Procedure\n";
    QTest::newRow("Windows device path") << QStringList{"flash", "--port", "\\\\.\\COM12"} << true << 1
                                         << "File *.Sx Not Found,Abort Procedure\n";
    QTest::newRow("port beyond Windows's names")
        << QStringList{"flash", "--port", "COM257"} << true << 2 << "";
#else
    QTest::newRow("port out of the list") << QStringList{"flash", "--port", "COM9"} << true << 2 << "";
#endif
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

void TestCliFirmware::flashToolCannotReceivePath_data() {
    QTest::addColumn<QString>("programFolder"); // below the temporary directory
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("refusedPath"); // in the program folder; empty where the tool can be handed it
    QTest::addColumn<QString>("reason");
    const QString firmware = QStringLiteral("PROJECTS/%1/New_sx48316.sx");
    QTest::newRow("Greek project") << ""
                                   << "\u03A9mega" << firmware.arg("\u03A9mega") << "\"\u03A9\" cannot";
    QTest::newRow("Cyrillic project")
        << ""
        << "\u041D\u0430\u0441\u043E\u0441" << firmware.arg("\u041D\u0430\u0441\u043E\u0441")
        << "\"\u041D\u0430\u0441\u043E\" cannot";
    QTest::newRow("code page 1252") << ""
                                    << "\u00C4rger\u20AC"
                                    << ""
                                    << "";
    // 278 characters of program folder: the tool's own path is too long to start it.
    const QString deep = QString(120, 'd') + "/" + QString(120, 'e');
    QTest::newRow("long program folder") << deep << "Plant1"
                                         << "FlashWrite.exe"
                                         << "it has %1 characters";
}

// update and flash refuse, before anything is built or composed, a path that the tool
// would receive as another file's (a look-alike in the ANSI code page) or not at all.
void TestCliFirmware::flashToolCannotReceivePath() {
    QFETCH(QString, programFolder);
    QFETCH(QString, project);
    QFETCH(QString, refusedPath);
    QFETCH(QString, reason);
    ProgramDir dir;
    const QString program = QDir::toNativeSeparators(QDir::cleanPath(dir.path() + "/" + programFolder));
    QVERIFY(QDir().mkpath(program + "/MASTER"));
    writeAll(program + "/MASTER/sx48316.sx", firmwareWithBank(QByteArray(0x4000, '\0')) + "S9030000FC\r\n");
    QCOMPARE(runCli({"--program-dir", program, "new", project}).exitCode, 0);
    const QString projectDir = QDir::toNativeSeparators(program + "/PROJECTS/" + project);
#ifndef Q_OS_WIN
    refusedPath.clear(); // the tool receives UTF-8 paths of any length
#endif
    const CliRun update =
        runCli({"--program-dir", program, "update", "--project", project, "--port", "COM1"});
    QCOMPARE(update.exitCode, 1);
    if (refusedPath.isEmpty()) {
        // Built, composed, then stopped for want of the tool.
        QVERIFY2(update.err.endsWith("FlashWrite.exe Not Found, Procedure Aborted\n"),
                 qPrintable(update.err));
        QVERIFY(QFileInfo::exists(projectDir + "/New_sx48316.sx"));
        return;
    }
    const QString path = QDir::toNativeSeparators(program + "/" + refusedPath);
    const QString expected = "The flashing tool cannot receive the path \"" + path +
                             "\": " + (reason.contains("%1") ? reason.arg(path.size()) : reason);
    QVERIFY2(update.err.startsWith(expected), qPrintable(update.err));
    QVERIFY(!QFileInfo::exists(projectDir + "/bin/bank1.bin"));
    QVERIFY(!QFileInfo::exists(projectDir + "/New_sx48316.sx"));
    // flash refuses a firmware composed before as well.
    writeAll(projectDir + "/New_sx48316.sx", "S9030000FC\r\n");
    writeAll(program + "/FlashWrite.exe", "MZ");
    const CliRun flash = runCli({"--program-dir", program, "flash", "--project", project, "--port", "COM1"});
    QCOMPARE(flash.exitCode, 1);
    QVERIFY2(flash.err.startsWith(expected), qPrintable(flash.err));
}

void TestCliFirmware::toolStatusWhenWaiting_data() {
    QTest::addColumn<int>("toolStatus");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::newRow("documented: port") << 4 << 4 << "";
    // A tool that could not even run (Windows: a DLL it needs is missing) says nothing.
    QTest::newRow("undocumented") << 53 << 1 << "The flashing tool ended with status 53\n";
}

void TestCliFirmware::toolStatusWhenWaiting() {
#ifdef Q_OS_WIN
    QSKIP("the tool here is a shell script; under Wine installer_under_wine starts a real one");
#endif
    QFETCH(int, toolStatus);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    ProgramDir dir;
    const QStringList program{"--program-dir", dir.path()};
    const QStringList project{"--project", "Line3"};
    QVERIFY(composeLine3(dir));
    const QString tool = dir.file("FlashWrite.exe");
    writeAll(tool, "#!/bin/sh\nexit " + QByteArray::number(toolStatus) + "\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const CliRun run = runCli(program + QStringList{"flash", "--port", "COM1", "--wait"} + project);
    // Before it: at most the warning that COM1 leads to no serial port on this machine.
    QVERIFY2(err.isEmpty() ? !run.err.contains("ended with status") : run.err.endsWith(err),
             qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);
}

void TestCliFirmware::flashSendsOnlyWhatUpdateWould_data() {
    QTest::addColumn<QString>("after"); // what happens between compose and flash
    QTest::addColumn<QString>("err");   // standard error; <firmware> the new firmware's path
    // No tool in the program directory: reaching its check means every other one passed.
    const QString passed = "FlashWrite.exe Not Found, Procedure Aborted\n";
    const QString noBank =
        "New_sx48316.sx does not hold bin/bank1.bin in bank 1: run update, or compose before flash\n";
    QTest::newRow("nothing") << "" << passed;
    QTest::newRow("copied: new file times") << "touch" << passed;
    QTest::newRow("an update that stopped: Bank 1 Not Inserted")
        << "windowless"
        << "\"<firmware>\" holds no configuration bank: it has no data for the addresses 0x388000 to "
           "0x38BFFF: run update, or compose before flash\n";
    QTest::newRow("a firmware cut short")
        << "cut"
        << "\"<firmware>\" is cut short: it has no end record (S7, S8 or S9): run update, or "
           "compose before flash\n";
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
    QVERIFY(composeLine3(dir));
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
    } else if (after == "cut") {
        // The end records gone, as a copy that stopped early leaves the file.
        const QByteArray text = readAll(firmware);
        writeAll(firmware, text.left(text.indexOf("\nS8") + 1));
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
    QCOMPARE(run.err, QDir::toNativeSeparators(err.replace("<firmware>", firmware)));
}

QTEST_MAIN(TestCliFirmware)
#include "tst_cli_firmware.moc"
