#include "app/AppIcon.h"
#include "app/ApplicationSetup.h"
#include "app/MainWindow.h"
#include "app/ProgramVersion.h"
#include "app/SingleInstance.h"
#include "app/Walkthrough.h"
#include "firmware/FlashToolCall.h"
#include "platform/Clock.h"
#include "platform/DialogRunner.h"
#include "platform/IcmpEcho.h"
#include "platform/Messages.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtMessages.h"
#include "platform/QtPickers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <cstdio>
#include <cstring>

namespace {

// --help, from which help2man makes the manual page tessaly(1).
constexpr char Help[] = "Usage: tessaly [--program-dir DIR]\n"
                        "Starts the configurator. DIR holds MASTER, PROJECTS and Tessaly.ini;\n"
                        "by default it is the folder of the program, or ~/.local/share/tessaly\n"
                        "when the program is installed for all users.\n"
                        "\nOptions:\n"
                        "  --program-dir DIR  use DIR as the program directory\n"
                        "  --help             print this help and exit\n"
                        "  --version          print the version and exit\n";

// Answered before QApplication starts, which needs a display.
bool printedInformation(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(Help, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tessaly %s\n", qPrintable(tessaly::ProgramVersion));
            return true;
        }
    }
    return false;
}

} // namespace

namespace {
const QString AlreadyRunningMessage =
    QStringLiteral("The configurator is already running on the program directory %1.");
}

int main(int argc, char* argv[]) {
    using namespace tessaly;
    if (printedInformation(argc, argv))
        return 0;
    QApplication application(argc, argv);
    configureApplication();
    QApplication::setApplicationVersion(ProgramVersion);
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaly")); // tessaly.desktop

    const QStringList arguments = QApplication::arguments();
    QtMessages messages;
    const ChosenProgramDirectory chosen =
        chooseProgramDirectory(arguments, QApplication::applicationDirPath(), PerUserLinkedTools);
    if (chosen.failure)
        messages.error(*chosen.failure);
    const QString& programDir = chosen.path;
    SingleInstance instance(programDir);
    switch (instance.claim()) {
    case SingleInstance::Claim::First:
        break;
    case SingleInstance::Claim::BroughtToFront:
        std::fprintf(stderr, "tessaly: %s\n",
                     qPrintable(AlreadyRunningMessage.arg(QDir::toNativeSeparators(programDir))));
        return 0;
    case SingleInstance::Claim::Unreachable:
        messages.plain(AlreadyRunningMessage.arg(QDir::toNativeSeparators(programDir)));
        return 0;
    }
    QtPickers pickers;
    ModalDialogRunner dialogs;
    SystemClock clock;
    const std::unique_ptr<IcmpEcho> icmpEcho = createSystemIcmpEcho();
    GuiPlatform platform{messages, pickers, dialogs, [](const QUrl& url) { QDesktopServices::openUrl(url); },
                         clock};
    platform.icmpEcho = icmpEcho.get();
    TFTessalyeFirmWare window(programDir, platform);
    messages.setMainWindow(&window);
    pickers.setMainWindow(&window);
    window.placeOnScreen();
    QObject::connect(&instance, &SingleInstance::frontRequested, &window, &TFTessalyeFirmWare::bringToFront);
    window.show();

    Walkthrough* walkthrough = nullptr;
    if (qEnvironmentVariableIsSet(Walkthrough::EnvironmentVariable)) {
        walkthrough = new Walkthrough(window, qEnvironmentVariable(Walkthrough::EnvironmentVariable));
        walkthrough->start();
    }
    const int status = QApplication::exec();
    return walkthrough && walkthrough->failed() ? 1 : status;
}
