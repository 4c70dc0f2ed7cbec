#include "tests/reliability/FileSnapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tessaly::test {

QMap<QString, QString> snapshotTree(const QString& root) {
    QMap<QString, QString> entries;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString name = base.relativeFilePath(path);
        if (info.isSymLink()) {
            entries[name] = QStringLiteral("link to ") + info.symLinkTarget();
        } else if (info.isDir()) {
            entries[name] = QStringLiteral("directory");
        } else {
            QFile file(path);
            QString content = QStringLiteral("unreadable");
            if (file.open(QIODevice::ReadOnly)) {
                QCryptographicHash hash(QCryptographicHash::Sha1);
                hash.addData(&file);
                content = QString::fromLatin1(hash.result().toHex());
            }
            entries[name] = QStringLiteral("file of %1 bytes, %2, mode %3")
                                .arg(info.size())
                                .arg(content)
                                .arg(int(info.permissions()), 0, 16);
        }
    }
    return entries;
}

QStringList temporaryFiles(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        // QSaveFile's "name.XXXXXX", and the merge's bank rendering
        if (name.contains(QRegularExpression(QStringLiteral("\\.[A-Za-z0-9]{6}$"))) ||
            name == QLatin1String("Bin.sx"))
            found << name;
    }
    return found;
}

} // namespace tessaly::test
