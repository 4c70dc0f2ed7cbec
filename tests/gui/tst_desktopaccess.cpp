// What people with other palettes, keyboards and screen readers meet in every window:
// the contrast of each text, a focus mark on each focus stop, the names and roles
// that assistive technology reads, and keys that do not clash.
#include "app/AboutDialog.h"
#include "app/ApplicationSetup.h"
#include "app/MainWindow.h"
#include "documents/GeneralParameterDialog.h"
#include "firmware/FirmwareDialog.h"
#include "platform/Contrast.h"
#include "tests/image/SRecordText.h"
#include "tests/support/ScriptedSerialPorts.h"
#include "tests/support/TestSupport.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

// A project, a reference firmware without a bank 1 window (so that a compose pass
// marks the bank box) and the tool: every dialog opens as a user sees it.
struct Harness {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    FixedClock clock;
    RecordingLauncher launcher;
    ScriptedSerialPorts ports;
    QList<QUrl> opened;
    ProgramDir dir;
    std::unique_ptr<TFTessalyeFirmWare> window;
    QString cwdBefore = QDir::currentPath();

    Harness() {
        writeAll(dir.file("MASTER/sx48316.sx"),
                 sRecord('2', 0x380000, QByteArray(32, '\x11')) + "\r\nS9030000FC\r\n");
        writeAll(dir.file("FlashWrite.exe"), "#!/bin/sh\n");
        writeAll(dir.file("PROJECTS/Plant1/bin/bank1.bin"), QByteArray(0x4000, '\x33'));
        writeAll(dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=Plant1\r\n");
        GuiPlatform platform{messages, pickers, dialogs, [this](const QUrl& url) { opened << url; }, clock};
        platform.launcher = &launcher;
        platform.serialPorts = &ports;
        window = std::make_unique<TFTessalyeFirmWare>(dir.path(), platform);
    }
    ~Harness() { QDir::setCurrent(cwdBefore); }

    // The main window and every dialog, each shown (and active) while `check` looks at it.
    void eachWindow(const std::function<void(QWidget&)>& check) {
        QList<QWidget*> windows{window.get()};
        for (QDialog* dialog : window->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
            windows << dialog;
        window->show();
        for (QWidget* shown : windows) {
            shown->show();
            shown->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), shown);
            check(*shown);
            if (shown != window.get())
                shown->hide();
        }
    }
};

// The widgets of `window` that the keyboard can reach with Tab.
QList<QWidget*> focusStops(QWidget& window) {
    QList<QWidget*> stops;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && !widget->focusProxy() &&
            (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->window() == &window)
            stops << widget;
    }
    return stops;
}

QString describe(const QWidget& widget) {
    return widget.window()->objectName() + QLatin1Char('/') + widget.objectName() + QLatin1Char(' ') +
           QLatin1String(widget.metaObject()->className());
}

// The colour behind `widget`: the first of it and its parents that fills its background.
QColor backgroundOf(const QWidget& widget) {
    for (const QWidget* w = &widget; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow())
            return w->palette().color(w->backgroundRole());
    }
    return {};
}

struct TextColours {
    QColor text, background;
};

// The colours a widget draws its text in, by the roles the style takes them from.
std::optional<TextColours> textColours(const QWidget& widget) {
    const QPalette& p = widget.palette();
    if (auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->text().isEmpty())
            return std::nullopt;
        return TextColours{p.color(label->foregroundRole()), backgroundOf(widget)};
    }
    if (qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QAbstractSpinBox*>(&widget))
        return TextColours{p.color(QPalette::Text), p.color(QPalette::Base)};
    if (auto* button = qobject_cast<const QPushButton*>(&widget)) {
        if (button->isFlat())
            return TextColours{p.color(QPalette::ButtonText), backgroundOf(widget)};
        return TextColours{p.color(QPalette::ButtonText), p.color(QPalette::Button)};
    }
    if (qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget) ||
        qobject_cast<const QGroupBox*>(&widget))
        return TextColours{p.color(widget.foregroundRole()), backgroundOf(widget)};
    if (auto* combo = qobject_cast<const QComboBox*>(&widget); combo && !combo->isEditable())
        return TextColours{p.color(QPalette::ButtonText), p.color(QPalette::Button)};
    return std::nullopt;
}

