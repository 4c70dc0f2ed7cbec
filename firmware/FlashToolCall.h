#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The flashing tool's file in the program directory. The same name on every platform,
// so that "FlashWrite.exe Not Found, Procedure Aborted" stays true.
inline const QString FlashToolFileName = QStringLiteral("FlashWrite.exe");

// The line the flashing tool sends a firmware on, and a device's loader listens on:
// this rate, 8 data bits, no parity, 1 stop bit, no flow control.
inline constexpr int FlashLineBaudRate = 115200;

// What a per-user program directory links to the installed files
// (chooseProgramDirectory), the same for every program that may prepare it.
inline const QStringList PerUserLinkedTools{FlashToolFileName};

// The byte between the quoted file name and the port index (the pilcrow sign in the
// Windows-1252 code page).
inline constexpr char FlashToolSeparator = char(0xB6);

// Why the tool cannot be handed a path: it is started by its path, and reads the
// firmware's path from its parameter string, both as bytes of the system's code page
// and within the system's length for a path.
inline const QString FlashToolPathNotInCodePageMessage = QStringLiteral(
    "The flashing tool cannot receive the path \"%1\": \"%2\" cannot be written in %3, the code page "
    "it reads. Use a program directory and a project name written in that code page.");
inline const QString FlashToolPathTooLongMessage = QStringLiteral(
    "The flashing tool cannot receive the path \"%1\": it has %2 characters, and a path can have "
    "%3 at most there. Use a shorter program directory or project name.");

// The statuses the flashing tool documents: 0 sent, 1 window closed early, 2 parameter,
// 3 file, 4 port, 5 transfer. Any other means it did not run as it should (a library
// it could not load, a crash).
inline constexpr int LastDocumentedFlashToolStatus = 5;
inline const QString FlashToolEndedMessage = QStringLiteral("The flashing tool ended with status %1");

// The flashing tool in the program directory `programDir` (no trailing separator).
QString flashToolPath(const QString& programDir);

// Whether the tool in `programDir` can be started on the firmware `firmwarePath`: the
// text that refuses it when a path cannot reach the tool exactly. Checked before the
// firmware is composed, so that nothing is done for a call that cannot happen.
std::optional<QString> flashToolCallRefusal(const QString& programDir, const QString& firmwarePath);

// The tool's parameter string: a double quote, `outputDirectory` + `outputName` (the
// directory with its trailing separator, as the firmware dialog keeps it), a double
// quote, the byte 0xB6 and `portIndex` in decimal (0 for COM1). The path becomes
// file-name bytes with QFile::encodeName, exact once flashToolCallRefusal let it pass;
// nothing else is added.
QByteArray flashToolParameter(const QString& outputDirectory, const QString& outputName, int portIndex);

// The message for an exit status outside the documented ones; nothing for those.
std::optional<QString> undocumentedFlashToolStatus(int status);

} // namespace tessaly
