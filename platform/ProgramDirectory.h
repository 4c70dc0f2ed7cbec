#pragma once

#include <QString>
#include <QStringList>

namespace tessaly {

// The program directory: the executable's folder, unless `--program-dir DIR` (or
// `--program-dir=DIR`) among `arguments` names another. Without a trailing separator.
QString programDirectory(const QStringList& arguments, const QString& executableDir);

// `arguments` without the `--program-dir` option and its value.
QStringList withoutProgramDirOption(const QStringList& arguments);

} // namespace tessaly
