#pragma once

#include "image/ConfigImage.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tessaly {

class Clock;
struct ProjectPaths;

inline const QString BinDirectoryName = QStringLiteral("bin");
inline const QString BankBinFileName = QStringLiteral("bank1.bin");
inline const QString BankSourceFileName = QStringLiteral("bankg.c");

// The two renderings of the image, in the project's bin directory.
QString bankBinPath(const QString& projectDir);
QString bankSourcePath(const QString& projectDir);

// bankg.c: the 16384 bytes as one constant array between two segment pragmas,
// 1027 lines ending in CR LF, always 117824 bytes.
inline constexpr int BankSourceLineCount = 1027;
inline constexpr int BankSourceSize = 117824;
QByteArray renderBankSource(const ConfigImage& image);

// Replace bank1.bin (the bare 16384 bytes) and bankg.c in `projectDir`'s bin
// directory, each atomically; the bin directory is not created. Return the
// "Cannot create file" text on failure, with the previous file left as it was.
std::optional<QString> WriteBankBin(const ConfigImage& image, const QString& projectDir);
std::optional<QString> WriteBankSource(const ConfigImage& image, const QString& projectDir);

// The work of Update Device: builds `image` from the project's pargen.xml, then
// writes bank1.bin and bankg.c, stopping at the first failure and returning its
// text. A failed build writes no file.
std::optional<QString> BuildBankFiles(ConfigImage& image, const ProjectPaths& paths, const Clock& clock);

} // namespace tessaly
