#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tessaly {

// Starts another program without waiting for it, as the firmware dialog starts the
// flashing tool. Tests record the calls instead of starting anything.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;

    // Starts `program` with the one parameter string `parameter`, passed on byte for
    // byte, in the current directory of this process. Returns the reason when the
    // program could not be started; nothing once it runs.
    virtual std::optional<QString> start(const QString& program, const QByteArray& parameter) = 0;
};

} // namespace tessaly
