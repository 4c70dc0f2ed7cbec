#pragma once

#include "platform/ProgramLauncher.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <limits>
#include <memory>
#include <variant>

namespace tessaly {

// The program launcher of this platform (one source file per platform implements
// these three). The parameter string reaches the program byte for byte.
std::unique_ptr<ProgramLauncher> createSystemProgramLauncher();

// Runs `program` with the one parameter string `parameter` (byte for byte, in the
// current directory) and waits for its end. Returns its exit status, or the reason when
// it could not be started or did not exit normally.
std::variant<int, QString> runProgramAndWait(const QString& program, const QByteArray& parameter);

// The longest path a started program can be given, as its own file or as a file it is
// to open: on Windows MAX_PATH less its terminator, beyond which CreateProcessA and a
// program using the ANSI file functions fail; no limit elsewhere.
#ifdef Q_OS_WIN
inline constexpr qsizetype LongestProgramPath = 259;
#else
inline constexpr qsizetype LongestProgramPath = std::numeric_limits<qsizetype>::max();
#endif

// The reason given when a program cannot be started, on every platform.
inline const QString CannotStartProgramMessage = QStringLiteral("Cannot start \"%1\". %2");
inline const QString ParameterHoldsNulReason = QStringLiteral("The parameter string holds a zero byte");
inline QString cannotStartProgramMessage(const QString& program, const QString& reason) {
    return CannotStartProgramMessage.arg(QDir::toNativeSeparators(program), reason);
}

} // namespace tessaly