QPalette schemePalette(const QColor& window, const QColor& text, const QColor& base, const QColor& button,
                       const QColor& highlight, const QColor& link) {
    QPalette p(button, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, base);
    p.setColor(QPalette::Link, link);
    p.setColor(QPalette::LinkVisited, link);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    return p;
}

} // namespace

class TestDesktopAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QApplication::setStyle(QStringLiteral("Fusion"));
        configureApplication();
    }
    void palettes_data();
    void palettes();
    void focusMarks();
    void linkIsOneStopThatOpensOnEnter();
    void accessibleNames();
    void firmwareDialogKeys();
};

void TestDesktopAccess::palettes_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QApplication::style()->standardPalette();
    // qt6ct's "darker" scheme (its link colour reads at 4.1:1 only), and two
    // high-contrast ones.
    QTest::newRow("dark") << schemePalette(QColor(0x22, 0x20, 0x20), Qt::white, QColor(0x3D, 0x3D, 0x3D),
                                           QColor(0x42, 0x42, 0x45), QColor(0x12, 0x60, 0x8A),
                                           QColor(0x09, 0x86, 0xD3));
    QTest::newRow("high contrast dark")
        << schemePalette(Qt::black, Qt::white, Qt::black, Qt::black, Qt::cyan, Qt::yellow);
    QTest::newRow("high contrast light")
        << schemePalette(Qt::white, Qt::black, Qt::white, Qt::white, QColor(0, 0, 0x99), QColor(0, 0, 0xCC));
}

void TestDesktopAccess::palettes() {
    QFETCH(QPalette, palette);
    const QPalette before = QApplication::palette();
    Harness h; // the scheme changes while the windows exist, as a desktop may change it
    QApplication::setPalette(palette);
    QStringList unreadable;
    const auto check = [&](const QWidget& widget, const TextColours& colours) {
        if (contrastRatio(colours.text, colours.background) < MinimumTextContrast)
            unreadable << QStringLiteral("%1: %2 on %3 (%4:1)")
                              .arg(describe(widget), colours.text.name(), colours.background.name())
                              .arg(contrastRatio(colours.text, colours.background), 0, 'f', 2);
    };
    h.dialogs.script("TFModifyFileSx", [&](QDialog& d) {
        auto& dialog = static_cast<TFModifyFileSx&>(d);
        dialog.OptionsClick();
        dialog.ExeModFileSx->click(); // no bank window: the bank 1 box turns red
        QCOMPARE(dialog.Cbbank1->palette().color(QPalette::Window), QColor(255, 0, 0));
        check(*dialog.Cbbank1, *textColours(*dialog.Cbbank1));
    });
    h.window->CreateSxClick();
    h.eachWindow([&](QWidget& window) {
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (!widget->isVisible())
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget);
                label && label->text().contains(QLatin1String("color")))
                unreadable << describe(*widget) + QStringLiteral(" sets its own colour");
            if (const auto colours = textColours(*widget))
                check(*widget, *colours);
        }
    });
    QApplication::setPalette(before);
    QCOMPARE(unreadable.join(QLatin1Char('\n')), QString());
}

void TestDesktopAccess::focusMarks() {
    Harness h;
    QStringList unmarked;
    h.eachWindow([&](QWidget& window) {
        // As after a Tab: the styles mark the focus of a keyboard user.
        window.setAttribute(Qt::WA_KeyboardFocusChange);
        const QList<QWidget*> stops = focusStops(window);
        for (QWidget* stop : stops) {
            stop->setFocus(Qt::TabFocusReason);
            QVERIFY2(stop->hasFocus(), qPrintable(describe(*stop)));
            const QImage focused = stop->grab().toImage();
            window.setFocus(Qt::OtherFocusReason); // focus on the window itself: on no stop
            const QImage unfocused = stop->grab().toImage();
            if (focused == unfocused)
                unmarked << describe(*stop);
        }
    });
    QCOMPARE(unmarked.join(QLatin1Char('\n')), QString());
}

void TestDesktopAccess::linkIsOneStopThatOpensOnEnter() {
    Harness h;
    QStringList stopsAfterClose;
    h.eachWindow([&](QWidget& window) {
        if (&window != h.window.get())
            return;
        h.window->LbButton1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(h.window->LbButton1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.window->Label6);
        QTest::keyClick(h.window->Label6, Qt::Key_Return);
        QTest::keyClick(h.window->Label6, Qt::Key_Tab); // straight on to the next stop
        QVERIFY(QApplication::focusWidget() != h.window->Label6);
    });
    QCOMPARE(h.opened, QList<QUrl>{QUrl("https://www.corvanti.example/")});
    // The About box opens on OK, not on its link.
    h.dialogs.script("TFAbout", [](QDialog& about) {
        QCOMPARE(about.focusWidget(), about.findChild<QPushButton*>("LbButton1"));
    });
    h.window->aboutClick();
}

