#include "app/MainWindow.h"
#include "firmware/FirmwareDialog.h"
#include "firmware/FlashToolCall.h"
#include "platform/LocalText.h"
#include "tests/image/PargenText.h"
#include "tests/image/SRecordText.h"
#include "tests/support/ScriptedSerialPorts.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#ifdef Q_OS_UNIX
#include "tests/support/PseudoTerminal.h"
#endif

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QByteArray Terminator = "S9030000FC\r\n";

// A reference firmware: data before and after the bank 1 window, the window itself
// (erased) when `withWindow`, and a terminator.
QByteArray referenceFirmware(bool withWindow) {
    QByteArray text = "S00600004844521B\r\n" + sRecord('2', 0x380000, QByteArray(32, '\x11')) + "\r\n";
    if (withWindow)
        for (int k = 0; k < 0x4000; k += 32)
            text += sRecord('2', 0x388000 + k, QByteArray(32, '\xFF')) + "\r\n";
    return text + sRecord('2', 0x398000, QByteArray(32, '\x22')) + "\r\n" + Terminator;
}

QByteArray bankImage(char fill) {
    QByteArray bank(0x4000, fill);
    bank[0] = 0x5A;
    return bank;
}

struct Harness {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    FixedClock clock;
    RecordingLauncher launcher;
    ScriptedSerialPorts ports;
    ProgramDir dir;
    std::unique_ptr<TFTessalyeFirmWare> window;
    QString cwdBefore = QDir::currentPath();

    explicit Harness(bool withReference = true, bool withWindow = true, bool withTool = true) {
        if (withReference)
            writeAll(dir.file("MASTER/sx48316.sx"), referenceFirmware(withWindow));
        if (withTool)
            writeAll(dir.file("FlashWrite.exe"), "#!/bin/sh\n");
        project("Line3", bankImage('\x33'));
        writeAll(dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=\\Line3\r\n");
        GuiPlatform platform{messages, pickers, dialogs, [](const QUrl&) {}, clock};
        platform.launcher = &launcher;
        platform.serialPorts = &ports;
        window = std::make_unique<TFTessalyeFirmWare>(dir.path(), platform);
    }
    ~Harness() { QDir::setCurrent(cwdBefore); }

    void project(const QString& name, const QByteArray& bank) {
        writeAll(dir.file("PROJECTS/" + name + "/bin/bank1.bin"), bank);
    }
    TFModifyFileSx& dialog() { return *window->FModifyFileSx; }
    QString native(const QString& relative) const { return QDir::toNativeSeparators(dir.file(relative)); }

    // Shows the dialog through the hidden Generate Firmware command and lets `script` use it.
    void show(std::function<void(TFModifyFileSx&)> script = {}) {
        dialogs.script("TFModifyFileSx", [script](QDialog& d) {
            if (script)
                script(static_cast<TFModifyFileSx&>(d));
        });
        window->CreateSxClick();
    }
};

void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

QColor colourOf(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

QByteArray parameterFor(const QString& file, char port) {
    return '"' + QFile::encodeName(file) + "\"\xB6" + QByteArray(1, port);
}

} // namespace

class TestFirmwareDialog : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void showing_data();
    void showing();
    void updateFirmware_data();
    void updateFirmware();
    void hiddenFlashUsesOlderFile();
    void pathTheToolCannotReceive();
    void binDirectoryKept();
    void noProjectDirectory();
    void optionsToggleBankPanel();
    void openFirmware();
    void updateDeviceEndsInDialog();
    void portLabelFollowsPorts();
    void oneToolPerPort();
    void portLabelKeepsBothEnds();
};

void TestFirmwareDialog::controls() {
    Harness h;
    TFModifyFileSx& d = h.dialog();
    QCOMPARE(d.windowTitle(), QString("Generate Firmware"));
    QCOMPARE(d.cbport->count(), 8);
    QCOMPARE(d.cbport->itemText(7), QString("COM8"));
    QCOMPARE(d.LbButton2->text(), QString("&Execute update firmware"));
    QCOMPARE(d.ExeUpdateFir->text(), QString("Execute update firmware"));
    QCOMPARE(d.Options->text(), QString("Options>>"));
    QCOMPARE(d.GbBank->findChildren<QCheckBox*>().size(), 5);
    QCOMPARE(colourOf(&d), QColor(0xF8, 0xF7, 0xED)); // colour value 15595512
    // Created at start-up between the About box and the general parameter dialog.
    QStringList order;
    for (const QObject* child : h.window->children())
        order << child->objectName();
    QVERIFY(order.indexOf("TFAbout") < order.indexOf("TFModifyFileSx"));
    QVERIFY(order.indexOf("TFModifyFileSx") < order.indexOf("TFpargen"));
}

