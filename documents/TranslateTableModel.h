#pragma once

#include "documents/TranslateTable.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStyledItemDelegate>

namespace tessaly {

// The translate table's cells as typed, behind a seven-column view: the row number
// ("N°", read-only) and the six cells of a row.
class TranslateTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int NumberColumn = 0;
    static constexpr int FirstCellColumn = 1; // the column of a row's first cell
    static constexpr int ColumnCount = FirstCellColumn + int{TableColumnCount};

    explicit TranslateTableModel(QObject* parent = nullptr);

    // Replaces every row; numbered rows show 1, 2, ... in "N°".
    void reset(QList<TableRow> rows, bool numbered);
    const QList<TableRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<TableRow> rows_;
    bool numbered_ = false;
};

// The other cells are typed; a mnemonic has no length limit, so neither has the editor.
class CellTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

// "Data Type" cells are chosen from a pick list of the four names.
class DataTypeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private slots:
    void commitAndClose();
};

} // namespace tessaly
