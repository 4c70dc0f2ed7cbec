#include "platform/QtPickers.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tessaly {

namespace {
bool isInside(const QString& path, const QString& root) {
    const QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString r = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    return p == r || p.startsWith(r + QLatin1Char('/'));
}
} // namespace

std::optional<QString> QtPickers::pickFolder(const QString& title, const QString& root,
                                             const QString& initialSelection) {
    // Qt's own dialog, so that it can be kept beneath the root: navigating above it
    // brings the user back.
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(initialSelection.isEmpty() || !isInside(initialSelection, root) ? root
                                                                                          : initialSelection);
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&](const QString& dir) {
        if (!isInside(dir, root))
            dialog.setDirectory(root);
    });
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (!chosen.isEmpty() && isInside(chosen.first(), root) && QFileInfo(chosen.first()).isDir())
            return QDir::toNativeSeparators(QDir::cleanPath(chosen.first()));
        dialog.setDirectory(root);
    }
    return std::nullopt;
}

std::optional<QString> QtPickers::openFile(const QString& filterDescription, const QString& pattern,
                                           const QString& initialDirectory) {
    const QString filter = QStringLiteral("%1 (%2)").arg(filterDescription, pattern);
    QFileDialog dialog(QApplication::activeWindow(), QString(), initialDirectory, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

} // namespace tessaly
