#include "app/MainWindow.h"
#include "documents/GeneralParameterDialog.h"
#include "documents/SnmpDialog.h"
#include "documents/ValidateGeneralParameters.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QByteArray DefaultDocument =
    "<General_Parameter><TCP_IP1>0</TCP_IP1><TCP_IP2>0</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>0</TCP_IP4>"
    "<TCP_SUB1>255</TCP_SUB1><TCP_SUB2>255</TCP_SUB2><TCP_SUB3>255</TCP_SUB3><TCP_SUB4>0</TCP_SUB4>"
    "<TCP_GAT1>0</TCP_GAT1><TCP_GAT2>0</TCP_GAT2><TCP_GAT3>0</TCP_GAT3><TCP_GAT4>0</TCP_GAT4>"
    "<TCP_PORT>502</TCP_PORT><SNMP_PUBLIC>harbor</SNMP_PUBLIC><SNMP_PRIVATE>granite</SNMP_PRIVATE>"
    "<BAUD>3</BAUD><PARITY>0</PARITY><TIME_OUT>1000</TIME_OUT><OFFSET>0</OFFSET><MODE>1</MODE>"
    "</General_Parameter>";

QByteArray defaultWith(const QByteArray& from, const QByteArray& to) {
    QByteArray document = DefaultDocument;
    return document.replace(from, to);
}

// A program directory whose last project, Plant1, exists.
struct Harness {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    FixedClock clock;
    ProgramDir dir;
    std::unique_ptr<TFTessalyeFirmWare> window;

    explicit Harness(const QByteArray& pargen = {}) {
        QDir().mkpath(dir.file("PROJECTS/Plant1/bin"));
        if (!pargen.isEmpty())
            writeAll(pargenFile(), pargen);
        writeAll(dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=Plant1\r\n");
        window = std::make_unique<TFTessalyeFirmWare>(
            dir.path(), GuiPlatform{messages, pickers, dialogs, [](const QUrl&) {}, clock});
    }
    QString pargenFile() const { return dir.file("PROJECTS/Plant1/pargen.xml"); }
    QByteArray pargen() const { return readAll(pargenFile()); }
    // Opens General Parameter with `script` driving the dialog.
    void generalParameter(std::function<void(TFpargen&)> script) {
        dialogs.script("TFpargen", [script](QDialog& dialog) { script(static_cast<TFpargen&>(dialog)); });
        QTest::mouseClick(window->btn_Prm_Gen, Qt::LeftButton);
    }
    QString pingAddress() const { return window->Edit1->text(); }
    bool translateEnabled() const { return window->btn_Translate->isEnabled(); }
};

// Types into whichever widget of `dialog` has the focus, one key at a time, as a user would.
void type(QDialog& dialog, const QString& keys) {
    for (const QChar key : keys) {
        QWidget* target = dialog.focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, key.toLatin1());
    }
}

// Replaces the text of a visible edit by typing.
void retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void ok(TFpargen& dialog) {
    QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
}
void cancel(TFpargen& dialog) {
    QTest::mouseClick(dialog.bitbtn2, Qt::LeftButton);
}
} // namespace

class TestPargenDialog : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void newProjectWritesDefaults();
    void requiresProject();
    void opensWithStoredValues();
    void parseErrorOpensWithDefaults();
    void fullStopWalk();
    void refusals_data();
    void refusals();
    void confirmWritesAndUpdatesMainWindow();
    void routingModeDisablesTranslateTable();
    void portTextThatDoesNotConvert();
    void advancedParameterThenCancel();
    void advancedParameterThenOk();
    void failedWriteKeepsDialogOpen();
};

