#include "documents/OperationMode.h"

#include "documents/ParseInt32.h"
#include "documents/XmlText.h"

#include <QFileInfo>

namespace tessaly {

std::optional<bool> translateTableEnabledFor(const QString& pargenFile) {
    if (!QFileInfo(pargenFile).isFile())
        return std::nullopt;
    const LoadedXml loaded = loadXmlFile(pargenFile);
    if (!loaded.ok())
        return std::nullopt;
    const QDomElement root = topLevelElement(loaded.document, QStringLiteral("General_Parameter"));
    const std::optional<QString> text = elementText(firstChildElement(root, QStringLiteral("MODE")));
    if (!text)
        return true;
    const std::optional<std::int32_t> mode = ParseInt32(*text);
    return !mode || *mode != 0;
}

} // namespace tessaly
