#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

namespace tessaly {

// A program that a launcher started. It runs on its own; this only asks whether it
// has ended, never waits for it.
class StartedProgram {
public:
    virtual ~StartedProgram() = default;
    virtual bool running() const = 0;
};

// Starts another program without waiting for it, as the firmware dialog starts the
// flashing tool. Tests record the calls instead of starting anything.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;

    // Starts `program` with the one parameter string `parameter`, passed on byte for
    // byte, in the current directory of this process. Returns the started program, or
    // the reason when it could not be started.
    virtual std::variant<std::unique_ptr<StartedProgram>, QString> launch(const QString& program,
                                                                          const QByteArray& parameter) = 0;

    // As launch(), for a caller that does not follow the program: the reason when it
    // could not be started, nothing once it runs.
    std::optional<QString> start(const QString& program, const QByteArray& parameter) {
        auto started = launch(program, parameter);
        if (auto* failure = std::get_if<QString>(&started))
            return *failure;
        return std::nullopt;
    }
};

} // namespace tessaly
