#include "platform/Contrast.h"

#include <algorithm>
#include <cmath>

namespace tessaly {

namespace {
double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}
} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& background, const QColor& preferred) {
    if (contrastRatio(preferred, background) >= MinimumTextContrast)
        return preferred;
    // Lighter on a dark background, darker on a light one, keeping the hue.
    const QColor white(Qt::white);
    const QColor black(Qt::black);
    const bool lighten = contrastRatio(white, background) >= contrastRatio(black, background);
    const QColor hsl = preferred.toHsl();
    for (int lightness = hsl.lightness(); lightness >= 0 && lightness <= 255; lightness += lighten ? 5 : -5) {
        const QColor candidate = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness);
        if (contrastRatio(candidate, background) >= MinimumTextContrast)
            return candidate;
    }
    return lighten ? white : black;
}

} // namespace tessaly