void TestPargenDialog::controls() {
    Harness h;
    h.generalParameter([](TFpargen& d) {
        QCOMPARE(d.windowTitle(), QString("General Parameter"));
        QVERIFY(!d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        for (const char* name : {"E_IP1", "E_IP2", "E_IP3", "E_IP4", "E_SUB1", "E_SUB2", "E_SUB3", "E_SUB4",
                                 "SE_Port", "bitbtn1", "bitbtn2"})
            QVERIFY2(d.findChild<QWidget*>(name)->isVisible(), name);
        for (const char* name : {"E_GAT1", "E_GAT2", "E_GAT3", "E_GAT4", "LbButton1", "CB_Baud", "CB_Par",
                                 "E_Time", "E_Offset", "RG_Mode"})
            QVERIFY2(!d.findChild<QWidget*>(name)->isVisible(), name);
        QCOMPARE(d.LbButton1->text(), QString("Advanced Parameter"));
        QStringList rates;
        for (int i = 0; i < d.CB_Baud->count(); ++i)
            rates << d.CB_Baud->itemText(i);
        QCOMPARE(rates.join(' '), QString("1200 2400 4800 9600 19200 38400 57600 115200"));
        QCOMPARE(d.CB_Par->count(), 3);
        QCOMPARE(d.CB_Par->itemText(1), QString("ODD"));
        QCOMPARE(d.RB_Routing->text(), QString("Routing Mode"));
        QCOMPARE(d.RB_Nat->text(), QString("NAT Mode"));
        cancel(d);
    });
    QCOMPARE(h.window->Fpargen->result(), int(QDialog::Rejected));
    TFSNMP& snmp = *h.window->FSNMP;
    QCOMPARE(snmp.windowTitle(), QString("SNMP Community Name"));
    QCOMPARE(snmp.Label1->text(), QString("SNMP Community Name"));
    // 13 characters, whatever their UTF-16 length; a 14th is refused.
    const QString thirteen = QString(12, 'a') + QString::fromUtf8("\xF0\x9F\x98\x80");
    for (QLineEdit* edit : {snmp.Edit1, snmp.Edit2}) {
        edit->clear();
        edit->insert(thirteen);
        QCOMPARE(edit->text(), thirteen);
        edit->insert("b");
        QCOMPARE(edit->text(), thirteen);
    }
    const QList<QLabel*> labels = snmp.findChildren<QLabel*>();
    QCOMPARE(
        std::count_if(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == "[Max. 13 Chars]"; }),
        2);
    QCOMPARE(snmp.LbButton1->text(), QString("OK"));
    QCOMPARE(snmp.LbButton2->text(), QString("Cancel"));
    QCOMPARE(h.messages.shown, QStringList());
    QVERIFY(!QFileInfo::exists(h.pargenFile()));
}

void TestPargenDialog::newProjectWritesDefaults() {
    Harness h;
    h.window->btn_Translate->setEnabled(false);
    h.window->Edit1->setText("10.0.0.1");
    h.dialogs.script("TFsaveproj", [](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("Edit1"), "Plant2");
        QTest::mouseClick(dialog.findChild<QPushButton*>("bitbtn1"), Qt::LeftButton);
    });
    QTest::mouseClick(h.window->New, Qt::LeftButton);
    QCOMPARE(readAll(h.dir.file("PROJECTS/Plant2/pargen.xml")), DefaultDocument);
    QVERIFY(h.translateEnabled());
    QCOMPARE(h.pingAddress(), QString("0.0.0.0"));
    QCOMPARE(h.dialogs.ran, QStringList{"TFsaveproj"}); // the defaults are written without showing the dialog
    QCOMPARE(h.messages.shown, QStringList());
}

void TestPargenDialog::requiresProject() {
    Harness h;
    QVERIFY(QDir(h.dir.file("PROJECTS/Plant1")).removeRecursively());
    h.pickers.answers.push_back(QString()); // Open project cancelled: no project any more
    QTest::mouseClick(h.window->open, Qt::LeftButton);
    QCOMPARE(h.window->workspace().paths().ProjectDir, QString());
    QTest::mouseClick(h.window->btn_Prm_Gen, Qt::LeftButton);
    QCOMPARE(h.messages.shown, QStringList{"Project not valid"});
    QCOMPARE(h.dialogs.ran, QStringList());
}

