#include "platform/AtomicFile.h"
#include "platform/ToolLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <windows.h>

namespace tessaly {

std::optional<QString> linkTool(const QString& installed, const QString& link) {
    if (QFileInfo::exists(link))
        return std::nullopt; // the linked tool, or a real one the user put in its place
    if (!QFileInfo::exists(installed))
        return std::nullopt; // nothing installed to link: the user may put the real tool there
    const std::wstring from = QDir::toNativeSeparators(installed).toStdWString();
    const std::wstring to = QDir::toNativeSeparators(link).toStdWString();
    if (::CreateHardLinkW(to.c_str(), from.c_str(), nullptr))
        return std::nullopt;
    QFile tool(installed);
    if (!tool.copy(link))
        return cannotCreateFileMessage(link, tool.errorString());
    return std::nullopt;
}

} // namespace tessaly
