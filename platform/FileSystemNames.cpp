#include "platform/FileSystemNames.h"

#include "platform/PathForms.h"

#include <QDirIterator>
#include <QFileInfo>

namespace tessaly {

// One file per platform: whether the directory says by a flag of its own that it
// folds case (a Linux casefolded directory); false where no such flag exists.
bool directoryHasCaseFoldingFlag(const QString& directory);

namespace {

QString withCaseSwapped(const QString& name) {
    QString swapped = name;
    for (QChar& c : swapped)
        c = c.isUpper() ? c.toLower() : c.toUpper();
    return swapped;
}

// Whether `name` in `directory`, looked up with its case swapped, leads to the same
// entry; nothing when the name has no letters or the entry is gone.
std::optional<bool> foldsCaseOf(const QString& directory, const QString& name) {
    const QString swapped = withCaseSwapped(name);
    if (swapped == name)
        return std::nullopt;
    const std::optional<FileIdentity> entry = fileIdentity(joinPath(directory, name));
    if (!entry)
        return std::nullopt;
    const std::optional<FileIdentity> other = fileIdentity(joinPath(directory, swapped));
    return other && *other == *entry;
}

} // namespace

bool directoryFoldsCase(const QString& directory) {
    if (directoryHasCaseFoldingFlag(directory))
        return true;
    // An entry answers for the directory; a few are enough to find one with letters.
    QDirIterator entries(directory, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (int tried = 0; entries.hasNext() && tried < 16; ++tried) {
        entries.next();
        if (const std::optional<bool> folds = foldsCaseOf(directory, entries.fileName()))
            return *folds;
    }
    // An empty directory is asked in its parent, which it takes its rules from.
    const QFileInfo info(directory);
    return foldsCaseOf(info.absolutePath(), info.fileName()).value_or(false);
}

} // namespace tessaly
