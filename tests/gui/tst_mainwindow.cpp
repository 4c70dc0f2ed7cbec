#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "tests/support/TestSupport.h"
#include "workspace/NewProjectDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QString Title = QStringLiteral("Corvanti Tessaly SW48316 TCP2Ravelle");

struct Harness {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    QList<QUrl> opened;
    FixedClock clock;
    ProgramDir dir;

    std::unique_ptr<TFTessalyeFirmWare> start() {
        return std::make_unique<TFTessalyeFirmWare>(
            dir.path(),
            GuiPlatform{messages, pickers, dialogs, [this](const QUrl& url) { opened << url; }, clock});
    }
};

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

// Types `name` into the new-project dialog and presses OK.
ScriptedDialogs::Script typeName(const QString& name) {
    return [name](QDialog& dialog) {
        QLineEdit* edit = dialog.findChild<QLineEdit*>("Edit1");
        QVERIFY(edit->text().isEmpty());
        QTest::keyClicks(edit, name);
        QTest::mouseClick(dialog.findChild<QPushButton*>("bitbtn1"), Qt::LeftButton);
    };
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void translateButtonAtStartup_data();
    void translateButtonAtStartup();
    void newProjectThroughDialog();
    void newProjectRefusedKeepsDialogOpen();
    void newProjectCancel();
    void openProjectUpdatesCaption();
    void closeWritesSettings();
    void closeWithUnwritableSettingsStillCloses();
    void aboutAndLinks();
};

