#include "documents/TranslateTableFile.h"

#include "documents/XmlText.h"
#include "platform/AtomicFile.h"

#include <QDomDocument>
#include <QFileInfo>
#include <QXmlStreamWriter>
#include <vector>

namespace tessaly {

namespace {
LoadedTranslateTable stoppedAt(LoadedTranslateTable loaded, int row, const QString& reason) {
    loaded.reason = TableReadStoppedMessage.arg(row).arg(reason);
    loaded.problem = loaded.reason + TableReadStoppedEditorNote;
    return loaded;
}
} // namespace

LoadedTranslateTable LoadTranslateTable(const QString& varFile) {
    LoadedTranslateTable loaded;
    if (!documentPresent(varFile))
        return loaded;
    const LoadedXml xml = loadXmlFile(varFile);
    if (!xml.ok()) {
        loaded.reason = TableNotReadMessage.arg(xml.error);
        loaded.problem = loaded.reason + TableNotReadEditorNote;
        return loaded;
    }
    // The root is the first node, whatever it is: a document that starts with a
    // declaration or a comment has no rows.
    const QDomNodeList children = xml.document.firstChild().childNodes();
    loaded.rows.reserve(children.size());
    for (int i = 0; i < children.size(); ++i) {
        const int row = i + 1;
        const QDomNode node = children.at(i);
        if (!node.isElement())
            return stoppedAt(std::move(loaded), row, RowNotElementReason);
        const QDomElement element = node.toElement();
        VarRowAttributes& attributes = loaded.rows.emplace_back();
        for (std::size_t a = 0; a < TranslateTableAttributes.size(); ++a) {
            if (!element.hasAttribute(TranslateTableAttributes[a])) {
                loaded.lastRowIncomplete = true;
                return stoppedAt(std::move(loaded), row,
                                 RowMissingAttributeReason.arg(TranslateTableAttributes[a]));
            }
            attributes[a] = element.attribute(TranslateTableAttributes[a]);
        }
    }
    return loaded;
}

bool isXmlStorable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            ++i;
            continue;
        }
        const bool allowedControl = c == u'\t' || c == u'\n' || c == u'\r';
        if ((c < 0x20 && !allowedControl) || QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            return false;
    }
    return true;
}

QByteArray TranslateTableXml(std::span<const VarRowAttributes> rows) {
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.setAutoFormatting(false);
    writer.writeStartElement(TranslateTableRootName);
    for (const VarRowAttributes& attributes : rows) {
        writer.writeEmptyElement(TranslateTableRowName);
        for (std::size_t a = 0; a < attributes.size(); ++a)
            writer.writeAttribute(TranslateTableAttributes[a], attributes[a]);
    }
    writer.writeEndElement();
    return bytes;
}

std::optional<QString> WriteTranslateTable(const QString& varFile, std::span<const TMyRec> records,
                                           std::span<const VarRowAttributes> keptRows) {
    QList<VarRowAttributes> rows;
    rows.reserve(static_cast<qsizetype>(records.size() + keptRows.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!isXmlStorable(records[i].Mnemonic))
            return cannotCreateFileMessage(varFile, UnstorableMnemonicReason.arg(i + 1));
        rows.push_back(attributesOf(records[i]));
    }
    rows.append(QList<VarRowAttributes>(keptRows.begin(), keptRows.end()));
    return writeXmlFile(varFile, TranslateTableXml(rows));
}

std::optional<QString> WriteEmptyTranslateTable(const QString& varFile) {
    return WriteTranslateTable(varFile, {});
}

std::variant<QList<TMyRec>, QString> readTranslateTableRecords(const QString& varFile) {
    const LoadedTranslateTable table = LoadTranslateTable(varFile);
    if (!table.reason.isEmpty())
        return table.reason;
    std::vector<TableRow> rows;
    for (const VarRowAttributes& attributes : table.rows)
        rows.push_back(cellsOf(attributes));
    TableCheck check = ValidateTranslateTable(rows);
    if (!check.ok())
        return TableUnreadableText.arg(check.failedRow).arg(check.message);
    return std::move(check.records);
}

} // namespace tessaly
