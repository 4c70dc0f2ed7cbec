#pragma once

#include "image/ConfigImage.h"

#include <QStringList>

namespace tessaly {

// The configuration an image holds, as "key=value" lines in this order: ip, mask,
// gateway, port, public, private, baud, parity, timeout, offset, mode, built.
// Values that no build would store are shown as codes rather than refused, so a
// damaged image can still be looked at.
QStringList describeConfigImage(const ConfigImage& image);

} // namespace tessaly