void TestMainWindow::controls() {
    Harness h;
    auto window = h.start();
    window->show();
    QCOMPARE(window->windowTitle(), Title);
    struct Expect {
        const char* name;
        const char* text;
        bool visible;
    };
    const Expect buttons[] = {
        {"New", "&New project", true},         {"open", "&Open project", true},
        {"btn_Prm_Gen", "&General Parameter", true}, {"btn_Translate", "&Translate Table", false},
        {"CreateBin", "&Update Device", true}, {"CreateSx", "Generate Firmware", false},
        {"Btn_Ping", "Ping Device", false},    {"about", "About", true},
        {"LbButton1", "X", true},
    };
    for (const Expect& e : buttons) {
        auto* button = child<QPushButton>(*window, e.name);
        QCOMPARE(button->text(), QString(e.text));
        QVERIFY2(button->isVisible() == e.visible, e.name);
    }
    QCOMPARE(child<QLabel>(*window, "Label1")->text(), QString("Step 1"));
    QCOMPARE(child<QLabel>(*window, "Label2")->text(), QString("Step 2"));
    QCOMPARE(child<QLabel>(*window, "Label3")->text(), QString("Step 3"));
    QCOMPARE(child<QLabel>(*window, "Labelstate")->text(), QString("---"));
    QVERIFY(!child<QLabel>(*window, "Labelstate")->isVisible());
    QCOMPARE(child<QLineEdit>(*window, "Edit1")->text(), QString("0.0.0.0"));
    QVERIFY(child<QPushButton>(*window, "btn_Translate")->isEnabled());
    QCOMPARE(window->windowType(), Qt::Window); // a task-bar entry, not a tool window
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

void TestMainWindow::translateButtonAtStartup_data() {
    QTest::addColumn<QByteArray>("pargen");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("routing") << QByteArray("<General_Parameter><MODE>0</MODE></General_Parameter>") << false;
    QTest::newRow("nat") << QByteArray("<General_Parameter><MODE>1</MODE></General_Parameter>") << true;
    QTest::newRow("broken") << QByteArray("<General_Parameter><MODE>0</MODE>") << true;
}

void TestMainWindow::translateButtonAtStartup() {
    QFETCH(QByteArray, pargen);
    QFETCH(bool, enabled);
    Harness h;
    writeAll(h.dir.file("PROJECTS/P/pargen.xml"), pargen);
    writeAll(h.dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=P\r\n");
    auto window = h.start();
    QCOMPARE(window->windowTitle(), Title + " : \\P");
    QCOMPARE(child<QPushButton>(*window, "btn_Translate")->isEnabled(), enabled);
    QCOMPARE(h.messages.shown, QStringList());
}

void TestMainWindow::newProjectThroughDialog() {
    Harness h;
    auto window = h.start();
    h.dialogs.script("TFsaveproj", typeName("Plant2"));
    QTest::mouseClick(child<QPushButton>(*window, "New"), Qt::LeftButton);
    QCOMPARE(h.dialogs.ran, QStringList{"TFsaveproj"});
    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(window->Fsaveproj->windowTitle(), QString("New project"));
    QCOMPARE(window->Fsaveproj->result(), int(QDialog::Accepted));
    QVERIFY(QFileInfo(h.dir.file("PROJECTS/Plant2/bin")).isDir());
    QCOMPARE(window->windowTitle(), Title + " :Plant2");
}

void TestMainWindow::newProjectRefusedKeepsDialogOpen() {
    Harness h;
    QVERIFY(QDir().mkpath(h.dir.file("PROJECTS/Plant1")));
    auto window = h.start();
    h.dialogs.script("TFsaveproj", [](QDialog& dialog) {
        auto* ok = dialog.findChild<QPushButton*>("bitbtn1");
        auto* edit = dialog.findChild<QLineEdit*>("Edit1");
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QTest::keyClicks(edit, "Plant1");
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(edit->text(), QString("Plant1"));
        QTest::keyClick(&dialog, Qt::Key_Escape); // refused: the last OK did not allow closing
        QVERIFY(dialog.isVisible());
        edit->setText("Plant9");
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    });
    QTest::mouseClick(child<QPushButton>(*window, "New"), Qt::LeftButton);
    QCOMPARE(h.messages.shown,
             (QStringList{"Name project not valid", "Name project not valid because directory already exists"}));
    QCOMPARE(window->windowTitle(), Title + " :Plant9");
}

void TestMainWindow::newProjectCancel() {
    Harness h;
    QVERIFY(QDir().mkpath(h.dir.file("PROJECTS/Plant1")));
    writeAll(h.dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=Plant1\r\n");
    auto window = h.start();
    QCOMPARE(window->windowTitle(), Title + " : \\Plant1");
    h.dialogs.script("TFsaveproj", [](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("Edit1"), "Other");
        QTest::mouseClick(dialog.findChild<QPushButton*>("bitbtn2"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(*window, "New"), Qt::LeftButton);
    QCOMPARE(window->Fsaveproj->result(), int(QDialog::Rejected));
    QCOMPARE(window->windowTitle(), Title + " :\\Plant1");
    QVERIFY(!QFileInfo::exists(h.dir.file("PROJECTS/Other")));
}

void TestMainWindow::openProjectUpdatesCaption() {
    Harness h;
    QVERIFY(QDir().mkpath(h.dir.file("PROJECTS/Plant1")));
    auto window = h.start();
    h.pickers.answers.push_back(h.dir.file("PROJECTS/Plant1"));
    QTest::mouseClick(child<QPushButton>(*window, "open"), Qt::LeftButton);
    QCOMPARE(window->windowTitle(), Title + " :\\Plant1");
}

void TestMainWindow::closeWritesSettings() {
    Harness h;
    auto window = h.start();
    h.dialogs.script("TFsaveproj", typeName("Plant2"));
    QTest::mouseClick(child<QPushButton>(*window, "New"), Qt::LeftButton);
    window->show();
    QTest::mouseClick(child<QPushButton>(*window, "LbButton1"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(readAll(h.dir.file("Tessaly.ini")), QByteArray("[lastproj]\r\nprojectname=Plant2\r\n"));
}

void TestMainWindow::closeWithUnwritableSettingsStillCloses() {
    Harness h;
    auto window = h.start();
    QVERIFY(QDir().mkdir(h.dir.file("Tessaly.ini")));
    window->show();
    QVERIFY(window->close());
    QCOMPARE(h.messages.errors.size(), 1);
    QVERIFY2(h.messages.errors[0].startsWith("Unable to write to " + h.dir.file("Tessaly.ini") +
                                             "\nCannot create file"),
             qPrintable(h.messages.errors[0]));
}

void TestMainWindow::aboutAndLinks() {
    Harness h;
    auto window = h.start();
    h.dialogs.script("TFAbout", [](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QString("About..."));
        QCOMPARE(dialog.findChild<QLabel*>("Label1")->text(), QString("Tessaly SW52904"));
        QCOMPARE(dialog.findChild<QLabel*>("Label2")->text(), QString("CAN to Modbus TCP Slave"));
        QCOMPARE(dialog.findChild<QLabel*>("Label3")->text(), QString("Version 1.001"));
        QVERIFY(dialog.findChild<QLabel*>("Label4")->isVisible());
        QVERIFY(!dialog.findChild<QLabel*>("Label5")->isVisible());
        static_cast<TFAbout&>(dialog).Label4Click();
        static_cast<TFAbout&>(dialog).Label5Click();
        QTest::mouseClick(dialog.findChild<QPushButton*>("LbButton1"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(*window, "about"), Qt::LeftButton);
    QCOMPARE(window->FAbout->result(), int(QDialog::Accepted));
    window->Label6Click();
    QCOMPARE(h.opened.size(), 3);
    QCOMPARE(h.opened[0], h.opened[2]);
    QCOMPARE(h.opened[1].scheme(), QString("mailto"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
