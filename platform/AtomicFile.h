#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

class QFileDevice;

namespace tessaly {

// Replaces `path` with `data` so that readers see either the old file or the new one,
// never a mix: the bytes go to a temporary file beside it, which is renamed over it.
// Returns the reason on failure; the previous file is then untouched and no
// temporary file is left behind. A successful write also removes the temporaries
// of earlier writes that were killed half-way.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data);

// Writes all of `data` to `file`, writing on where the system took only part of it.
// The reason when it stops short: the system's ("No space left on device"), or how
// much was written when the system gives none.
std::optional<QString> writeWhole(QFileDevice& file, QByteArrayView data);

// Removes the temporary files that interrupted atomic writes of `path` left beside
// it: regular files named like it plus a dot and six letters, the form the writer
// gives them. Other files are never touched.
void removeLeftoverTemporaries(const QString& path);

// The text every writer reports when a file cannot be written.
QString cannotCreateFileMessage(const QString& path, const QString& reason);

// The text every command reports when a directory cannot be made.
QString cannotCreateDirectoryMessage(const QString& path, const QString& reason);

// The text every reader reports when a file cannot be opened.
QString cannotOpenFileMessage(const QString& path, const QString& reason);

} // namespace tessaly
