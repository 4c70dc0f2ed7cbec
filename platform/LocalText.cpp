#include "platform/LocalText.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tessaly {

std::optional<QByteArray> exactLocal8Bit(const QString& text) {
    QByteArray bytes = text.toLocal8Bit();
    if (QString::fromLocal8Bit(bytes) != text)
        return std::nullopt;
    return bytes;
}

QString charactersOutsideLocal8Bit(const QString& text) {
    QString outside;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QString character = text.mid(i, pair ? 2 : 1);
        if (!exactLocal8Bit(character) && !outside.contains(character))
            outside += character;
        i += character.size();
    }
    return outside;
}

QString local8BitName() {
#ifdef Q_OS_WIN
    return QStringLiteral("the ANSI code page %1").arg(::GetACP());
#else
    return QStringLiteral("UTF-8");
#endif
}

} // namespace tessaly
