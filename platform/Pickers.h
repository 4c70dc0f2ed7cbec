#pragma once

#include <QString>
#include <optional>

namespace tessaly {

// Folder and file choosers. Every answer is a native path, or nothing on cancel.
class Pickers {
public:
    virtual ~Pickers() = default;
    // Only `root` and the folders beneath it can be chosen.
    virtual std::optional<QString> pickFolder(const QString& title, const QString& root,
                                              const QString& initialSelection) = 0;
    virtual std::optional<QString> openFile(const QString& filterDescription, const QString& pattern,
                                            const QString& initialDirectory) = 0;
};

} // namespace tessaly
