#pragma once

#include <QString>

namespace tessaly {

// Users and stored data see paths in backslash form ("\Plant1" in the settings file
// and the caption); the file system wants its own separator. These two functions are
// the only place where one becomes the other.
QString nativeFromStored(const QString& stored);
QString storedFromNative(const QString& native);

// `dir` + separator + `name`, with the native separator.
QString joinPath(const QString& dir, const QString& name);

// `dir` ending in the native separator, as directories are kept where a file name is
// appended directly; an empty `dir` stays empty.
QString withTrailingSeparator(const QString& dir);

} // namespace tessaly
