#pragma once

#include "documents/TranslateTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <span>
#include <variant>

namespace tessaly {

// var.xml: the element names and the attribute names in the order they are written.
inline const QString TranslateTableRootName = QStringLiteral("TCP_TO_RTU");
inline const QString TranslateTableRowName = QStringLiteral("row");
inline const std::array<QString, TableColumnCount> TranslateTableAttributes = {
    QStringLiteral("DATA_TYPE"),   QStringLiteral("TCP_ADDRESS"), QStringLiteral("RTU_ADD_DEV"),
    QStringLiteral("RTU_ADDRESS"), QStringLiteral("N_POINT"),     QStringLiteral("MNEMONIC")};

// Why reading var.xml stopped early, and what the table editor says about it.
inline const QString RowNotElementReason = QStringLiteral("is not an element");
inline const QString RowMissingAttributeReason = QStringLiteral("has no attribute %1");
inline const QString TableReadStoppedMessage =
    QStringLiteral("Reading the translate table stopped at row %1: the row %2.");
inline const QString TableNotReadMessage = QStringLiteral("The translate table could not be read: %1.");
inline const QString TableReadStoppedEditorNote =
    QStringLiteral(" The rest of the file is not shown; OK replaces the file with the table as shown.");
inline const QString TableNotReadEditorNote =
    QStringLiteral(" The table is shown empty; OK replaces the file with the table as shown.");
inline const QString UnstorableMnemonicReason =
    QStringLiteral("The mnemonic of row %1 holds a character that an XML document cannot store.");

// var.xml as read: the attribute texts of its rows, and where and why reading stopped.
struct LoadedTranslateTable {
    // Every row read, in order; a row whose reading stopped half-way comes last with
    // the attributes read before the missing one.
    QList<VarRowAttributes> rows;
    bool lastRowIncomplete = false;
    // Empty when the document was read whole (or there is none); otherwise why and
    // where reading stopped...
    QString reason;
    // ...and the table editor's text, which adds what it shows and what OK does.
    QString problem;
};

// Reads the table at `varFile`. A missing file is an empty table. The root is the
// document's first node whatever its kind, and its children are rows by position.
LoadedTranslateTable LoadTranslateTable(const QString& varFile);

inline const QString TableUnreadableText = QStringLiteral("The translate table cannot be read: row %1: %2");

// The records of the table at `varFile` as the editor's OK would take them: every row
// read whole and valid. Otherwise why not: where reading stopped, or the first row
// that fails its checks (TableUnreadableText).
std::variant<QList<TMyRec>, QString> readTranslateTableRecords(const QString& varFile);

// The document: `TCP_TO_RTU` with one `row` per entry, no declaration, no indentation.
// Every text must be storable (see isXmlStorable).
QByteArray TranslateTableXml(std::span<const VarRowAttributes> rows);

// Whether `text` holds only characters an XML document can carry.
bool isXmlStorable(const QString& text);

// Replaces `varFile` with `records` followed by `keptRows` (rows of a longer
// document that the editor does not show). Returns the error text on failure; the
// previous file is then untouched; a mnemonic that XML cannot carry is refused.
std::optional<QString> WriteTranslateTable(const QString& varFile, std::span<const TMyRec> records,
                                           std::span<const VarRowAttributes> keptRows = {});

// A new project's table: `TCP_TO_RTU` without rows.
std::optional<QString> WriteEmptyTranslateTable(const QString& varFile);

} // namespace tessaly
