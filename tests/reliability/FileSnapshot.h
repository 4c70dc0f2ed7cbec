#pragma once

#include <QMap>
#include <QString>

namespace tessaly::test {

// What lies under `root`, to tell whether anything changed: each entry's relative
// path with its kind and, for files, size and content hash (links by their target,
// so that a loop is no obstacle).
QMap<QString, QString> snapshotTree(const QString& root);

// The names under `root` that look like a writer's temporary files.
QStringList temporaryFiles(const QString& root);

} // namespace tessaly::test
