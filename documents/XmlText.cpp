#include "documents/XmlText.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace tessaly {

namespace {
// The place where elements first nest deeper than the limit; nothing when they never
// do (or the document is ill-formed before that, which the parser then reports).
std::optional<std::pair<qint64, qint64>> tooDeepAt(QIODevice& file) {
    QXmlStreamReader reader(&file);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > XmlDocumentMaxDepth)
                return std::pair(reader.lineNumber(), reader.columnNumber());
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return std::nullopt;
}
} // namespace

bool documentPresent(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

LoadedXml loadXmlFile(const QString& path) {
    LoadedXml loaded;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = cannotOpenFileMessage(path, file.errorString());
        return loaded;
    }
    const QString name = QDir::toNativeSeparators(path);
    if (file.size() > XmlDocumentMaxSize) {
        loaded.error = XmlDocumentTooLargeMessage.arg(name).arg(file.size()).arg(XmlDocumentMaxSize);
        return loaded;
    }
    if (const auto at = tooDeepAt(file)) {
        loaded.error =
            XmlDocumentTooDeepMessage.arg(name).arg(XmlDocumentMaxDepth).arg(at->first).arg(at->second);
        return loaded;
    }
    if (!file.seek(0)) {
        loaded.error = cannotOpenFileMessage(path, file.errorString());
        return loaded;
    }
    QString message;
    int line = 0;
    int column = 0;
    if (!loaded.document.setContent(&file, false, &message, &line, &column)) {
        loaded.error = XmlDocumentNotWellFormedMessage.arg(name, message).arg(line).arg(column);
        loaded.document.clear();
    }
    return loaded;
}

std::optional<QString> writeXmlFile(const QString& path, const QByteArray& bytes) {
    if (bytes.size() > XmlDocumentMaxSize)
        return cannotCreateFileMessage(
            path, XmlDocumentTooLargeToWriteMessage.arg(bytes.size()).arg(XmlDocumentMaxSize));
    return writeFileAtomically(path, bytes);
}

QDomElement topLevelElement(const QDomDocument& document, const QString& name) {
    for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isElement() && node.nodeName() == name)
            return node.toElement();
    }
    return {};
}

QDomElement firstChildElement(const QDomElement& parent, const QString& name) {
    if (parent.isNull())
        return {};
    return parent.firstChildElement(name);
}

std::optional<QString> elementText(const QDomElement& element) {
    if (element.isNull())
        return std::nullopt;
    const QDomNodeList children = element.childNodes();
    if (children.isEmpty())
        return QString();
    if (children.size() != 1)
        return std::nullopt;
    const QDomNode child = children.at(0);
    if (child.isText() || child.isCDATASection())
        return child.nodeValue();
    return std::nullopt;
}

} // namespace tessaly
