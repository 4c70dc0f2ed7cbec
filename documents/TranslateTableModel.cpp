#include "documents/TranslateTableModel.h"

#include <QComboBox>
#include <QLineEdit>
#include <limits>

namespace tessaly {

namespace {
const QString ColumnTitles[TranslateTableModel::ColumnCount] = {
    QStringLiteral("N°"),          QStringLiteral("Data Type"),
    QStringLiteral("Address TCP"), QStringLiteral("Address Device RTU"),
    QStringLiteral("Address RTU"), QStringLiteral("N° Point"),
    QStringLiteral("Mnemonic")};
} // namespace

TranslateTableModel::TranslateTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void TranslateTableModel::reset(QList<TableRow> rows, bool numbered) {
    beginResetModel();
    rows_ = std::move(rows);
    numbered_ = numbered;
    endResetModel();
}

int TranslateTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TranslateTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TranslateTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (index.column() == NumberColumn)
        return numbered_ ? QString::number(index.row() + 1) : QString();
    return rows_[index.row()][index.column() - FirstCellColumn];
}

bool TranslateTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() == NumberColumn)
        return false;
    QString& cell = rows_[index.row()][index.column() - FirstCellColumn];
    const QString text = value.toString();
    if (cell != text) {
        cell = text;
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

QVariant TranslateTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return ColumnTitles[section];
}

Qt::ItemFlags TranslateTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() == NumberColumn)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QWidget* CellTextDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // A line edit cuts its text at 32767 characters unless told otherwise.
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setMaxLength(std::numeric_limits<int>::max());
    return editor;
}

QWidget* DataTypeDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
    auto* picker = new QComboBox(parent);
    picker->setObjectName(QStringLiteral("DataTypePicker"));
    picker->setEditable(false);
    picker->addItems(DataTypeNames);
    connect(picker, &QComboBox::activated, this, &DataTypeDelegate::commitAndClose);
    return picker;
}

void DataTypeDelegate::commitAndClose() {
    // A choice is a complete edit: store it and close the pick list.
    auto* picker = qobject_cast<QWidget*>(sender());
    emit commitData(picker);
    emit closeEditor(picker);
}

void DataTypeDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* picker = static_cast<QComboBox*>(editor);
    picker->setCurrentIndex(DataTypeNames.indexOf(index.data(Qt::EditRole).toString()));
}

void DataTypeDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    // A cell holding something else keeps it until a name is picked.
    const auto* picker = static_cast<QComboBox*>(editor);
    if (picker->currentIndex() >= 0)
        model->setData(index, picker->currentText(), Qt::EditRole);
}

} // namespace tessaly
