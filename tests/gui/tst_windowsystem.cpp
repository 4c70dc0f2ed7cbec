// Runs under a real X server (Xvfb, with or without a window manager; see
// run-under-xvfb.sh) and reads what the window system shows, not windowTitle().
#include "app/ApplicationSetup.h"
#include "app/MainWindow.h"
#include "platform/DialogRunner.h"
#include "platform/QtMessages.h"
#include "platform/QtPickers.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QString Title = QStringLiteral("Corvanti Tessaly SW48316 TCP2Ravelle");

QString x11(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        qWarning("%s %s: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString shownCaption(const QWidget& window) {
    return x11(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window.winId())});
}

QString windowProperty(const QWidget& window, const QString& name) {
    return x11(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()), name});
}

// A real click through the X server at the middle of `widget`.
void click(const QWidget& widget) {
    const QPoint at = widget.mapToGlobal(widget.rect().center());
    x11(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
         QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// The window that has the keyboard focus, by its id.
WId focusedWindow() {
    return x11(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).toULongLong();
}

// Presses `keys` (xdotool's names) on whatever window has the focus, as a keyboard would.
void press(const QString& keys) {
    x11(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

// The main windows on the screen, by their caption.
QStringList mainWindows() {
    const QString found =
        x11(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--name"), QLatin1Char('^') + Title});
    return found.isEmpty() ? QStringList() : found.split(QLatin1Char('\n'));
}

// Gives the keyboard focus to the root window: no window of the program is active.
void focusRoot() {
    const QString root =
        x11(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--maxdepth"), QStringLiteral("0"), QString()})
            .section(QLatin1Char('\n'), 0, 0);
    x11(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), root});
}

template <typename T> T* shownModal() {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    return modal && modal->isVisible() && modal->windowHandle() && modal->windowHandle()->isExposed()
               ? modal
               : nullptr;
}

// Acts on the next modal dialog of type T once it is on screen: the caller then opens
// it, and the action runs inside the dialog's own loop.
template <typename T> void whenShown(std::function<void(T&)> action) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (T* dialog = shownModal<T>()) {
            poll->deleteLater();
            poll->stop();
            action(*dialog);
        }
    });
    poll->start(50);
}

// Steps that wait for their window and then act on it, polled from the event loop so
// that they go on inside the modal loops they open.
class Walk : public QObject {
public:
    using Step = std::function<bool()>; // true once it has acted
    explicit Walk(QList<Step> steps) : steps_(std::move(steps)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (next_ < steps_.size() && steps_[next_]())
                ++next_;
        });
        timer_.start(100);
    }
    bool finished() const { return next_ == steps_.size(); }
    qsizetype reached() const { return next_; }

private:
    QList<Step> steps_;
    qsizetype next_ = 0;
    QTimer timer_;
};

struct Program {
    ProgramDir dir;
    QtMessages messages;
    QtPickers pickers;
    ModalDialogRunner dialogs;
    FixedClock clock;
    std::unique_ptr<TFTessalyeFirmWare> window;

    void start() {
        configureApplication();
        window = std::make_unique<TFTessalyeFirmWare>(
            dir.path(), GuiPlatform{messages, pickers, dialogs, [](const QUrl&) {}, clock});
        messages.setMainWindow(window.get());
        pickers.setMainWindow(window.get());
        window->show();
    }
};
} // namespace

class TestWindowSystem : public QObject {
    Q_OBJECT
private slots:
    void captionsAndWindowType();
    void closingBoxesAndPickersKeepsTheProgram();
    void minimiseAllowedCloseLeftToX();
    void keyboardWorksWithoutClicking();
    void secondStartBringsTheFirstToFront();
};

