#include "platform/PathForms.h"

#include <QDir>

namespace tessaly {

QString nativeFromStored(const QString& stored) {
#ifdef Q_OS_WIN
    return stored;
#else
    QString native = stored;
    return native.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
}

QString storedFromNative(const QString& native) {
#ifdef Q_OS_WIN
    return native;
#else
    QString stored = native;
    return stored.replace(QLatin1Char('/'), QLatin1Char('\\'));
#endif
}

QString joinPath(const QString& dir, const QString& name) { return dir + QDir::separator() + name; }

} // namespace tessaly
