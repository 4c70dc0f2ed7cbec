#pragma once

#include <QByteArray>
#include <QString>

namespace tessaly {

// The text encoding of settings files on this platform (one source file per platform):
// UTF-8 on POSIX systems, the ANSI code page on Windows, where other programs read and
// write the same file with the system's ANSI profile functions.
QString decodeSettingsText(const QByteArray& bytes);
QByteArray encodeSettingsText(const QString& text);

} // namespace tessaly
