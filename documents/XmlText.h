#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <optional>

namespace tessaly {

// A document loaded from a file, or the reason it could not be.
struct LoadedXml {
    QDomDocument document;
    QString error; // empty when loaded
    bool ok() const { return error.isEmpty(); }
};

// Loads `path` as XML. A missing, unreadable or ill-formed file gives an error text
// that names the file.
LoadedXml loadXmlFile(const QString& path);

// The first top-level element of `document` named exactly `name`, or a null element.
QDomElement topLevelElement(const QDomDocument& document, const QString& name);

// The first child element of `parent` named exactly `name`, or a null element.
QDomElement firstChildElement(const QDomElement& parent, const QString& name);

// An element's text: the value of its only child when that child is text or CDATA,
// the empty text without children; nothing for any other content.
std::optional<QString> elementText(const QDomElement& element);

} // namespace tessaly
