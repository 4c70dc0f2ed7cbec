#include "platform/AtomicFile.h"

#include <QDir>
#include <QSaveFile>

namespace tessaly {

QString cannotCreateFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
}

QString cannotCreateDirectoryMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create directory \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
}

QString cannotOpenFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    // Unbuffered, so that a write the file system refuses (a full disk) fails here;
    // buffered bytes that cannot be flushed are not reported by commit(), which then
    // puts a short file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotCreateFileMessage(path, file.errorString());
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return cannotCreateFileMessage(path, reason);
    }
    if (!file.commit())
        return cannotCreateFileMessage(path, file.errorString());
    return std::nullopt;
}

} // namespace tessaly
