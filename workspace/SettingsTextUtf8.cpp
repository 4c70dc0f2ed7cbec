#include "workspace/SettingsText.h"

namespace tessaly {

QString decodeSettingsText(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

QByteArray encodeSettingsText(const QString& text) {
    return text.toUtf8();
}

} // namespace tessaly
