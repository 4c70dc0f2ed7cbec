#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tessaly {

// How the file system that holds a directory treats the names in it, asked of that
// file system (never assumed from the platform): a name that passes here can be
// created there, and two names that lead to one entry are seen as one.

// `name`'s length against the longest name an entry of `directory` may have, both in
// the file system's own unit: bytes of the encoded name on POSIX, UTF-16 code units
// on Windows.
struct NameLength {
    qint64 length = 0;
    qint64 limit = 0; // 0 when the file system sets none
    QString unit;     // "bytes" or "characters"
    bool fits() const { return limit == 0 || length <= limit; }
};
NameLength nameLengthIn(const QString& directory, const QString& name);

// The file or folder an existing path leads to, links followed: two paths have equal
// identities exactly when they lead to the same one.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> fileIdentity(const QString& path);

// Whether names in `directory` that differ only in case lead to one entry there. An
// entry of the directory (or the directory itself in its parent) is looked up under
// its name with the case of its letters changed.
bool directoryFoldsCase(const QString& directory);

} // namespace tessaly
