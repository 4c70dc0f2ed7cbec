// On a 1024x600 screen with 144 dpi fonts, every window and picker fits the screen
// with all its commands. The offscreen platform is given that screen.
#include "app/MainWindow.h"
#include "platform/DialogRunner.h"
#include "platform/QtPickers.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

using namespace tessaly;
using namespace tessaly::test;

namespace {
// What does not fit on the screen: the window's frame, or one of its visible buttons.
QStringList outside(const QWidget& window) {
    QStringList found;
    const QRect available = window.screen()->availableGeometry();
    if (!available.contains(window.frameGeometry()))
        found << QStringLiteral("%1 at %2,%3 %4x%5")
                     .arg(window.objectName().isEmpty() ? QLatin1String(window.metaObject()->className())
                                                        : window.objectName())
                     .arg(window.frameGeometry().x())
                     .arg(window.frameGeometry().y())
                     .arg(window.frameGeometry().width())
                     .arg(window.frameGeometry().height());
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        if (!button->isVisible())
            continue;
        const QRect shown(button->mapToGlobal(QPoint(0, 0)), button->size());
        if (!available.contains(shown) || !window.geometry().contains(shown))
            found << button->text() + QStringLiteral(" cut off");
    }
    return found;
}

// Runs `open`, which shows a modal window, and looks at that window once it is up.
QStringList outsideOfModal(const std::function<void()>& open) {
    QStringList found;
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        QTest::qWait(50);
        seen = true;
        poll.stop();
        found << outside(*modal);
        // New project closes only through its Cancel.
        if (auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("bitbtn2")))
            cancel->click();
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    poll.start(20);
    open();
    if (!seen)
        found << QStringLiteral("no window was shown");
    return found;
}
} // namespace

class TestSmallScreen : public QObject {
    Q_OBJECT
private slots:
    void screenIsSmall();
    void windowsFit();
    void pickersFit();
};

void TestSmallScreen::screenIsSmall() {
    // 144 dpi scales everything by 1.5: the windows see 683x400.
    const QScreen* screen = QGuiApplication::primaryScreen();
    QCOMPARE(screen->devicePixelRatio(), 1.5);
    QCOMPARE(screen->geometry().size() * screen->devicePixelRatio(), QSize(1024, 600) + QSize(1, 0));
}

void TestSmallScreen::windowsFit() {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ModalDialogRunner dialogs;
    FixedClock clock;
    RecordingLauncher launcher;
    ProgramDir dir;
    writeAll(dir.file("MASTER/sx48316.sx"), "S9030000FC\r\n");
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1/bin")));
    writeAll(dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=Plant1\r\n");
    GuiPlatform platform{messages, pickers, dialogs, [](const QUrl&) {}, clock};
    platform.launcher = &launcher;
    TFTessalyeFirmWare window(dir.path(), platform);
    window.placeOnScreen();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList found = outside(window);
    for (QDialog* dialog : window.findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        found << outsideOfModal([&] { dialogs.run(*dialog); });
    QCOMPARE(found, QStringList());
}

void TestSmallScreen::pickersFit() {
    QWidget mainWindow;
    mainWindow.resize(400, 300);
    mainWindow.show();
    QtPickers pickers;
    pickers.setMainWindow(&mainWindow);
    ProgramDir dir;
    QStringList found = outsideOfModal(
        [&] { pickers.pickFolder(QStringLiteral("Select directory of project"), dir.path(), {}); });
    found << outsideOfModal(
        [&] { pickers.openFile(QStringLiteral("File Sx (*.Sx)"), QStringLiteral("*.Sx"), dir.path()); });
    QCOMPARE(found, QStringList());
}

int main(int argc, char* argv[]) {
    // One screen of 1024x600 at 144 dpi (fonts half again as large as at 96 dpi).
    // A relative name: the platform's options are split at colons, a drive letter's too.
    QTemporaryFile config(QStringLiteral("tst_smallscreen-XXXXXX.json"));
    if (!config.open())
        return 2;
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 600,
                                  "logicalDpi": 144, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM",
            "offscreen:configfile=" + QFile::encodeName(QDir::current().relativeFilePath(config.fileName())));
    QApplication application(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_smallscreen.moc"
