#pragma once

#include <QColor>

namespace tessaly {

// The least contrast between a text and its background that keeps it readable.
inline constexpr double MinimumTextContrast = 4.5;

// The contrast ratio of two colours, from 1 (the same) to 21 (black and white), by
// their relative luminance in sRGB.
double contrastRatio(const QColor& a, const QColor& b);

// `preferred` when it reads on `background`; else the same hue made lighter (on a dark
// background) or darker (on a light one) until it does.
QColor readableOn(const QColor& background, const QColor& preferred);

} // namespace tessaly
