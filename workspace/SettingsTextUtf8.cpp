#include "platform/Windows1252.h"
#include "workspace/SettingsText.h"

#include <QStringDecoder>

namespace tessaly {

QString decodeSettingsText(const QByteArray& bytes) {
    // Written by this program the file is UTF-8; written on the original platform it
    // is in the single-byte code page, which is read as such and written back as UTF-8.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = decodeWindows1252(bytes);
    return text;
}

QByteArray encodeSettingsText(const QString& text) {
    return text.toUtf8();
}

} // namespace tessaly
