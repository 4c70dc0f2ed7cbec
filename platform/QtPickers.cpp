#include "platform/QtPickers.h"

#include "platform/AskingWindow.h"
#include "platform/ScreenFit.h"

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
    QWidget* asking = askingWindow(mainWindow_);
    QFileDialog dialog(asking, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(initialSelection.isEmpty() || !isInside(initialSelection, root) ? root
                                                                                        : initialSelection);
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&](const QString& dir) {
        if (!isInside(dir, root))
            dialog.setDirectory(root);
    });
    fitToScreen(dialog);
    std::optional<QString> answer;
    while (!answer && dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (!chosen.isEmpty() && isInside(chosen.first(), root) && QFileInfo(chosen.first()).isDir())
            answer = QDir::toNativeSeparators(QDir::cleanPath(chosen.first()));
        else
            dialog.setDirectory(root);
    }
    activateAgain(asking);
    return answer;
}

std::optional<QString> QtPickers::openFile(const QString& filterDescription, const QString& pattern,
                                           const QString& initialDirectory) {
    // Extensions are written in any case by the tools that make these files, and this
    // file system tells them apart: offer the usual spellings of the pattern.
    QStringList patterns{pattern, pattern.toLower(), pattern.toUpper()};
    patterns.removeDuplicates();
    const QString filter = QStringLiteral("%1 (%2)").arg(filterDescription, patterns.join(QLatin1Char(' ')));
    QWidget* asking = askingWindow(mainWindow_);
    QFileDialog dialog(asking, QString(), initialDirectory, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    fitToScreen(dialog);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    activateAgain(asking);
    if (!chosen)
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

} // namespace tessaly
