// On Windows the local 8-bit encoding is the ANSI code page (GetACP()).
#include "workspace/SettingsText.h"

namespace tessaly {

QString decodeSettingsText(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

QByteArray encodeSettingsText(const QString& text) {
    return text.toLocal8Bit();
}

} // namespace tessaly
