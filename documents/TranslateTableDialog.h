#pragma once

#include "documents/TranslateTable.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTableView;

namespace tessaly {

class Messages;
class TranslateTableModel;
struct ProjectPaths;

inline const QString TableTooLongMessage = QStringLiteral(
    "The translate table has more than %1 rows; the editor shows the first %1. The other %2 rows "
    "are kept unchanged after them when you press OK.");

// "Set Translate Table": the project's var.xml as a table of 2000 rows. OK checks the
// cells and rewrites the document; Cancel and the close box leave it as it was.
class TFSetVar : public QDialog {
    Q_OBJECT
public:
    TFSetVar(const ProjectPaths& paths, Messages& messages, QWidget* parent = nullptr);

    QTableView* Grid;
    QPushButton* bitbtn1;
    QPushButton* bitbtn2;

    TranslateTableModel& model() const { return *model_; }
    // The records of the last confirm step.
    const QList<TMyRec>& records() const { return records_; }
    // The rows of a longer document beyond the table, written back after its rows.
    const QList<VarRowAttributes>& keptRows() const { return kept_; }

    void FormShow();
    void bitbtn1Click();
    void bitbtn2Click();

    // Gives a new project its empty table document without opening the dialog.
    // Returns whether it was written; a failure has been shown.
    bool WriteDefaultTranslateTable();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clearSelectedCells();

    const ProjectPaths& paths_;
    Messages& messages_;
    TranslateTableModel* model_;
    QList<TMyRec> records_;
    QList<VarRowAttributes> kept_;
};

} // namespace tessaly