void TestPargenDialog::opensWithStoredValues() {
    Harness h(defaultWith("<TCP_IP1>0</TCP_IP1>", "<TCP_IP1>010</TCP_IP1>")
                  .replace("<SNMP_PUBLIC>harbor</SNMP_PUBLIC>", "")
                  .replace("<PARITY>0</PARITY>", "<PARITY>3</PARITY>")
                  .replace("<MODE>1</MODE>", "<MODE>0</MODE>")
                  .replace("<TCP_PORT>502</TCP_PORT>", "<TCP_PORT>1502</TCP_PORT>"));
    h.generalParameter([](TFpargen& d) {
        QCOMPARE(d.E_IP1->text(), QString("010"));
        QCOMPARE(d.E_SUB1->text(), QString("255"));
        QCOMPARE(d.SE_Port->value(), 1502);
        QCOMPARE(d.CB_Par->currentText(), QString("ODD"));
        QCOMPARE(d.CB_Baud->currentText(), QString("9600"));
        QVERIFY(d.RB_Routing->isChecked());
        retype(d.E_IP2, "99"); // not confirmed: the next opening starts from the document again
        cancel(d);
    });
    h.generalParameter([](TFpargen& d) {
        QCOMPARE(d.E_IP2->text(), QString("0"));
        QCOMPARE(d.enteredParameters().SNMP_PUBLIC, QString());
        QCOMPARE(d.enteredParameters().SNMP_PRIVATE, QString("granite"));
        ok(d);
    });
    // The confirm writes the missing community name as an empty element.
    QVERIFY(h.pargen().contains("<SNMP_PUBLIC></SNMP_PUBLIC><SNMP_PRIVATE>granite</SNMP_PRIVATE>"));
    QCOMPARE(h.messages.shown, QStringList());
}

void TestPargenDialog::parseErrorOpensWithDefaults() {
    Harness h("<General_Parameter><TCP_IP1>7</TCP_IP1>");
    h.generalParameter([](TFpargen& d) {
        QCOMPARE(d.E_IP1->text(), QString("0"));
        QCOMPARE(d.E_SUB3->text(), QString("255"));
        QCOMPARE(d.E_Time->text(), QString("1000"));
        QVERIFY(d.RB_Nat->isChecked());
        ok(d);
    });
    QCOMPARE(h.messages.errors.size(), 1);
    QVERIFY2(h.messages.errors[0].contains(h.pargenFile()), qPrintable(h.messages.errors[0]));
    QCOMPARE(h.pargen(), DefaultDocument);
}

void TestPargenDialog::fullStopWalk() {
    Harness h;
    h.generalParameter([](TFpargen& d) {
        QCOMPARE(d.focusWidget(), d.E_IP1);
        type(d, "192.168.0.10");
        QCOMPARE(d.E_IP1->text(), QString("192"));
        QCOMPARE(d.E_IP2->text(), QString("168"));
        QCOMPARE(d.E_IP3->text(), QString("0"));
        QCOMPARE(d.E_IP4->text(), QString("10"));
        QCOMPARE(d.focusWidget(), d.E_IP4);
        type(d, ".");
        QCOMPARE(d.E_IP4->text(), QString("10"));
        QCOMPARE(d.focusWidget(), d.E_IP4);

        d.E_SUB1->setFocus();
        d.E_SUB1->selectAll();
        type(d, "255.255.0.0.");
        QCOMPARE(d.enteredParameters().TCP_SUB3, QString("0"));
        QCOMPARE(d.E_SUB4->text(), QString("0"));
        QCOMPARE(d.focusWidget(), d.E_SUB4);

        // Other keys reach the edit: there is no digit filter.
        retype(d.E_IP1, "1a ");
        QCOMPARE(d.E_IP1->text(), QString("1a "));
        // The gateway cannot take the focus here, so its full stop only vanishes.
        QVERIFY(d.E_IP1KeyPress(d.E_GAT1, '.'));
        QVERIFY(!d.E_IP1KeyPress(d.E_GAT1, '5'));
        QCOMPARE(d.focusWidget(), d.E_SUB4);
        cancel(d);
    });
}

void TestPargenDialog::refusals_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("ping");
    QTest::newRow("IP 256") << "E_IP3"
                            << "256" << IpRangeMessage << "0.0.256.0";
    QTest::newRow("IP letter") << "E_IP1"
                               << "19x" << IpRangeMessage << "19x.0.0.0";
    QTest::newRow("IP trailing blank") << "E_IP4"
                                       << "1 " << IpRangeMessage << "0.0.0.1 ";
    QTest::newRow("mask empty") << "E_SUB2"
                                << "" << SubnetMaskRangeMessage << "0.0.0.0";
    QTest::newRow("mask 300") << "E_SUB4"
                              << "300" << SubnetMaskRangeMessage << "0.0.0.0";
    QTest::newRow("gateway (hidden)") << "E_GAT1"
                                      << "-1" << GatewayRangeMessage << "0.0.0.0";
    QTest::newRow("port 0") << "SE_Port"
                            << "0" << PortRangeMessage << "0.0.0.0";
    QTest::newRow("port 70000") << "SE_Port"
                                << "70000" << PortRangeMessage << "0.0.0.0";
    QTest::newRow("port -5") << "SE_Port"
                             << "-5" << PortRangeMessage << "0.0.0.0";
    QTest::newRow("time-out (hidden)") << "E_Time"
                                       << "65536" << TimeOutMessage << "0.0.0.0";
    QTest::newRow("offset (hidden)") << "E_Offset"
                                     << "x" << OffsetMessage << "0.0.0.0";
}

