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

// The limits of a project document, for reading and writing alike. A larger file,
// or elements nested deeper than any document nests them, is refused before it is
// parsed, so that reading it takes bounded time and memory. The writers refuse a
// document beyond the size limit (they nest two deep), so whatever they write reads
// back. 16 MiB holds the largest table the editor keeps (2000 rows) with mnemonics
// of several thousand characters each.
inline constexpr qint64 XmlDocumentMaxSize = qint64(16) << 20;
inline constexpr int XmlDocumentMaxDepth = 64;
inline const QString XmlDocumentTooLargeMessage =
    QStringLiteral("\"%1\": the file holds %2 bytes, more than a project document can (%3 bytes)");
inline const QString XmlDocumentNotWellFormedMessage = QStringLiteral("\"%1\": %2 (line %3, column %4)");
inline const QString XmlDocumentTooLargeToWriteMessage =
    QStringLiteral("The document would hold %1 bytes, more than a project document can (%2 bytes).");
inline const QString XmlDocumentTooDeepMessage =
    QStringLiteral("\"%1\": elements nested more than %2 deep (line %3, column %4)");

// Whether a document is there to be read: a file, or a name taken by anything else
// (a directory, a link that leads nowhere), which reading then reports. Only a name
// that is free means "no document".
bool documentPresent(const QString& path);

// Loads `path` as XML. A missing, unreadable, ill-formed, too large or too deeply
// nested file gives an error text that names the file.
LoadedXml loadXmlFile(const QString& path);

// Replaces the document at `path` with `bytes`, unless they are more than a project
// document can hold. Returns the error text on failure; the previous file is then
// untouched.
std::optional<QString> writeXmlFile(const QString& path, const QByteArray& bytes);

// The first top-level element of `document` named exactly `name`, or a null element.
QDomElement topLevelElement(const QDomDocument& document, const QString& name);

// The first child element of `parent` named exactly `name`, or a null element.
QDomElement firstChildElement(const QDomElement& parent, const QString& name);

// An element's text: the value of its only child when that child is text or CDATA,
// the empty text without children; nothing for any other content.
std::optional<QString> elementText(const QDomElement& element);

} // namespace tessaly
