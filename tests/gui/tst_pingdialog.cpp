#include "app/MainWindow.h"
#include "app/PingDialog.h"
#include "tests/support/PingSupport.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {
struct Harness {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    ScriptedEcho echo;
    FixedClock clock;
    ProgramDir dir;

    std::unique_ptr<TFTessalyeFirmWare> start(IcmpEcho* icmpEcho) {
        GuiPlatform platform{messages, pickers, dialogs, [](const QUrl&) {}, clock};
        platform.icmpEcho = icmpEcho;
        return std::make_unique<TFTessalyeFirmWare>(dir.path(), platform);
    }
    std::unique_ptr<TFTessalyeFirmWare> start() { return start(&echo); }
};

struct Shown {
    QString caption, label;
    QStringList pictures; // the visible ones
    bool okClosed = false;
};

// Records what the ping dialog shows, then presses its OK.
ScriptedDialogs::Script readPingDialog(Shown& shown) {
    return [&shown](QDialog& dialog) {
        shown.caption = dialog.windowTitle();
        shown.label = dialog.findChild<QLabel*>("Label1")->text();
        for (const char* name : {"I_P_F", "I_P_NF", "I_P_E"}) {
            if (dialog.findChild<QLabel*>(name)->isVisible())
                shown.pictures << name;
        }
        QTest::mouseClick(dialog.findChild<QPushButton*>("LbButton1"), Qt::LeftButton);
        shown.okClosed = !dialog.isVisible() && dialog.result() == QDialog::Accepted;
    };
}
} // namespace

class TestPingDialog : public QObject {
    Q_OBJECT
private slots:
    void dialogAtStartup();
    void threeForms_data();
    void threeForms();
    void noProjectSendsNothing();
    void clickDuringTheWaitStartsNoSecondPing();
    void systemEchoFindsLoopback();
};

void TestPingDialog::dialogAtStartup() {
    Harness h;
    auto window = h.start();
    TFPing* dialog = window->FPing;
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QString("TFPing"));
    QCOMPARE(dialog->windowTitle(), QString("Ping!"));
    QCOMPARE(dialog->LbButton1->text(), QString("OK"));
    QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowSystemMenuHint));
    for (QLabel* picture : {dialog->I_P_F, dialog->I_P_NF, dialog->I_P_E})
        QVERIFY(!picture->pixmap().isNull());
    // The last of the windows created at start-up.
    QCOMPARE(window->findChildren<QDialog*>(Qt::FindDirectChildrenOnly).constLast(), dialog);
}

void TestPingDialog::threeForms_data() {
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("picture");
    QTest::newRow("found") << 72 << false << "Ping! Device Found!"
                           << "Device Found!"
                           << "I_P_F";
    QTest::newRow("not found") << 0 << false << "Ping! Device Not Found!"
                               << "Device Not Found!"
                               << "I_P_NF";
    QTest::newRow("error") << 0 << true << "Ping! Error!!!"
                           << "Error!!! Check the Ip Address"
                           << "I_P_E";
}

void TestPingDialog::threeForms() {
    QFETCH(int, bytes);
    QFETCH(bool, fails);
    QFETCH(QString, caption);
    QFETCH(QString, label);
    QFETCH(QString, picture);
    Harness h;
    auto window = h.start();
    window->Edit1->setText("192.168.0.10");
    if (fails)
        h.echo.behaviour = [](const IcmpEcho::ReplyHandler&) { throw IcmpEchoError("Cannot resolve"); };
    h.echo.bytes = bytes;
    // The dialog keeps its state between showings: a previous result must not show through.
    window->FPing->ShowPingResult(fails ? PingResultKind::Found : PingResultKind::Error, "old", "old");
    Shown shown;
    h.dialogs.script("TFPing", readPingDialog(shown));

    window->Btn_Ping->click();

    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(h.dialogs.ran, QStringList{"TFPing"});
    QCOMPARE(shown.caption, caption);
    QCOMPARE(shown.label, label);
    QCOMPARE(shown.pictures, QStringList{picture});
    QVERIFY(shown.okClosed);
    QCOMPARE(h.echo.requests.size(), 1);
    QCOMPARE(h.echo.requests[0].host, QString("192.168.0.10"));
    QCOMPARE(h.echo.requests[0].data, QString("192.168.0.10"));
    QCOMPARE(h.echo.requests[0].timeoutMs, 5000);
}

void TestPingDialog::noProjectSendsNothing() {
    Harness h;
    auto window = h.start();
    window->workspace().selectProjectDirectory(QString());
    window->Btn_Ping->click();
    QCOMPARE(h.messages.shown, QStringList{"Project not valid"});
    QVERIFY(h.echo.requests.isEmpty());
    QVERIFY(h.dialogs.ran.isEmpty());
}

void TestPingDialog::clickDuringTheWaitStartsNoSecondPing() {
    Harness h;
    auto window = h.start();
    // A click that arrives while the echo blocks is delivered by the wait loop.
    h.echo.behaviour = [&](const IcmpEcho::ReplyHandler& onReply) {
        if (h.echo.requests.size() == 1)
            QMetaObject::invokeMethod(window->Btn_Ping, &QPushButton::click, Qt::QueuedConnection);
        onReply(IcmpReplyStatus{64});
    };
    Shown shown;
    h.dialogs.script("TFPing", readPingDialog(shown));
    window->Btn_Ping->click();
    QCOMPARE(h.echo.requests.size(), 1);
    QCOMPARE(h.dialogs.ran, QStringList{"TFPing"});
    QCOMPARE(shown.label, QString("Device Found!"));
}

void TestPingDialog::systemEchoFindsLoopback() {
    if (!icmpSocketAllowed(IcmpSocketKind::Any))
        QSKIP("neither ICMP datagram nor raw sockets are permitted here");
    Harness h;
    auto window = h.start(nullptr);
    window->Edit1->setText("127.0.0.1");
    Shown shown;
    h.dialogs.script("TFPing", readPingDialog(shown));
    window->Btn_Ping->click();
    QCOMPARE(shown.caption, QString("Ping! Device Found!"));
    QCOMPARE(window->PingState(), 1);
}

QTEST_MAIN(TestPingDialog)
#include "tst_pingdialog.moc"