void TestFirmwareDialog::showing_data() {
    QTest::addColumn<bool>("withReference");
    QTest::newRow("reference firmware present") << true;
    QTest::newRow("reference firmware missing") << false;
}

void TestFirmwareDialog::showing() {
    QFETCH(bool, withReference);
    Harness h(withReference);
    bool visibleOnScreen = false;
    h.show([&](TFModifyFileSx& d) {
        visibleOnScreen = !d.LbButton1->isHidden() && !d.cbport->isHidden() && !d.Avanzamento->isHidden() &&
                          d.NewFileSx->isHidden() && d.GbBank->isHidden() && d.ExeModFileSx->isHidden();
        d.cbport->setCurrentIndex(4);
        d.Cbbank1->setChecked(false);
    });
    TFModifyFileSx& d = h.dialog();
    QVERIFY(visibleOnScreen);
    QCOMPARE(d.LbButton2->isEnabled(), withReference);
    QCOMPARE(h.messages.errors,
             withReference ? QStringList() : QStringList{"Error file sx48316.sx not found"});
    QCOMPARE(d.BinDirectory, h.native("PROJECTS/Line3/bin/"));
    QCOMPARE(d.OutputName, withReference ? QString("New_sx48316.sx") : QString());
    QCOMPARE(d.OutputDirectory, withReference ? h.native("PROJECTS/Line3/") : QString());
    if (withReference)
        QCOMPARE(QDir::currentPath(), QDir(h.dir.file("MASTER")).canonicalPath());

    // Every showing resets the port, the bank boxes and the options.
    h.show();
    QCOMPARE(d.cbport->currentText(), QString("COM1"));
    QVERIFY(d.Cbbank1->isChecked() && d.Cbbank2->isChecked());
    QVERIFY(!d.Cbbank1->isHidden() && !d.Cbbank2->isHidden() && d.Cbbank3->isHidden() &&
            d.Cbbank5->isHidden());
    QCOMPARE(d.Options->text(), QString("Options >>"));
}

void TestFirmwareDialog::updateFirmware_data() {
    QTest::addColumn<bool>("withWindow");
    QTest::addColumn<bool>("withTool");
    QTest::addColumn<bool>("withBank");
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("marked");
    QTest::newRow("COM5") << true << true << true << 4 << QStringList() << true << false;
    QTest::newRow("COM1") << true << true << true << 0 << QStringList() << true << false;
    QTest::newRow("tool missing") << true << false << true << 2
                                  << QStringList{"FlashWrite.exe Not Found, Procedure Aborted"} << false
                                  << false;
    QTest::newRow("bank file missing")
        << true << true << false << 2 << QStringList{"File bank1.bin Not Found,Abort Procedure"} << false
        << false;
    QTest::newRow("no bank window") << false << true << true << 2
                                    << QStringList{"Bank 1 Not Inserted,Abort Procedure"} << false << true;
}

