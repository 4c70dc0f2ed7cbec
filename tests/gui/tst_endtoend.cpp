// A device update as a new user does it: New project, General Parameter, Update
// Device, Execute update firmware on COM3; the flashing tool is the real stand-in,
// and a pseudo-terminal mapped to COM3 plays the device.

#include "app/MainWindow.h"
#include "documents/GeneralParameterDialog.h"
#include "firmware/FirmwareDialog.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

// What reaches the device until `expectedSize` bytes are there (30 s at most).
QByteArray receive(PseudoTerminal& pty, qsizetype expectedSize) {
    QByteArray received;
    const QDeadlineTimer deadline(30000);
    while (received.size() < expectedSize && !deadline.hasExpired())
        received += pty.read(100);
    return received + pty.read(200);
}

// tessaly-cli with `arguments`, while the device takes in what arrives.
CliRun runCliWithDevice(const QStringList& arguments, PseudoTerminal& device, QByteArray& received) {
    QProcess process;
    process.start(QStringLiteral(TESSALY_CLI_PATH), arguments);
    CliRun run;
    if (!process.waitForStarted(10000))
        return run;
    const QDeadlineTimer deadline(60000);
    while (!process.waitForFinished(20) && !deadline.hasExpired())
        received += device.read(0);
    received += device.read(100);
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

struct Installation {
    ProgramDir dir;
    PseudoTerminal device;

    Installation() {
        QVERIFY(device.isOpen());
        QVERIFY(QFile::copy(QStringLiteral(FLASHWRITE_EXE), dir.file("FlashWrite.exe")));
        QDir().mkpath(dir.file("MASTER"));
        QVERIFY(QFile::copy(QStringLiteral(BUILT_REFERENCE_FIRMWARE), dir.file("MASTER/sx48316.sx")));
        writeAll(dir.file("FlashWrite.ini"), "[ports]\nCOM3=" + QFile::encodeName(device.slaveName()) +
                                                 "\nCOM4=" + QFile::encodeName(dir.file("no-such-tty")) +
                                                 "\n");
        qputenv("FLASHWRITE_EXIT_WHEN_DONE", "1");
    }
    QString newFirmware(const QString& project) const {
        return dir.file("PROJECTS/" + project + "/New_sx48316.sx");
    }
};

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void configuratorUpdatesDevice();
    void commandLineUpdatesDevice();
};

void TestEndToEnd::configuratorUpdatesDevice() {
    Installation installation;
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    FixedClock clock;
    const QString cwd = QDir::currentPath();
    TFTessalyeFirmWare window(installation.dir.path(),
                              GuiPlatform{messages, pickers, dialogs, [](const QUrl&) {}, clock});

    dialogs.script("TFsaveproj", [](QDialog& d) {
        QTest::keyClicks(d.findChild<QLineEdit*>("Edit1"), "Site1");
        QTest::mouseClick(d.findChild<QPushButton*>("bitbtn1"), Qt::LeftButton);
    });
    QTest::mouseClick(window.New, Qt::LeftButton);
    dialogs.script("TFpargen", [](QDialog& d) {
        auto& pargen = static_cast<TFpargen&>(d);
        retype(pargen.E_IP1, "192");
        retype(pargen.E_IP2, "168");
        retype(pargen.E_IP3, "0");
        retype(pargen.E_IP4, "10");
        QTest::mouseClick(pargen.bitbtn1, Qt::LeftButton);
    });
    QTest::mouseClick(window.btn_Prm_Gen, Qt::LeftButton);
    dialogs.script("TFModifyFileSx", [](QDialog& d) {
        auto& firmware = static_cast<TFModifyFileSx&>(d);
        firmware.cbport->setCurrentIndex(firmware.cbport->findText("COM3"));
        QTest::mouseClick(firmware.LbButton2, Qt::LeftButton);
    });
    QTest::mouseClick(window.CreateBin, Qt::LeftButton);
    QDir::setCurrent(cwd);

    QCOMPARE(messages.shown, QStringList());
    QCOMPARE(dialogs.ran, (QStringList{"TFsaveproj", "TFpargen", "TFModifyFileSx"}));
    const QByteArray firmware = readAll(installation.newFirmware("Site1"));
    QVERIFY(firmware.size() > 500000);
    const CliRun inspect = runCli({"inspect", installation.newFirmware("Site1")});
    QCOMPARE(inspect.exitCode, 0);
    QVERIFY2(inspect.out.startsWith("ip=192.168.0.10\n"), qPrintable(inspect.out));
    // The tool runs on its own; the device receives the new firmware's records.
    QCOMPARE(receive(installation.device, firmware.size()), firmware);
}

void TestEndToEnd::commandLineUpdatesDevice() {
    Installation installation;
    const QString program = installation.dir.path();
    QCOMPARE(runCli({"--program-dir", program, "new", "Site2"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", program, "set", "--project", "Site2", "ip=10.1.2.3"}).exitCode, 0);

    // The map the tool follows, as the user is shown it.
    const QString slave = installation.device.slaveName();
    const CliRun ports = runCli({"--program-dir", program, "ports"});
    QCOMPARE(ports.exitCode, 0);
    QVERIFY2(ports.out.contains("\nCOM3\t" + slave + "\t-\tFlashWrite.ini\n"), qPrintable(ports.out));
    QVERIFY2(
        ports.out.contains("\nCOM4\t" + installation.dir.file("no-such-tty") + "\tmissing\tFlashWrite.ini\n"),
        qPrintable(ports.out));

    // The device named by its path goes through the same map: COM3 for the tool.
    QByteArray received;
    const CliRun update = runCliWithDevice(
        {"--program-dir", program, "update", "--project", "Site2", "--port", slave, "--wait"},
        installation.device, received);
    QCOMPARE(update.exitCode, 0);
    QVERIFY2(update.out.contains("records sent to COM3"), qPrintable(update.out + update.err));
    QVERIFY2(update.err.contains("COM3 opened: " + slave + " [FlashWrite.ini]"), qPrintable(update.err));
    const QByteArray firmware = readAll(installation.newFirmware("Site2"));
    QCOMPARE(received, firmware);
    QVERIFY(runCli({"inspect", installation.newFirmware("Site2")}).out.startsWith("ip=10.1.2.3\n"));

    // The tool's own refusal comes back as the exit status and its message.
    const CliRun unmapped =
        runCli({"--program-dir", program, "flash", "--project", "Site2", "--port", "COM4", "--wait"});
    QVERIFY(unmapped.exitCode > 0);
    QVERIFY2(unmapped.err.startsWith("Warning: COM4 leads to no serial port"), qPrintable(unmapped.err));
    QVERIFY2(unmapped.err.contains("Cannot open COM4"), qPrintable(unmapped.err));

    QVERIFY(QFile::remove(installation.dir.file("FlashWrite.exe")));
    const CliRun missing =
        runCli({"--program-dir", program, "update", "--project", "Site2", "--port", "COM3", "--wait"});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.err.contains("FlashWrite.exe Not Found, Procedure Aborted"));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
