#pragma once

#include "platform/SystemProgramLauncher.h"

#include <array>
#include <csignal>
#include <sys/types.h>

namespace tessaly {

// The parameter string becomes the program's only argument (argv[1]) unchanged, so a
// byte such as 0xB6 stays one raw byte whatever the locale. QProcess would pass it
// through QString and the local 8-bit encoding, which cannot hold every byte.
class PosixProgramLauncher final : public ProgramLauncher {
public:
    // The program runs detached in a session of its own: it is the child of an
    // intermediate process that ends at once, so no zombie is left behind. It inherits
    // one more open descriptor, the write end of a pipe by which its end is seen.
    std::variant<std::unique_ptr<StartedProgram>, QString> launch(const QString& program,
                                                                  const QByteArray& parameter) override;
};

// The signals that ask this process to stop (StopSignals.h).
inline constexpr std::array<int, 3> StopSignals{SIGINT, SIGTERM, SIGHUP};

// The program runProgramAndWait() waits for, to which StopForwarding passes stop
// signals; 0 while it waits for none.
void forwardStopSignalsTo(pid_t child);

} // namespace tessaly
