#include "platform/FileSystemNames.h"

#include <QDir>
#include <QFileInfo>
#include <windows.h>

namespace tessaly {

namespace {
const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}
} // namespace

NameLength nameLengthIn(const QString& directory, const QString& name) {
    NameLength length;
    length.length = name.size();
    length.unit = QStringLiteral("characters");
    const QString native = QDir::toNativeSeparators(QFileInfo(directory).absoluteFilePath());
    wchar_t volume[MAX_PATH + 1] = {};
    DWORD longestComponent = 0;
    if (GetVolumePathNameW(wide(native), volume, MAX_PATH + 1) &&
        GetVolumeInformationW(volume, nullptr, 0, nullptr, &longestComponent, nullptr, nullptr, 0))
        length.limit = longestComponent;
    return length;
}

std::optional<FileIdentity> fileIdentity(const QString& path) {
    // Folders open only with backup semantics; asking for no access right reads no data.
    const HANDLE handle = CreateFileW(wide(QDir::toNativeSeparators(path)), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!read)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t(info.nFileIndexHigh) << 32) | std::uint64_t(info.nFileIndexLow)};
}

bool directoryHasCaseFoldingFlag(const QString&) {
    return false;
}

} // namespace tessaly