void TestDesktopAccess::accessibleNames() {
    Harness h;
    QStringList problems;
    h.eachWindow([&](QWidget& window) {
        QHash<QString, QString> names; // name -> control
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            const QAccessible::State state = node->state();
            auto* widget = qobject_cast<QWidget*>(node->object());
            if (widget && state.focusable && !state.invisible) {
                const QString name = node->text(QAccessible::Name);
                if (name.size() < 2)
                    problems << describe(*widget) + QStringLiteral(" is named \"%1\"").arg(name);
                else if (names.contains(name))
                    problems << describe(*widget) +
                                    QStringLiteral(" shares \"%1\" with %2").arg(name, names[name]);
                names.insert(name, widget->objectName());
            }
            for (int i = 0; i < node->childCount(); ++i)
                walk(node->child(i));
        };
        walk(QAccessible::queryAccessibleInterface(&window));
    });
    QCOMPARE(problems.join('\n'), QString());

    const auto nameOf = [](QObject* object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    };
    const auto roleOf = [](QObject* object) { return QAccessible::queryAccessibleInterface(object)->role(); };
    TFTessalyeFirmWare& main = *h.window;
    QCOMPARE(roleOf(&main), QAccessible::Window);
    QCOMPARE(nameOf(main.LbButton1), QString("Close"));
    QCOMPARE(roleOf(main.Label6), QAccessible::Link);
    QVERIFY(QAccessible::queryAccessibleInterface(main.Label6)->hyperlinkInterface());
    QCOMPARE(nameOf(main.findChild<QGroupBox*>("Step1")), QString("Step 1: choose a project"));
    QCOMPARE(nameOf(main.Fpargen->E_IP1), QString("IP address, part 1 of 4"));
    QCOMPARE(nameOf(main.Fpargen->E_SUB3), QString("Subnet mask, part 3 of 4"));
    TFModifyFileSx& firmware = *main.FModifyFileSx;
    // The list is labelled by its heading (on Linux Qt names a list by its value and
    // gives the label as a relation).
    QCOMPARE(firmware.cbport->accessibleName(), QString("Serial port"));
    const auto labels = QAccessible::queryAccessibleInterface(firmware.cbport)->relations(QAccessible::Label);
    QVERIFY(!labels.isEmpty() && labels.first().first->object() == firmware.Label1);
    QCOMPARE(nameOf(firmware.Avanzamento), QString("Update progress"));
    QCOMPARE(nameOf(firmware.LbButton1), QString("Close"));
    QVERIFY(
        !QAccessible::queryAccessibleInterface(firmware.LbButton1)->text(QAccessible::Description).isEmpty());
    QCOMPARE(roleOf(main.FAbout->Label4), QAccessible::Link);
}

void TestDesktopAccess::firmwareDialogKeys() {
    Harness h;
    h.dialogs.script("TFModifyFileSx", [](QDialog& d) {
        auto& dialog = static_cast<TFModifyFileSx&>(d);
        // Each Tab stop has an Alt+letter of its own: a label's for the list it heads,
        // a mnemonic or shortcut for each button.
        QHash<QWidget*, QKeySequence> keys;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->isVisible() && label->buddy())
                keys.insert(label->buddy(), QKeySequence::mnemonic(label->text()));
        }
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            if (button->isVisible())
                keys.insert(button, button->shortcut());
        }
        QSet<QKeySequence> distinct;
        for (QWidget* stop : focusStops(dialog)) {
            const QKeySequence key = keys.value(stop);
            QVERIFY2(!key.isEmpty() && (key[0].keyboardModifiers() & Qt::AltModifier),
                     qPrintable(describe(*stop)));
            QVERIFY2(!distinct.contains(key), qPrintable(describe(*stop) + " " + key.toString()));
            distinct.insert(key);
        }
    });
    h.window->CreateSxClick();
}

QTEST_MAIN(TestDesktopAccess)
#include "tst_desktopaccess.moc"