void TestFirmwareDialog::updateFirmware() {
    QFETCH(bool, withWindow);
    QFETCH(bool, withTool);
    QFETCH(bool, withBank);
    QFETCH(int, port);
    QFETCH(QStringList, shown);
    QFETCH(bool, started);
    QFETCH(bool, marked);
    Harness h(true, withWindow, withTool);
    const QString newFile = h.dir.file("PROJECTS/Line3/New_sx48316.sx");
    if (!withBank) {
        QFile::remove(h.dir.file("PROJECTS/Line3/bin/bank1.bin"));
        writeAll(newFile, "an older firmware\r\n"); // never to reach the device
    }
    h.show([&](TFModifyFileSx& d) {
        d.cbport->setCurrentIndex(port);
        click(d.LbButton2);
    });
    TFModifyFileSx& d = h.dialog();

    QCOMPARE(h.messages.shown, shown);
    QCOMPARE(colourOf(d.Cbbank1), marked ? QColor(255, 0, 0) : QColor(248, 247, 237));
    QVERIFY(d.ExeModFileSx->isEnabled());
    QCOMPARE(h.launcher.started.size(), started ? 1 : 0);
    if (started) {
        QCOMPARE(h.launcher.started[0].program, h.native("FlashWrite.exe"));
        QCOMPARE(h.launcher.started[0].parameter,
                 parameterFor(h.native("PROJECTS/Line3/New_sx48316.sx"), char('0' + port)));
    }
    if (withBank) {
        // The new firmware is composed whatever happens after.
        QByteArray expected = referenceFirmware(false);
        if (withWindow) {
            QByteArray records;
            const QByteArray bank = bankImage('\x33');
            for (int k = 0; k < bank.size(); k += 32)
                records += sRecord('2', 0x388000 + k, bank.mid(k, 32)) + "\r\n";
            expected.insert(expected.indexOf("S224398000"), records);
        }
        QCOMPARE(readAll(newFile), expected);
        QVERIFY(!QFileInfo::exists(h.dir.file("PROJECTS/Line3/bin/Bin.sx")));
        QCOMPARE(d.Avanzamento->value(), d.Avanzamento->maximum());
    }
}

void TestFirmwareDialog::hiddenFlashUsesOlderFile() {
    Harness h;
    writeAll(h.dir.file("PROJECTS/Line3/New_sx48316.sx"), referenceFirmware(true));
    h.show([](TFModifyFileSx& d) {
        d.cbport->setCurrentIndex(2);
        click(d.ExeUpdateFir);
    });
    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(h.launcher.started.size(), 1);
    QVERIFY(h.launcher.started[0].parameter.endsWith("\xB6"
                                                     "2"));

    // A tool that cannot be started is reported, not passed over.
    h.launcher.failure = "Cannot start FlashWrite.exe. Permission denied";
    h.show([](TFModifyFileSx& d) { click(d.ExeUpdateFir); });
    QCOMPARE(h.messages.errors, QStringList{*h.launcher.failure});
}

// A project folder the ANSI code page cannot name would reach the tool as a look-alike,
// another project's firmware: nothing is composed, nothing started.
void TestFirmwareDialog::pathTheToolCannotReceive() {
    Harness h;
    const QString name = QStringLiteral("\u03A9mega");
    h.project(name, bankImage('\x44'));
    h.pickers.answers.push_back(h.dir.file("PROJECTS/" + name));
    click(h.window->findChild<QPushButton*>("open"));
    h.show([](TFModifyFileSx& d) { click(d.LbButton2); });
    const QString firmware = h.native("PROJECTS/" + name + "/New_sx48316.sx");
#ifdef Q_OS_WIN
    QCOMPARE(h.messages.shown,
             QStringList{FlashToolPathNotInCodePageMessage.arg(firmware, "\u03A9", local8BitName())});
    QCOMPARE(h.launcher.started.size(), 0);
    QVERIFY(!QFileInfo::exists(firmware));
#else
    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(h.launcher.started.size(), 1);
    QCOMPARE(h.launcher.started[0].parameter, parameterFor(firmware, '0'));
#endif
}

void TestFirmwareDialog::binDirectoryKept() {
    Harness h;
    h.show();
    QDir(h.dir.file("PROJECTS/Other")).mkpath(".");
    h.pickers.answers.push_back(h.native("PROJECTS/Other"));
    QTest::mouseClick(h.window->open, Qt::LeftButton);
    h.show();
    QCOMPARE(h.dialog().BinDirectory, h.native("PROJECTS/Line3/bin/"));
    QCOMPARE(h.dialog().OutputDirectory, h.native("PROJECTS/Other/"));

    h.pickers.answers.push_back(h.native("PROJECTS/Line3"));
    h.show([](TFModifyFileSx& d) {
        d.OptionsClick();
        click(d.DirFileBin);
    });
    QCOMPARE(h.dialog().BinDirectory, h.native("PROJECTS/Line3/"));
    QCOMPARE(h.pickers.folderRequests.last().title, QString("Select Directory Bin"));
    QCOMPARE(h.pickers.folderRequests.last().root, h.native("PROJECTS/Other"));
}

