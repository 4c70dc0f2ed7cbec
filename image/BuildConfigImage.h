#pragma once

#include "image/ConfigImage.h"

#include <QString>
#include <optional>

namespace tessaly {

class Clock;

// The failure texts of a build. Each names the document; those about one value
// name its element and the text found there.
inline const QString ImageNotBuiltMessage = QStringLiteral("The configuration image was not built. %1");
inline const QString ImageNoRootMessage =
    QStringLiteral("\"%1\" has no top-level element General_Parameter.");
inline const QString ImageMissingElementMessage = QStringLiteral("\"%1\": element %2 is missing.");
inline const QString ImageNotTextMessage = QStringLiteral("\"%1\": element %2 does not hold a single text.");
inline const QString ImageNotIntegerMessage =
    QStringLiteral("\"%1\": element %2 holds \"%3\", which is not an integer.");
inline const QString ImageOutOfRangeMessage =
    QStringLiteral("\"%1\": element %2 holds \"%3\", which is not allowed (allowed: %4).");
inline const QString ImageNoClockMessage = QStringLiteral("The local clock gives no valid date and time.");

// Zeroes `image`, then fills its parameter block from the pargen.xml at `pargenFile`
// and the build time from `clock`, row by row. The first element that is missing,
// not a single text, not an integer or outside the range of its field ends the
// build: the text of that failure is returned, the rows before it stay filled and
// everything else zero. A failed image must not be exported.
std::optional<QString> BuildConfigImage(ConfigImage& image, const QString& pargenFile, const Clock& clock);

} // namespace tessaly
