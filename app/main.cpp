#include "app/MainWindow.h"
#include "platform/Clock.h"
#include "platform/DialogRunner.h"
#include "platform/IcmpEcho.h"
#include "platform/Messages.h"
#include "platform/PosixProgramLauncher.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtMessages.h"
#include "platform/QtPickers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QScreen>
#include <cstdio>

int main(int argc, char* argv[]) {
    using namespace tessaly;
    QApplication application(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setApplicationDisplayName(ApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral("1.001"));

    const QStringList arguments = QApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::fputs("Usage: tessaly [--program-dir DIR]\n"
                   "Starts the configurator. DIR holds MASTER, PROJECTS and Tessaly.ini;\n"
                   "by default it is the folder of the program.\n",
                   stdout);
        return 0;
    }
    const QString programDir = programDirectory(arguments, QApplication::applicationDirPath());

    QtMessages messages;
    QtPickers pickers;
    ModalDialogRunner dialogs;
    SystemClock clock;
    const std::unique_ptr<IcmpEcho> icmpEcho = createSystemIcmpEcho();
    GuiPlatform platform{messages, pickers, dialogs, [](const QUrl& url) { QDesktopServices::openUrl(url); },
                         clock};
    platform.icmpEcho = icmpEcho.get();
    PosixProgramLauncher launcher;
    platform.launcher = &launcher;
    TFTessalyeFirmWare window(programDir, platform);
    window.adjustSize();
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return QApplication::exec();
}
