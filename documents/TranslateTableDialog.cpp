#include "documents/TranslateTableDialog.h"

#include "documents/TranslateTableFile.h"
#include "documents/TranslateTableModel.h"
#include "platform/Messages.h"
#include "workspace/ProjectPaths.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

TFSetVar::TFSetVar(const ProjectPaths& paths, Messages& messages, QWidget* parent)
    : QDialog(parent), paths_(paths), messages_(messages), model_(new TranslateTableModel(this)) {
    setObjectName(QStringLiteral("TFSetVar"));
    setWindowTitle(QStringLiteral("Set Translate Table"));

    // Until its first opening the table holds one empty row.
    model_->reset(QList<TableRow>(1), false);

    Grid = new QTableView(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setAccessibleName(QStringLiteral("Translate table"));
    Grid->setModel(model_);
    Grid->setItemDelegate(new CellTextDelegate(Grid));
    Grid->setItemDelegateForColumn(TranslateTableModel::FirstCellColumn + DataTypeColumn,
                                   new DataTypeDelegate(Grid));
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 8);
    Grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                          QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    Grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    // Widths follow the font, so the table reads the same on a high-density screen.
    const int character = Grid->fontMetrics().averageCharWidth();
    Grid->setColumnWidth(TranslateTableModel::NumberColumn, character * 7);
    Grid->setColumnWidth(TranslateTableModel::FirstCellColumn + DataTypeColumn, character * 20);
    Grid->horizontalHeader()->setStretchLastSection(true);
    Grid->installEventFilter(this);

    bitbtn1 = new QPushButton(QStringLiteral("OK"), this);
    bitbtn1->setObjectName(QStringLiteral("bitbtn1"));
    bitbtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    bitbtn2->setObjectName(QStringLiteral("bitbtn2"));
    // Enter belongs to the table's cells, not to OK.
    bitbtn1->setAutoDefault(false);
    bitbtn2->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bitbtn1);
    buttons->addWidget(bitbtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid);
    layout->addLayout(buttons);
    resize(character * 110, Grid->verticalHeader()->defaultSectionSize() * 20);

    connect(bitbtn1, &QPushButton::clicked, this, &TFSetVar::bitbtn1Click);
    connect(bitbtn2, &QPushButton::clicked, this, &TFSetVar::bitbtn2Click);
}

void TFSetVar::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFSetVar::FormShow() {
    LoadedTranslateTable loaded = LoadTranslateTable(paths_.VarFile);
    QList<TableRow> rows(TranslateTableRows);
    const qsizetype shown = std::min<qsizetype>(loaded.rows.size(), TranslateTableRows);
    for (qsizetype i = 0; i < shown; ++i)
        rows[i] = cellsOf(loaded.rows[i]);
    kept_.clear();
    if (loaded.rows.size() > TranslateTableRows) {
        // A row that could not be read whole is not kept: it would come back changed.
        if (loaded.lastRowIncomplete)
            loaded.rows.removeLast();
        kept_ = loaded.rows.mid(TranslateTableRows);
    }
    model_->reset(std::move(rows), true);
    Grid->scrollToTop();

    if (!kept_.isEmpty())
        messages_.plain(TableTooLongMessage.arg(TranslateTableRows).arg(kept_.size()));
    if (!loaded.problem.isEmpty())
        messages_.error(loaded.problem);
}

void TFSetVar::bitbtn1Click() {
    const TableCheck check = ConfirmTranslateTable(model_->rows());
    records_ = check.records;
    if (!check.ok()) {
        messages_.error(check.message);
        const QModelIndex failed = model_->index(check.failedRow - 1, TranslateTableModel::NumberColumn);
        Grid->scrollTo(failed);
        return;
    }
    if (const std::optional<QString> failure = WriteTranslateTable(paths_.VarFile, records_, kept_)) {
        messages_.error(*failure);
        return;
    }
    accept();
}

void TFSetVar::bitbtn2Click() {
    reject();
}

bool TFSetVar::WriteDefaultTranslateTable() {
    // A new project starts with an empty table, whatever an earlier opening left in
    // the dialog for another project.
    records_.clear();
    if (const std::optional<QString> failure = WriteEmptyTranslateTable(paths_.VarFile)) {
        messages_.error(*failure);
        return false;
    }
    return true;
}

bool TFSetVar::eventFilter(QObject* watched, QEvent* event) {
    // While a cell is being edited its editor has the keys; here the table itself has them.
    if (watched == Grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            clearSelectedCells();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFSetVar::clearSelectedCells() {
    for (const QModelIndex& index : Grid->selectionModel()->selectedIndexes())
        model_->setData(index, QString());
}

} // namespace tessaly