void TestPargenDialog::refusals() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, ping);
    Harness h(DefaultDocument);
    h.window->btn_Translate->setEnabled(false);
    h.generalParameter([&](TFpargen& d) {
        QWidget* widget = d.findChild<QWidget*>(field);
        if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
            spin->selectAll();
            QTest::keyClick(spin, Qt::Key_Delete);
            QTest::keyClicks(spin, text);
        } else if (widget->isVisible()) {
            retype(static_cast<QLineEdit*>(widget), text);
        } else {
            static_cast<QLineEdit*>(widget)->setText(text); // stored values the user cannot see
        }
        ok(d);
        QVERIFY(d.isVisible());
        QCOMPARE(d.findChild<QWidget*>(field)->property("text").toString(), text);
        if (widget->isVisible()) { // back to the refused field, its text ready to be typed over
            QCOMPARE(d.focusWidget(), widget);
            auto* edit = qobject_cast<QLineEdit*>(widget);
            QCOMPARE((edit ? edit : widget->findChild<QLineEdit*>())->selectedText(), text);
        }
        cancel(d);
    });
    QCOMPARE(h.messages.errors, QStringList{message});
    QCOMPARE(h.pingAddress(), ping);
    QCOMPARE(h.pargen(), DefaultDocument);
    QVERIFY(!h.translateEnabled());
}

void TestPargenDialog::confirmWritesAndUpdatesMainWindow() {
    Harness h;
    h.generalParameter([](TFpargen& d) {
        type(d, "192.168.0.10");
        retype(d.E_SUB3, "0");
        d.E_GAT1->setText("192");
        d.E_Time->setText(" 0100");
        d.CB_Baud->setCurrentIndex(7);
        d.CB_Par->setCurrentIndex(1);
        ok(d);
        QVERIFY(!d.isVisible());
    });
    QCOMPARE(h.window->Fpargen->result(), int(QDialog::Accepted));
    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(h.pingAddress(), QString("192.168.0.10"));
    QCOMPARE(
        h.pargen(),
        defaultWith("<TCP_IP1>0</TCP_IP1><TCP_IP2>0</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>0</TCP_IP4>",
                    "<TCP_IP1>192</TCP_IP1><TCP_IP2>168</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>10</TCP_IP4>")
            .replace("<TCP_SUB3>255</TCP_SUB3>", "<TCP_SUB3>0</TCP_SUB3>")
            .replace("<TCP_GAT1>0</TCP_GAT1>", "<TCP_GAT1>192</TCP_GAT1>")
            .replace("<BAUD>3</BAUD><PARITY>0</PARITY><TIME_OUT>1000</TIME_OUT>",
                     "<BAUD>7</BAUD><PARITY>3</PARITY><TIME_OUT> 0100</TIME_OUT>"));
}

void TestPargenDialog::routingModeDisablesTranslateTable() {
    Harness h(DefaultDocument);
    h.generalParameter([](TFpargen& d) {
        d.RB_Routing->setChecked(true);
        ok(d);
    });
    QVERIFY(!h.translateEnabled());
    QCOMPARE(h.pargen(), defaultWith("<MODE>1</MODE>", "<MODE>0</MODE>"));
    h.generalParameter([](TFpargen& d) {
        QVERIFY(d.RB_Routing->isChecked());
        d.RB_Nat->setChecked(true);
        ok(d);
    });
    QVERIFY(h.translateEnabled());
    QCOMPARE(h.pargen(), DefaultDocument);
}

