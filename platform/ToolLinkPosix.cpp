#include "platform/AtomicFile.h"
#include "platform/ToolLink.h"

#include <QFile>
#include <QFileInfo>

namespace tessaly {

std::optional<QString> linkTool(const QString& installed, const QString& link) {
    const QFileInfo current(link);
    if (current.exists())
        return std::nullopt; // the linked tool, or a real one the user put in its place
    if (current.isSymLink())
        QFile::remove(link); // left dangling by a moved or removed install
    QFile target(installed);
    if (!target.link(link))
        return cannotCreateFileMessage(link, target.errorString());
    return std::nullopt;
}

} // namespace tessaly
