// tessaly-cli driving the real flashing tool, with pseudo-terminals for devices: which
// device the firmware reaches, what is reported, and what a stop does.

#include "tests/image/SRecordText.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

using namespace tessaly::test;

namespace {

struct DeviceRun {
    CliRun cli;
    QList<QByteArray> received; // per device, in the order given
    QByteArray afterEnd;        // what reached the first device after tessaly-cli ended
};

// tessaly-cli with `arguments` and `environment`, while the devices take in what
// arrives. With `stop`, that signal goes to tessaly-cli once the first device has
// something waiting, before anything is read: the transfer is then under way.
DeviceRun runWithDevices(const QStringList& arguments, const QList<PseudoTerminal*>& devices,
                         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                         int stop = 0) {
    DeviceRun run;
    run.received.resize(devices.size());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TESSALY_CLI_PATH), arguments);
    if (!process.waitForStarted(10000))
        return run;
    const QDeadlineTimer deadline(60000);
    if (stop) {
        while (!devices[0]->waitForData(20) && !deadline.hasExpired() &&
               process.state() == QProcess::Running) {
        }
        ::kill(pid_t(process.processId()), stop);
    }
    const auto readAllDevices = [&](int milliseconds) {
        for (qsizetype i = 0; i < devices.size(); ++i)
            run.received[i] += devices[i]->read(milliseconds);
    };
    while (!process.waitForFinished(20) && !deadline.hasExpired())
        readAllDevices(0);
    readAllDevices(100);
    run.afterEnd = devices[0]->read(500);
    run.cli.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.cli.out = QString::fromUtf8(process.readAllStandardOutput());
    run.cli.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A program directory with the tool, a reference firmware holding the bank window,
// and the project P.
void prepare(const QString& programDir, const QString& tool) {
    QVERIFY(QDir().mkpath(programDir));
    if (!tool.isEmpty())
        QVERIFY(QFile::copy(QStringLiteral(FLASHWRITE_EXE), tool));
    // Ended by an S9 record, as the merge wants, and by nothing else, as the tool does.
    QByteArray reference = firmwareWithBank(QByteArray(0x4000, '\0'));
    reference.replace("S804000000FB", "S9030000FC");
    writeAll(programDir + "/MASTER/sx48316.sx", reference);
    QCOMPARE(runCli({"--program-dir", programDir, "new", "P"}).exitCode, 0);
}

} // namespace

class TestCliFlash : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void portMapOfLinkedTool();
    void noDisplay();
    void stopReachesTool_data();
    void stopReachesTool();
    void whatIsNoPort();
};

