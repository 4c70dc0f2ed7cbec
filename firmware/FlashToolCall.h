#pragma once

#include <QByteArray>
#include <QString>

namespace tessaly {

// The flashing tool's file in the program directory. The same name on every platform,
// so that "FlashWrite.exe Not Found, Procedure Aborted" stays true.
inline const QString FlashToolFileName = QStringLiteral("FlashWrite.exe");

// The byte between the quoted file name and the port index (the pilcrow sign in the
// Windows-1252 code page).
inline constexpr char FlashToolSeparator = char(0xB6);

// The flashing tool in the program directory `programDir` (no trailing separator).
QString flashToolPath(const QString& programDir);

// The tool's parameter string: a double quote, `outputDirectory` + `outputName` (the
// directory with its trailing separator, as the firmware dialog keeps it), a double
// quote, the byte 0xB6 and `portIndex` in decimal (0 for COM1). The path becomes
// file-name bytes with QFile::encodeName; nothing else is added.
QByteArray flashToolParameter(const QString& outputDirectory, const QString& outputName, int portIndex);

} // namespace tessaly