void TestFirmwareDialog::noProjectDirectory() {
    Harness h;
    // The open project was removed and Open project cancelled: no project directory.
    QVERIFY(QDir(h.dir.file("PROJECTS/Line3")).removeRecursively());
    h.pickers.answers.push_back(QString());
    QTest::mouseClick(h.window->open, Qt::LeftButton);
    QVERIFY(h.window->workspace().paths().ProjectDir.isEmpty());
    h.show();
    QCOMPARE(h.messages.shown, QStringList{"Project not valid"});
    QVERIFY(!h.dialog().LbButton2->isEnabled());
    QCOMPARE(h.dialog().OutputDirectory, QString());
    QCOMPARE(h.dialog().ReferenceName, QString("sx48316.sx"));
}

void TestFirmwareDialog::optionsToggleBankPanel() {
    Harness h;
    QStringList captions;
    h.show([&](TFModifyFileSx& d) {
        for (int i = 0; i < 2; ++i) {
            click(d.Options);
            captions << d.Options->text() + (d.GbBank->isHidden() ? " hidden" : " shown") +
                            (d.DirFileBin->isHidden() ? " hidden" : " shown");
        }
    });
    QCOMPARE(captions, (QStringList{"<< Options shown shown", "Options >> hidden hidden"}));
}

void TestFirmwareDialog::openFirmware() {
    Harness h;
    writeAll(h.dir.file("elsewhere/other.Sx"), referenceFirmware(true));
    h.pickers.answers.push_back(QString());
    h.pickers.answers.push_back(h.native("elsewhere/other.Sx"));
    h.show([](TFModifyFileSx& d) {
        click(d.OpenFile); // cancelled
        QCOMPARE(d.ReferenceName, QString("sx48316.sx"));
        click(d.OpenFile);
        click(d.ExeModFileSx);
    });
    QCOMPARE(h.pickers.openFileRequests.first(), "File Sx (*.Sx)|*.Sx|" + h.native("MASTER"));
    QCOMPARE(h.dialog().ReferenceName, QString("other.Sx"));
    QCOMPARE(h.dialog().OutputName, QString("New_other.Sx"));
    QCOMPARE(QDir::currentPath(), QDir(h.dir.file("elsewhere")).canonicalPath());
    QVERIFY(QFileInfo(h.dir.file("PROJECTS/Line3/New_other.Sx")).isFile());
    QCOMPARE(h.launcher.started.size(), 0);
}

void TestFirmwareDialog::updateDeviceEndsInDialog() {
    Harness h;
    writeAll(h.dir.file("PROJECTS/Line3/pargen.xml"), pargenText());
    QFile::remove(h.dir.file("PROJECTS/Line3/bin/bank1.bin"));
    QTest::mouseClick(h.window->CreateBin, Qt::LeftButton);
    // Built, then shown: the merge picks up the new bank file.
    QCOMPARE(h.dialogs.ran, QStringList{"TFModifyFileSx"});
    QCOMPARE(readAll(h.dir.file("PROJECTS/Line3/bin/bank1.bin")).size(), 16384);
}

void TestFirmwareDialog::portLabelFollowsPorts() {
    Harness h;
    h.ports.list = {describedPort("ttyS0"),
                    describedPort("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", true,
                                  "FT232R USB UART", "FTDI")};
    // A serial device that is there; the ini file takes forward slashes. Windows
    // names its ports itself and takes any path.
#ifdef Q_OS_UNIX
    PseudoTerminal pty;
    const QString device = pty.slaveName();
#else
    const QString device = QDir::fromNativeSeparators(h.dir.file("device"));
    writeAll(device, {});
#endif
    writeAll(h.dir.file("FlashWrite.ini"), "[ports]\r\nCOM3=" + device.toUtf8() + "\r\n");
    QStringList seen;
    h.show([&](TFModifyFileSx& d) {
        QLabel* label = d.findChild<QLabel*>("LabelPort");
        QVERIFY(label && label->isVisible());
        seen << label->toolTip();
        d.cbport->setCurrentIndex(2);
        seen << label->toolTip();
        d.cbport->setCurrentIndex(0);
        // The adapter is unplugged while the dialog is open: the poll notices.
        h.ports.list.removeLast();
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString("/dev/ttyS0"), 5000);
        h.ports.list.clear();
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString("no port"), 5000);
        // The label warns; the flash step still hands COM1 to the tool.
        click(d.LbButton2);
    });
    QCOMPARE(seen, (QStringList{"/dev/ttyUSB0 — FT232R USB UART (FTDI)", device + " [FlashWrite.ini]"}));
    QCOMPARE(h.launcher.started.size(), 1);
    QVERIFY(h.launcher.started[0].parameter.endsWith("\xB6"
                                                     "0"));
}

