#include "app/Walkthrough.h"

#include "app/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace tessaly {

namespace {
// Long enough for the window system to map and paint a window before it is pictured.
constexpr int StepDelayMs = 400;
// The whole walk, with its pictures, takes a few seconds; anything longer is stuck.
constexpr int WatchdogMs = 60000;
} // namespace

Walkthrough::Walkthrough(TFTessalyeFirmWare& window, QString pictureFolder)
    : QObject(&window), window_(window),
      pictureFolder_(pictureFolder == QLatin1String("1") ? QString() : std::move(pictureFolder)) {
    // Each step schedules the next before it runs, because a click that opens a modal
    // dialog returns only when the dialog closes: the next step acts inside it.
    steps_ = {
        [this] { picture(window_, QStringLiteral("main-window")); },
        [this] { press(*window_.New); },
        [this] {
            if (QWidget* dialog = dialogNamed(QStringLiteral("TFsaveproj"))) {
                dialog->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(ProjectName);
                picture(*dialog, QStringLiteral("new-project"));
                click(*dialog, "bitbtn1");
            }
        },
        [this] { press(*window_.btn_Prm_Gen); },
        [this] {
            if (QWidget* dialog = dialogNamed(QStringLiteral("TFpargen"))) {
                const QStringList octets = IpAddress.split(QLatin1Char('.'));
                for (int i = 0; i < 4; ++i)
                    dialog->findChild<QLineEdit*>(QStringLiteral("E_IP%1").arg(i + 1))->setText(octets[i]);
                picture(*dialog, QStringLiteral("general-parameter"));
                click(*dialog, "bitbtn1");
            }
        },
        [this] { press(*window_.CreateBin); },
        [this] {
            if (QWidget* dialog = dialogNamed(QStringLiteral("TFModifyFileSx"))) {
                dialog->findChild<QComboBox*>(QStringLiteral("cbport"))->setCurrentIndex(2);
                click(*dialog, "LbButton2"); // composes, then starts the flashing tool on COM3
                picture(*dialog, QStringLiteral("update-device"));
                click(*dialog, "LbButton1");
            }
        },
        [this] { press(*window_.about); },
        [this] {
            if (QWidget* dialog = dialogNamed(QStringLiteral("TFAbout"))) {
                picture(*dialog, QStringLiteral("about"));
                click(*dialog, "LbButton1");
            }
        },
        [this] {
            if (QApplication::activeModalWidget())
                return press(*window_.LbButton1); // reports what is still open
            std::fputs("walkthrough: done\n", stderr);
            window_.LbButton1->click();
        },
    };
}

void Walkthrough::start() {
    if (!pictureFolder_.isEmpty())
        QDir().mkpath(pictureFolder_);
    QTimer::singleShot(WatchdogMs, this,
                       [this] { fail(QStringLiteral("no end after %1 s").arg(WatchdogMs / 1000)); });
    QTimer::singleShot(StepDelayMs, this, &Walkthrough::runNext);
}

void Walkthrough::runNext() {
    if (failed_ || next_ >= steps_.size())
        return;
    const std::size_t current = next_++;
    if (next_ < steps_.size())
        QTimer::singleShot(StepDelayMs, this, &Walkthrough::runNext);
    steps_[current]();
}

void Walkthrough::fail(const QString& reason) {
    if (failed_)
        return;
    failed_ = true;
    std::fprintf(stderr, "walkthrough: step %zu: %s\n", next_, qPrintable(reason));
    // Leaves every event loop, the modal ones included.
    QCoreApplication::exit(1);
}

QWidget* Walkthrough::dialogNamed(const QString& objectName) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->objectName() == objectName)
        return modal;
    QString found = modal ? modal->objectName() : QStringLiteral("no dialog");
    if (const auto* box = qobject_cast<QMessageBox*>(modal))
        found = QStringLiteral("the message \"%1\"").arg(box->text());
    fail(QStringLiteral("expected %1, found %2").arg(objectName, found));
    return nullptr;
}

void Walkthrough::picture(QWidget& widget, const QString& name) {
    if (pictureFolder_.isEmpty())
        return;
    const QString path = QDir(pictureFolder_).filePath(name + QStringLiteral(".png"));
    if (!widget.grab().save(path))
        fail(QStringLiteral("cannot save %1").arg(path));
}

void Walkthrough::press(QPushButton& command) {
    // A message left open by the step before would hide a failure: report it instead.
    if (QApplication::activeModalWidget())
        dialogNamed(QStringLiteral("no dialog in front of %1").arg(command.objectName()));
    else
        command.click();
}

void Walkthrough::click(QWidget& parent, const char* buttonName) {
    if (auto* button = parent.findChild<QPushButton*>(QLatin1String(buttonName)))
        button->click();
    else
        fail(QStringLiteral("no button %1 in %2").arg(QLatin1String(buttonName), parent.objectName()));
}

} // namespace tessaly
