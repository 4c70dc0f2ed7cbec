// FlashWrite.exe, the stand-in for the external flashing tool.
//
//   FlashWrite.exe "FILE"<0xB6>INDEX
//
// One argument: the S-record file in double quotes, the byte 0xB6 and the index of the
// serial port in decimal (0 for COM1). COMn is the n-th serial port detected (USB
// adapters first), unless FlashWrite.ini beside the executable maps it:
//
//   [ports]
//   COM3=/dev/ttyUSB0
//
// The device opened for COMn is named in the window and on standard error.
// The whole file is checked before the port is opened. The window shows the file, the
// port, the progress and the outcome and stays open until it is closed; with
// FLASHWRITE_EXIT_WHEN_DONE=1 the tool ends by itself when the run is over. The exit
// status is the outcome (see FlashWriteJob.h): 0 sent, otherwise the reason is also
// written to standard error.

#include "tools/flashwrite/FlashWriteCall.h"
#include "tools/flashwrite/FlashWriteJob.h"
#include "tools/flashwrite/FlashWritePlatform.h"
#include "tools/flashwrite/FlashWriteWindow.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

using namespace tessaly::flashwrite;

int main(int argc, char* argv[]) {
    // QApplication takes its own options (-platform offscreen, ...) out of argv first.
    QApplication app(argc, argv);
    const bool exitWhenDone = qEnvironmentVariable("FLASHWRITE_EXIT_WHEN_DONE") == QLatin1String("1");

    // The parameter stays the raw bytes it was given: 0xB6 is a byte, not a character.
    const std::optional<QByteArray> parameter = commandParameter(argc, argv);
    FlashWriteJob job(parameter.value_or(QByteArray()),
                      QDir(QCoreApplication::applicationDirPath()).filePath(tessaly::PortMapFileName));
    FlashWriteWindow window;
    QObject::connect(&job, &FlashWriteJob::fileNamed, &window, &FlashWriteWindow::showFile);
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