void TestFirmwareDialog::oneToolPerPort() {
    Harness h;
    const QString newFile = h.dir.file("PROJECTS/Line3/New_sx48316.sx");
    const QString running =
        "The update on %1 is still running. Wait until FlashWrite.exe has ended, then try "
        "again.";
    h.show([&](TFModifyFileSx& d) {
        d.cbport->setCurrentIndex(2);
        click(d.LbButton2);
        QVERIFY(QFile::remove(newFile));
        click(d.LbButton2);                   // the second click of a double click: the tool still runs
        QVERIFY(!QFileInfo::exists(newFile)); // nothing composed under the running tool either
        click(d.ExeUpdateFir);
        d.cbport->setCurrentIndex(3); // another port is free
        click(d.LbButton2);
        *h.launcher.running[0] = false; // the tool on COM3 ends
        d.cbport->setCurrentIndex(2);
        click(d.LbButton2);
    });
    // The dialog does not wait for the tools, and a new showing does not forget them.
    h.show([&](TFModifyFileSx& d) {
        d.cbport->setCurrentIndex(3);
        click(d.LbButton2);
    });
    QCOMPARE(h.messages.shown, (QStringList{running.arg("COM3"), running.arg("COM3"), running.arg("COM4")}));
    QStringList ports;
    for (const auto& start : h.launcher.started)
        ports << QString(start.parameter.right(1));
    QCOMPARE(ports, (QStringList{"2", "3", "2"}));
}

void TestFirmwareDialog::portLabelKeepsBothEnds() {
    Harness h;
    const QString byId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    h.ports.list = {describedPort("ttyACM0", {}, true, "0043 (Arduino www.arduino.cc)", "Arduino"),
                    describedPort("ttyUSB0", byId, true, "FT232R USB UART", "FTDI")};
    writeAll(h.dir.file("FlashWrite.ini"), "[ports]\r\nCOM2=/dev/serial/by-id/" + byId.toUtf8() + "\r\n");
    QStringList shown, whole;
    h.show([&](TFModifyFileSx& d) {
        auto* label = d.findChild<QLabel*>("LabelPort");
        for (int index : {0, 1}) {
            d.cbport->setCurrentIndex(index);
            shown << label->text();
            whole << label->toolTip();
            // What is shown fits the label, however wide the text.
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        }
    });
    QCOMPARE(whole,
             (QStringList{"/dev/ttyACM0 — 0043 (Arduino www.arduino.cc)",
                          "/dev/serial/by-id/" + byId + " — FT232R USB UART (FTDI) [FlashWrite.ini]"}));
    // Cut in the middle: the start and the end stay in view, where the entry comes from whole.
    QVERIFY(shown[1] != whole[1]);
    for (int i : {0, 1}) {
        if (shown[i] == whole[i])
            continue;
        const qsizetype cut = shown[i].indexOf(QChar(0x2026));
        QVERIFY2(cut > 0 && cut < shown[i].size() - 1, qPrintable(shown[i]));
        QVERIFY(whole[i].startsWith(shown[i].left(cut)) && whole[i].endsWith(shown[i].mid(cut + 1)));
    }
    QVERIFY2(shown[1].endsWith(" [FlashWrite.ini]"), qPrintable(shown[1]));
}

QTEST_MAIN(TestFirmwareDialog)
#include "tst_firmwaredialog.moc"
