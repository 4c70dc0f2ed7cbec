// FlashWrite.exe, the stand-in for the external flashing tool.
//
//   FlashWrite.exe "FILE"<0xB6>INDEX
//
// One argument: the S-record file in double quotes, the byte 0xB6 and the index of the
// serial port in decimal (0 for COM1). COMn is the n-th serial port detected (USB
// adapters first), unless a FlashWrite.ini maps it: the one beside the file the tool
// was started as, then the one beside the file that resolves to (portMapFiles()):
//
//   [ports]
//   COM3=/dev/ttyUSB0
//
// The device opened for COMn is named in the window and on standard error.
// The whole file is checked before the port is opened. The window shows the file, the
// port, the progress and the outcome and stays open until it is closed; with
// FLASHWRITE_EXIT_WHEN_DONE=1 the tool ends by itself when the run is over. Closing the
// window, SIGINT, SIGTERM or SIGHUP stop a transfer. The exit status is the outcome
// (see FlashWriteJob.h): 0 sent, otherwise the reason is also written to standard error.

#include "platform/StopSignals.h"
#include "tools/flashwrite/FlashWriteCall.h"
#include "tools/flashwrite/FlashWriteJob.h"
#include "tools/flashwrite/FlashWritePlatform.h"
#include "tools/flashwrite/FlashWriteWindow.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

using namespace tessaly::flashwrite;

namespace {

// Run without a display (offscreen), Qt says on every window that the platform cannot
// pass size hints on: nothing a user can act on.
QtMessageHandler qtDefaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints()")))
        return;
    qtDefaultHandler(type, context, message);
}

} // namespace

int main(int argc, char* argv[]) {
    qtDefaultHandler = qInstallMessageHandler(quietHandler);
    // QApplication takes its own options (-platform offscreen, ...) out of argv first.
    QApplication app(argc, argv);
    const bool exitWhenDone = qEnvironmentVariable("FLASHWRITE_EXIT_WHEN_DONE") == QLatin1String("1");

    // The parameter stays the raw bytes it was given: 0xB6 is a byte, not a character.
    const std::optional<QByteArray> parameter = commandParameter(argc, argv);
    const QString toolFile =
        startedToolFile(QCoreApplication::arguments().value(0), QCoreApplication::applicationFilePath());
    FlashWriteJob job(parameter.value_or(QByteArray()), tessaly::portMapFiles(toolFile));
    FlashWriteWindow window;
    QObject::connect(&job, &FlashWriteJob::fileNamed, &window, &FlashWriteWindow::showFile);
    QObject::connect(&job, &FlashWriteJob::warning, &window,
                     [](const QString& text) { std::fprintf(stderr, "Warning: %s\n", qPrintable(text)); });
    QObject::connect(&job, &FlashWriteJob::portOpened, &window,
                     [&window](const QString& port, const QString& about) {
                         window.showPort(port, about);
                         std::fprintf(stderr, "%s\n", qPrintable(openedPortText(port, about)));
                     });
    QObject::connect(&job, &FlashWriteJob::progress, &window, &FlashWriteWindow::showProgress);

    int outcome = Interrupted;
    auto end = [&](int result, const QString& message) {
        outcome = result;
        window.showOutcome(result == Sent, message);
        std::fprintf(result == Sent ? stdout : stderr, "%s\n", qPrintable(message));
        if (exitWhenDone)
            QCoreApplication::exit(result);
    };
    QObject::connect(&job, &FlashWriteJob::finished, &window, end);
    QObject::connect(&window, &FlashWriteWindow::closing, &job,
                     [&job] { job.stop(QStringLiteral("the window was closed")); });
    // Asked to stop from outside, the tool stops the transfer and ends, whatever
    // FLASHWRITE_EXIT_WHEN_DONE says.
    tessaly::onStopSignals(&job, [&](int signal) {
        job.stop(tessaly::stopSignalName(signal));
        QCoreApplication::exit(outcome);
    });

    window.show();
    QTimer::singleShot(0, &job, [&] {
        if (!parameter)
            end(BadParameter, missingParameterMessage());
        else
            job.start();
    });
    app.exec();
    return outcome;
}