void TestPargenDialog::portTextThatDoesNotConvert() {
    Harness h(DefaultDocument);
    h.generalParameter([](TFpargen& d) {
        d.SE_Port->selectAll();
        QTest::keyClicks(d.SE_Port, "$5DE");
        QCOMPARE(d.enteredParameters().TCP_PORT, 1502);
        d.SE_Port->selectAll();
        QTest::keyClicks(d.SE_Port, "abc");
        QCOMPARE(d.enteredParameters().TCP_PORT, 0);
        ok(d);
        QVERIFY(d.isVisible());
        cancel(d);
    });
    QCOMPARE(h.messages.errors, QStringList{PortRangeMessage});
    QCOMPARE(h.pargen(), DefaultDocument);
}

void TestPargenDialog::advancedParameterThenCancel() {
    Harness h(DefaultDocument);
    h.dialogs.script("TFSNMP", [](QDialog& dialog) {
        auto& snmp = static_cast<TFSNMP&>(dialog);
        QCOMPARE(snmp.Edit1->text(), QString("harbor"));
        QCOMPARE(snmp.Edit2->text(), QString("granite"));
        retype(snmp.Edit1, "public-name-too-long");
        QCOMPARE(snmp.Edit1->text(), QString("public-name-t"));
        QTest::mouseClick(snmp.LbButton1, Qt::LeftButton);
    });
    h.generalParameter([](TFpargen& d) {
        d.LbButton1->click();
        QCOMPARE(d.enteredParameters().SNMP_PUBLIC, QString("public-name-t"));
        cancel(d);
    });
    QCOMPARE(h.pargen(), DefaultDocument);
    h.dialogs.script("TFSNMP", [](QDialog& dialog) {
        auto& snmp = static_cast<TFSNMP&>(dialog);
        QCOMPARE(snmp.Edit1->text(), QString("harbor")); // the stored name again
        retype(snmp.Edit2, "ignored");
        QTest::mouseClick(snmp.LbButton2, Qt::LeftButton);
    });
    h.generalParameter([](TFpargen& d) {
        d.LbButton1Click();
        QCOMPARE(d.enteredParameters().SNMP_PRIVATE, QString("granite"));
        ok(d);
    });
    QCOMPARE(h.dialogs.ran, (QStringList{"TFpargen", "TFSNMP", "TFpargen", "TFSNMP"}));
    QCOMPARE(h.pargen(), DefaultDocument);
}

void TestPargenDialog::advancedParameterThenOk() {
    Harness h(DefaultDocument);
    h.dialogs.script("TFSNMP", [](QDialog& dialog) {
        auto& snmp = static_cast<TFSNMP&>(dialog);
        retype(snmp.Edit1, "plant&co");
        snmp.Edit2->setText("0123456789abcdef"); // longer than a user can type
        QTest::mouseClick(snmp.LbButton1, Qt::LeftButton);
    });
    h.generalParameter([](TFpargen& d) {
        d.LbButton1Click();
        ok(d);
    });
    QCOMPARE(
        h.pargen(),
        defaultWith("<SNMP_PUBLIC>harbor</SNMP_PUBLIC><SNMP_PRIVATE>granite</SNMP_PRIVATE>",
                    "<SNMP_PUBLIC>plant&amp;co</SNMP_PUBLIC><SNMP_PRIVATE>0123456789abc</SNMP_PRIVATE>"));
}

void TestPargenDialog::failedWriteKeepsDialogOpen() {
    Harness h(DefaultDocument);
    h.window->btn_Translate->setEnabled(false);
    const QString project = h.dir.file("PROJECTS/Plant1");
    h.generalParameter([&](TFpargen& d) {
        retype(d.E_IP1, "10");
        QVERIFY(QDir(project).removeRecursively());
        ok(d);
        QVERIFY(d.isVisible());
        QCOMPARE(d.E_IP1->text(), QString("10"));
        cancel(d);
    });
    QCOMPARE(h.messages.errors.size(), 1);
    QVERIFY2(h.messages.errors[0].startsWith("Cannot create file \"" + h.pargenFile() + "\". "),
             qPrintable(h.messages.errors[0]));
    QCOMPARE(h.pingAddress(), QString("0.0.0.0"));
    QVERIFY(!h.translateEnabled());
}

QTEST_MAIN(TestPargenDialog)
#include "tst_pargendialog.moc"