void TestCliFlash::initTestCase() {
    qputenv("FLASHWRITE_EXIT_WHEN_DONE", "1");
    // Started in the background by a shell, this process may ignore SIGINT, and a
    // program keeps ignoring what it was told to ignore: tessaly-cli must see it.
    for (const int signal : {SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
}

void TestCliFlash::portMapOfLinkedTool() {
    // A per-user program directory whose FlashWrite.exe links to the installed one,
    // with a port map in each folder: what `ports` shows, what --port DEVICE means and
    // what the tool opens are one and the same.
    PseudoTerminal installedCom1, installedCom2, ownCom1;
    ProgramDir dir;
    const QString installed = dir.file("installed"), own = dir.file("own");
    prepare(own, {});
    QVERIFY(QDir().mkpath(installed));
    QVERIFY(QFile::copy(QStringLiteral(FLASHWRITE_EXE), installed + "/FlashWrite.exe"));
    QVERIFY(QFile::link(installed + "/FlashWrite.exe", own + "/FlashWrite.exe"));
    writeAll(installed + "/FlashWrite.ini", "[ports]\nCOM1=" + QFile::encodeName(installedCom1.slaveName()) +
                                                "\nCOM2=" + QFile::encodeName(installedCom2.slaveName()) +
                                                "\n");
    writeAll(own + "/FlashWrite.ini", "COM1=" + QFile::encodeName(ownCom1.slaveName()) + "\n");

    const CliRun ports = runCli({"--program-dir", own, "ports"});
    QCOMPARE(ports.exitCode, 0);
    QVERIFY2(ports.out.startsWith("COM1\t" + ownCom1.slaveName() + "\t-\tFlashWrite.ini\nCOM2\t" +
                                  installedCom2.slaveName() + "\t-\tFlashWrite.ini\n"),
             qPrintable(ports.out));

    const QList<PseudoTerminal*> devices{&ownCom1, &installedCom1, &installedCom2};
    const DeviceRun byPath = runWithDevices(
        {"--program-dir", own, "update", "--project", "P", "--port", ownCom1.slaveName(), "--wait"}, devices);
    QVERIFY2(byPath.cli.exitCode == 0, qPrintable(byPath.cli.err));
    const QByteArray firmware = readAll(own + "/PROJECTS/P/New_sx48316.sx");
    QCOMPARE(byPath.received, (QList<QByteArray>{firmware, {}, {}}));
    QVERIFY2(byPath.cli.err.contains("COM1 opened: " + ownCom1.slaveName()), qPrintable(byPath.cli.err));

    const DeviceRun byName = runWithDevices(
        {"--program-dir", own, "flash", "--project", "P", "--port", "COM2", "--wait"}, devices);
    QVERIFY2(byName.cli.exitCode == 0, qPrintable(byName.cli.err));
    QCOMPARE(byName.received, (QList<QByteArray>{{}, {}, firmware}));
}

void TestCliFlash::noDisplay() {
    // Started without --wait where no display is: the tool would end at once.
    PseudoTerminal device;
    ProgramDir dir;
    prepare(dir.path(), dir.file("FlashWrite.exe"));
    writeAll(dir.file("FlashWrite.ini"), "COM1=" + QFile::encodeName(device.slaveName()) + "\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "FLASHWRITE_EXIT_WHEN_DONE"})
        environment.remove(name);
    const DeviceRun run = runWithDevices(
        {"--program-dir", dir.path(), "update", "--project", "P", "--port", "COM1"}, {&device}, environment);
    QVERIFY2(run.cli.exitCode == 0, qPrintable(run.cli.err));
    QVERIFY2(run.cli.err.startsWith("No display: FlashWrite.exe runs without a window"),
             qPrintable(run.cli.err));
    QVERIFY2(!run.cli.out.contains("started"), qPrintable(run.cli.out));
    QCOMPARE(run.received[0], readAll(dir.file("PROJECTS/P/New_sx48316.sx")));
}

void TestCliFlash::stopReachesTool_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestCliFlash::stopReachesTool() {
    QFETCH(int, signal);
    PseudoTerminal device;
    ProgramDir dir;
    prepare(dir.path(), dir.file("FlashWrite.exe"));
    writeAll(dir.file("FlashWrite.ini"), "COM1=" + QFile::encodeName(device.slaveName()) + "\n");
    const DeviceRun run =
        runWithDevices({"--program-dir", dir.path(), "update", "--project", "P", "--port", "COM1", "--wait"},
                       {&device}, QProcessEnvironment::systemEnvironment(), signal);
    const QString name = QTest::currentDataTag();
    QCOMPARE(run.cli.exitCode, 128 + signal);
    QVERIFY2(run.cli.err.contains(QRegularExpression("Transfer to COM1 \\(.*\\) stopped \\(" + name +
                                                     "\\) after \\d+ of \\d+ records\n")),
             qPrintable(run.cli.err));
    QVERIFY2(run.cli.err.endsWith("Stopped by " + name + ": FlashWrite.exe ended with status 1\n"),
             qPrintable(run.cli.err));
    // The tool ended with tessaly-cli: nothing more reaches the device.
    QVERIFY(run.received[0].size() < readAll(dir.file("PROJECTS/P/New_sx48316.sx")).size());
    QCOMPARE(run.afterEnd, QByteArray());
}

void TestCliFlash::whatIsNoPort() {
    ProgramDir dir;
    prepare(dir.path(), {});
    writeAll(dir.file("plain-file"), "");
    writeAll(dir.file("FlashWrite.ini"), "COM01=/dev/ttyUSB2\r\nCOM2=/dev/null\r\n");
    const CliRun ports = runCli({"--program-dir", dir.path(), "ports"});
    QCOMPARE(ports.exitCode, 1);
    QVERIFY2(ports.out.startsWith("COM1\t-\tentry not understood\tFlashWrite.ini\n"
                                  "COM2\t/dev/null\tnot a serial port\tFlashWrite.ini\n"),
             qPrintable(ports.out));
    QCOMPARE(ports.err,
             "Warning: " + dir.file("FlashWrite.ini") +
                 ", line 1: \"COM01=/dev/ttyUSB2\" is not understood: COM names are COM1 to COM256, "
                 "without blanks or leading zeros; COM1 leads to no port until the line is mended\n");
    for (const QString& device : {QStringLiteral("/dev/null"), dir.file("plain-file")}) {
        const CliRun flash =
            runCli({"--program-dir", dir.path(), "flash", "--project", "P", "--port", device});
        QCOMPARE(flash.exitCode, 1);
        QCOMPARE(flash.err, device + " is not a serial port\n");
    }
}

QTEST_GUILESS_MAIN(TestCliFlash)
#include "tst_cli_flash.moc"
