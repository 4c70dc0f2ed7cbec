#pragma once

#include <QString>
#include <QStringList>
#include <variant>

namespace tessaly {

// Runs `program` with `arguments` (each reaches it as the same text) on this process's
// standard input, output and error, and waits for its end. Returns its exit status (1
// when an exception ended it), or the reason when it could not be started. While it
// runs, Ctrl+C and Ctrl+Break are left to it, so that its exit status is the one this
// process returns. Windows only: elsewhere the program takes this process's place.
std::variant<int, QString> runForwarded(const QString& program, const QStringList& arguments);

} // namespace tessaly