void TestWindowSystem::captionsAndWindowType() {
    Program program;
    QVERIFY(QDir().mkpath(program.dir.file("PROJECTS/Plant1/bin")));
    writeAll(program.dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=\\Plant1\r\n");
    program.start();
    TFTessalyeFirmWare& main = *program.window;
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QCOMPARE(shownCaption(main), Title + QStringLiteral(" : \\Plant1"));
    // A normal window alone: a tool window lists NORMAL only as its fallback.
    QCOMPARE(windowProperty(main, QStringLiteral("_NET_WM_WINDOW_TYPE")),
             QStringLiteral("_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL"));
    QVERIFY(
        windowProperty(main, QStringLiteral("WM_CLASS")).endsWith(QStringLiteral("\"Firmware Tessaly\"")));

    // The other two forms: after New project, and with no project.
    whenShown<QDialog>([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("Plant2"));
        dialog.findChild<QPushButton*>(QStringLiteral("bitbtn1"))->click();
    });
    main.New->click();
    QCOMPARE(shownCaption(main), Title + QStringLiteral(" :Plant2"));
    program.window.reset();
    writeAll(program.dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=\\Gone\r\n");
    program.start();
    QVERIFY(QTest::qWaitForWindowExposed(program.window.get()));
    QCOMPARE(shownCaption(*program.window), Title);

    const std::pair<const char*, QString> dialogs[] = {
        {"TFsaveproj", QStringLiteral("New project")},
        {"TFpargen", QStringLiteral("General Parameter")},
        {"TFModifyFileSx", QStringLiteral("Generate Firmware")},
        {"TFAbout", QStringLiteral("About...")}};
    // Without a project some dialogs say so as they open: close those boxes.
    QTimer closer;
    connect(&closer, &QTimer::timeout, [] {
        if (QMessageBox* box = shownModal<QMessageBox>())
            box->button(QMessageBox::Ok)->click();
    });
    closer.start(50);
    for (const auto& [name, caption] : dialogs) {
        auto* dialog = program.window->findChild<QDialog*>(QLatin1String(name));
        QVERIFY2(dialog, name);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(shownCaption(*dialog), caption);
        dialog->hide();
    }
}

void TestWindowSystem::closingBoxesAndPickersKeepsTheProgram() {
    Program program;
    QVERIFY(QDir().mkpath(program.dir.file("PROJECTS")));
    program.start();
    TFTessalyeFirmWare& main = *program.window;
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    // A project, so that General Parameter opens.
    whenShown<QDialog>([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("Plant1"));
        dialog.findChild<QPushButton*>(QStringLiteral("bitbtn1"))->click();
    });
    main.New->click();

    QDialog* pargen = main.findChild<QDialog*>(QStringLiteral("TFpargen"));
    QStringList problems;
    QList<Walk::Step> steps{[&] {
        click(*main.btn_Prm_Gen);
        return true;
    }};
    for (int refusal = 0; refusal < 3; ++refusal) {
        steps << [&] {
            if (shownModal<QDialog>() != pargen)
                return false;
            pargen->findChild<QLineEdit*>(QStringLiteral("E_IP1"))->setText(QStringLiteral("300"));
            focusRoot();
            click(*pargen->findChild<QPushButton*>(QStringLiteral("bitbtn1")));
            return true;
        } << [&, refusal] {
            QMessageBox* box = shownModal<QMessageBox>();
            if (!box)
                return false;
            if (box->parentWidget() != pargen) // over its dialog, wherever the focus is
                problems << QStringLiteral("box %1 not over General Parameter").arg(refusal);
            focusRoot();
            click(*box->button(QMessageBox::Ok));
            return true;
        };
    }
    steps << [&] {
        if (shownModal<QDialog>() != pargen)
            return false;
        click(*pargen->findChild<QPushButton*>(QStringLiteral("bitbtn2")));
        return true;
    } << [&] {
        if (QApplication::activeModalWidget())
            return false;
        focusRoot();
        QTimer::singleShot(0, &main, [&] { main.open->click(); });
        return true;
    } << [&] {
        QFileDialog* picker = shownModal<QFileDialog>();
        if (!picker)
            return false;
        if (picker->parentWidget() != &main)
            problems << QStringLiteral("picker not over the main window");
        focusRoot();
        click(*picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));
        return true;
    } << [&] {
        // The next command still works.
        if (QApplication::activeModalWidget())
            return false;
        click(*main.about);
        return true;
    } << [&] {
        QDialog* about = shownModal<QDialog>();
        if (!about || about->objectName() != QLatin1String("TFAbout"))
            return false;
        click(*about->findChild<QPushButton*>(QStringLiteral("LbButton1")));
        return true;
    } << [&] {
        if (QApplication::activeModalWidget())
            return false;
        click(*main.LbButton1); // the main window's close ends the program
        return true;
    };
    Walk walk(steps);
    QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(2); });
    const int status = QApplication::exec();
    QVERIFY2(walk.finished(), qPrintable(QStringLiteral("the program ended at step %1").arg(walk.reached())));
    QCOMPARE(status, 0);
    QCOMPARE(problems, QStringList());
}

