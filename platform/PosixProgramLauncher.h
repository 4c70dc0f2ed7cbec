#pragma once

#include "platform/ProgramLauncher.h"

#include <variant>

namespace tessaly {

// The parameter string becomes the program's only argument (argv[1]) unchanged, so a
// byte such as 0xB6 stays one raw byte whatever the locale. QProcess would pass it
// through QString and the local 8-bit encoding, which cannot hold every byte.
class PosixProgramLauncher final : public ProgramLauncher {
public:
    // The program runs detached in a session of its own: it is the child of an
    // intermediate process that ends at once, so no zombie is left behind.
    std::optional<QString> start(const QString& program, const QByteArray& parameter) override;
};

// Runs `program` with the one argument `parameter` (byte for byte, in the current
// directory) and waits for its end. Returns its exit status, or the reason when it
// could not be started or did not exit normally.
std::variant<int, QString> runProgramAndWait(const QString& program, const QByteArray& parameter);

// The reason given when a program cannot be started.
QString cannotStartProgramMessage(const QString& program, const QString& reason);

} // namespace tessaly