void TestWindowSystem::minimiseAllowedCloseLeftToX() {
    Program program;
    program.start();
    QVERIFY(QTest::qWaitForWindowExposed(program.window.get()));
    // flags, functions, decorations, ...: functions hold move and resize (0x6) and
    // minimise (0x8), never close (0x20): "X" closes.
    const QString hints =
        windowProperty(*program.window, QStringLiteral("_MOTIF_WM_HINTS")).section(QStringLiteral(" = "), 1);
    const QStringList fields = hints.split(QStringLiteral(", "));
    QVERIFY2(fields.size() >= 3, qPrintable(hints));
    bool ok = false;
    const qulonglong flags = fields[0].toULongLong(&ok, 16);
    const qulonglong functions = fields[1].toULongLong(&ok, 16);
    QVERIFY2(flags & 0x1, qPrintable(hints)); // the functions field counts
    QCOMPARE(functions & 0x2E, qulonglong(0xE));
    if (qEnvironmentVariable("TESSALY_TEST_WM") == QLatin1String("1")) {
        x11(QStringLiteral("xdotool"),
            {QStringLiteral("windowminimize"), QString::number(program.window->winId())});
        QTRY_VERIFY_WITH_TIMEOUT(program.window->isMinimized(), 5000);
    }
}

void TestWindowSystem::keyboardWorksWithoutClicking() {
    Program program;
    QVERIFY(QDir().mkpath(program.dir.file("PROJECTS")));
    focusRoot();
    program.start();
    TFTessalyeFirmWare& main = *program.window;
    QWidget* about = main.findChild<QDialog*>(QStringLiteral("TFAbout"));
    const auto hasKeyboard = [](const QWidget& window) { return focusedWindow() == window.winId(); };
    // Only keys from here on: at start, in the About box, and back after it.
    Walk walk({[&] {
                   if (!main.isVisible() || !hasKeyboard(main))
                       return false;
                   press(QStringLiteral("F1"));
                   return true;
               },
               [&] {
                   if (shownModal<QDialog>() != about || !hasKeyboard(*about))
                       return false;
                   press(QStringLiteral("Return"));
                   return true;
               },
               [&] {
                   if (QApplication::activeModalWidget() || !hasKeyboard(main))
                       return false;
                   press(QStringLiteral("ctrl+q"));
                   return true;
               }});
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(2); });
    const int status = QApplication::exec();
    QVERIFY2(walk.finished(),
             qPrintable(QStringLiteral("the keyboard stopped at step %1").arg(walk.reached())));
    QCOMPARE(status, 0);
}

void TestWindowSystem::secondStartBringsTheFirstToFront() {
    ProgramDir dir;
    const auto start = [&](QProcess& process) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TESSALY_EXE), {QStringLiteral("--program-dir"), dir.path()});
        QVERIFY(process.waitForStarted());
    };
    QProcess first;
    start(first);
    QTRY_COMPARE_WITH_TIMEOUT(mainWindows().size(), 1, 20000);
    const QString firstWindow = mainWindows().first();
    focusRoot();

    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(mainWindows(), QStringList{firstWindow});
    // The window manager hands it the keyboard. (Without one, the X server refuses a
    // focus request stamped with the first program's last event time, older than the
    // focus change since: the window is raised, the keyboard stays where it was.)
    if (qEnvironmentVariable("TESSALY_TEST_WM") == QLatin1String("1"))
        QTRY_COMPARE_WITH_TIMEOUT(QString::number(focusedWindow()), firstWindow, 5000);

    // A lock left by a program that was killed does not keep the next one out.
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QProcess third;
    start(third);
    QTRY_COMPARE_WITH_TIMEOUT(mainWindows().size(), 1, 20000);
    third.terminate();
    QVERIFY(third.waitForFinished(10000));
}

QTEST_MAIN(TestWindowSystem)
#include "tst_windowsystem.moc"
