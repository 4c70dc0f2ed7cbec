#include "app/MainWindow.h"
#include "documents/TranslateTableDialog.h"
#include "documents/TranslateTableFile.h"
#include "documents/TranslateTableModel.h"
#include "tests/support/TestSupport.h"
#include "workspace/ProjectPaths.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QByteArray PumpRow =
    R"(<row DATA_TYPE="3" TCP_ADDRESS="100" RTU_ADD_DEV="1" RTU_ADDRESS="0" N_POINT="10" MNEMONIC="PUMP1"/>)";

QByteArray rowXml(int type, int tcp, const QString& mnemonic) {
    return QStringLiteral(
               R"(<row DATA_TYPE="%1" TCP_ADDRESS="%2" RTU_ADD_DEV="1" RTU_ADDRESS="2" N_POINT="3" )"
               R"(MNEMONIC="%3"/>)")
        .arg(type)
        .arg(tcp)
        .arg(mnemonic)
        .toUtf8();
}

struct Harness {
    RecordingMessages messages;
    QTemporaryDir dir;
    ProjectPaths paths;
    std::unique_ptr<TFSetVar> dialog;

    Harness() {
        paths.ProjectDir = dir.path();
        paths.VarFile = dir.filePath("var.xml");
        dialog = std::make_unique<TFSetVar>(paths, messages);
    }
    QString cell(int row, int column) const { return dialog->model().index(row, column).data().toString(); }
    // The six cells of a row, without its number.
    QStringList rowCells(int row) const {
        QStringList cells;
        for (int c = TranslateTableModel::FirstCellColumn; c < TranslateTableModel::ColumnCount; ++c)
            cells << cell(row, c);
        return cells;
    }
    void type(int row, int column, const QString& text) const {
        QVERIFY(dialog->model().setData(dialog->model().index(row, column), text));
    }
    QByteArray file() const { return readAll(paths.VarFile); }
};

// Types `text` into a cell through its editor, as a user does.
void typeIntoCell(QTableView& grid, int row, int column, const QString& text) {
    const QModelIndex index = grid.model()->index(row, column);
    grid.setCurrentIndex(index);
    grid.edit(index);
    auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(index));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(index.data().toString(), text); // Return commits through a queued call
}
} // namespace

class TestTranslateTableDialog : public QObject {
    Q_OBJECT
private slots:
    void beforeFirstOpening();
    void openingNumbersAndLoads();
    void typingAndPickList();
    void confirmWritesAndCloses();
    void refusedConfirmKeepsDialogOpen_data();
    void refusedConfirmKeepsDialogOpen();
    void failedWriteIsShown();
    void cancelAndCloseBoxLeaveFile();
    void halfReadFileIsReported();
    void rowsBeyondTheTableAreKept();
    void deleteClearsSelectedCells();
    void mainWindowCommand();
};

void TestTranslateTableDialog::beforeFirstOpening() {
    Harness h;
    QCOMPARE(h.dialog->objectName(), QString("TFSetVar"));
    QCOMPARE(h.dialog->windowTitle(), QString("Set Translate Table"));
    QCOMPARE(h.dialog->model().rowCount(), 1);
    QCOMPARE(h.cell(0, 0), QString());
    QVERIFY(h.dialog->WriteDefaultTranslateTable());
    QCOMPARE(h.file(), QByteArray("<TCP_TO_RTU/>"));
    QCOMPARE(h.messages.shown, QStringList());

    // Confirming the never-opened table writes the same empty document.
    writeAll(h.paths.VarFile, "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>");
    h.dialog->bitbtn1Click();
    QCOMPARE(h.file(), QByteArray("<TCP_TO_RTU/>"));
}

void TestTranslateTableDialog::openingNumbersAndLoads() {
    Harness h;
    writeAll(h.paths.VarFile, "<TCP_TO_RTU>" + rowXml(1, 5, "C") + rowXml(2, 6, "I") + rowXml(4, 7, "R") +
                                  PumpRow + "</TCP_TO_RTU>");
    h.dialog->show();
    const QStringList titles{"N°",          "Data Type", "Address TCP", "Address Device RTU",
                             "Address RTU", "N° Point",  "Mnemonic"};
    for (int c = 0; c < titles.size(); ++c)
        QCOMPARE(h.dialog->model().headerData(c, Qt::Horizontal).toString(), titles[c]);
    QCOMPARE(h.dialog->model().rowCount(), 2000);
    QCOMPARE(h.cell(0, 0), QString("1"));
    QCOMPARE(h.cell(1999, 0), QString("2000"));
    QVERIFY(!(h.dialog->model().flags(h.dialog->model().index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(h.rowCells(0), (QStringList{"Coil Status", "5", "1", "2", "3", "C"}));
    QCOMPARE(h.rowCells(1), (QStringList{"Input Status", "6", "1", "2", "3", "I"}));
    QCOMPARE(h.rowCells(2), (QStringList{"Input Register", "7", "1", "2", "3", "R"}));
    QCOMPARE(h.rowCells(3), (QStringList{"Holding Register", "100", "1", "0", "10", "PUMP1"}));
    QCOMPARE(h.rowCells(4), QStringList(6));
    QCOMPARE(h.messages.shown, QStringList());

    // Every opening starts afresh from the file: edits of the last one are gone.
    h.type(4, 2, "999");
    h.dialog->hide();
    writeAll(h.paths.VarFile, "<TCP_TO_RTU/>");
    h.dialog->show();
    QCOMPARE(h.rowCells(0), QStringList(6));
    QCOMPARE(h.rowCells(4), QStringList(6));
}

void TestTranslateTableDialog::typingAndPickList() {
    Harness h;
    h.dialog->show();
    QTableView& grid = *h.dialog->Grid;
    QCOMPARE(grid.objectName(), QString("Grid"));
    typeIntoCell(grid, 0, 2, "0100");
    typeIntoCell(grid, 0, 6, " Pump 1 ");
    QCOMPARE(h.cell(0, 2), QString("0100"));
    QCOMPARE(h.cell(0, 6), QString(" Pump 1 "));

    const QModelIndex typeCell = h.dialog->model().index(0, 1);
    grid.setCurrentIndex(typeCell);
    grid.edit(typeCell);
    auto* picker = qobject_cast<QComboBox*>(grid.indexWidget(typeCell));
    QVERIFY(picker);
    QCOMPARE(picker->objectName(), QString("DataTypePicker"));
    QVERIFY(!picker->isEditable());
    QStringList offered;
    for (int i = 0; i < picker->count(); ++i)
        offered << picker->itemText(i);
    QCOMPARE(offered, (QStringList{"Coil Status", "Input Status", "Holding Register", "Input Register"}));
    QCOMPARE(picker->currentIndex(), -1);
    QTest::keyClick(picker, Qt::Key_Down); // picks the first name and closes the list
    QCOMPARE(h.cell(0, 1), QString("Coil Status"));
    QVERIFY(!grid.indexWidget(typeCell));

    // A cell holding something else keeps it until a name is picked.
    h.type(1, 1, "holding register");
    const QModelIndex other = h.dialog->model().index(1, 1);
    grid.setCurrentIndex(other);
    grid.edit(other);
    picker = qobject_cast<QComboBox*>(grid.indexWidget(other));
    QVERIFY(picker);
    QCOMPARE(picker->currentIndex(), -1);
    QTest::keyClick(picker, Qt::Key_Escape);
    QCOMPARE(h.cell(1, 1), QString("holding register"));
    h.type(1, 1, "");

    // A mnemonic has no length limit: its editor keeps a long one whole.
    const QString longMnemonic(40000, 'm');
    h.type(2, 6, longMnemonic);
    const QModelIndex mnemonic = h.dialog->model().index(2, 6);
    grid.setCurrentIndex(mnemonic);
    grid.edit(mnemonic);
    auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(mnemonic));
    QVERIFY(editor);
    editor->end(false);
    QTest::keyClicks(editor, "x");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(h.cell(2, 6), longMnemonic + "x");
    h.type(2, 6, "");

    // OK pressed while a cell is still being edited takes the text as typed.
    const QModelIndex points = h.dialog->model().index(0, 5);
    grid.setCurrentIndex(points);
    grid.edit(points);
    QTest::keyClicks(grid.indexWidget(points), "12");
    h.type(0, 3, "1");
    h.type(0, 4, "2");
    QTest::mouseClick(h.dialog->bitbtn1, Qt::LeftButton);
    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(h.file(), QByteArray(R"(<TCP_TO_RTU><row DATA_TYPE="1" TCP_ADDRESS="100" RTU_ADD_DEV="1" )"
                                  R"(RTU_ADDRESS="2" N_POINT="12" MNEMONIC=" Pump 1 "/></TCP_TO_RTU>)"));
}

void TestTranslateTableDialog::confirmWritesAndCloses() {
    Harness h;
    ScriptedDialogs dialogs;
    dialogs.script("TFSetVar", [&h](QDialog&) {
        h.type(0, 1, "Holding Register");
        h.type(0, 2, "0100");
        h.type(0, 3, "1");
        h.type(0, 4, "0");
        h.type(0, 5, "10");
        h.type(0, 6, "PUMP1");
        h.type(1, 1, "Coil Status");
        h.type(1, 2, "65535");
        h.type(1, 3, "255");
        h.type(1, 4, "$10");
        h.type(1, 5, "127");
        h.type(3, 2, "7"); // after the first empty "Address TCP": not taken
        QTest::mouseClick(h.dialog->bitbtn1, Qt::LeftButton);
    });
    QCOMPARE(dialogs.run(*h.dialog), int(QDialog::Accepted));
    QCOMPARE(h.messages.shown, QStringList());
    QCOMPARE(h.file(),
             "<TCP_TO_RTU>" + PumpRow +
                 R"(<row DATA_TYPE="1" TCP_ADDRESS="65535" RTU_ADD_DEV="255" RTU_ADDRESS="16" N_POINT="127" )"
                 R"(MNEMONIC=""/></TCP_TO_RTU>)");
    QCOMPARE(h.dialog->records().size(), 2);

    // Coil Status comes back by name, so confirming again gives the same document.
    const QByteArray written = h.file();
    dialogs.script("TFSetVar", [&h](QDialog&) {
        QCOMPARE(h.cell(1, 1), QString("Coil Status"));
        QCOMPARE(h.cell(0, 2), QString("100"));
        QTest::mouseClick(h.dialog->bitbtn1, Qt::LeftButton);
    });
    QCOMPARE(dialogs.run(*h.dialog), int(QDialog::Accepted));
    QCOMPARE(h.file(), written);
}

void TestTranslateTableDialog::refusedConfirmKeepsDialogOpen_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("lower-case data type in row 5")
        << 4 << 1 << "holding register"
        << "Error!! Type Data must be Holding Register or Input Register (Line 5). ";
    QTest::newRow("pick list name in the last row")
        << 1999 << 1 << "Holding"
        << "Error!! Type Data must be Holding Register or Input Register (Line 2000). ";
    QTest::newRow("Address TCP without data type")
        << 0 << 1 << ""
        << "Error!! Data Type must be Holding Register or Input Register. ";
}

void TestTranslateTableDialog::refusedConfirmKeepsDialogOpen() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    Harness h;
    writeAll(h.paths.VarFile, "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>");
    h.dialog->show();
    h.type(row, column, text);
    h.dialog->bitbtn1Click();
    QCOMPARE(h.messages.errors, QStringList{message});
    QVERIFY(h.dialog->isVisible());
    QCOMPARE(h.cell(row, column), text);
    QCOMPARE(h.file(), "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>");
}

void TestTranslateTableDialog::failedWriteIsShown() {
    Harness h;
    h.paths.VarFile = h.dir.filePath("gone/var.xml");
    h.dialog->show();
    h.type(0, 1, "Input Register");
    for (int c = 2; c <= 5; ++c)
        h.type(0, c, "1");
    h.dialog->bitbtn1Click();
    QCOMPARE(h.messages.errors.size(), 1);
    QVERIFY(h.messages.errors.first().startsWith("Cannot create file \"" +
                                                 QDir::toNativeSeparators(h.paths.VarFile)));
    QVERIFY(h.dialog->isVisible());

    QVERIFY(QDir().mkdir(h.dir.filePath("gone")));
    h.dialog->bitbtn1Click();
    QVERIFY(!h.dialog->isVisible());
    QCOMPARE(h.dialog->result(), int(QDialog::Accepted));
    QVERIFY(h.file().startsWith(R"(<TCP_TO_RTU><row DATA_TYPE="4")"));

    // New project's default document reports a failure the same way.
    h.paths.VarFile = h.dir.filePath("missing/var.xml");
    QVERIFY(!h.dialog->WriteDefaultTranslateTable());
    QCOMPARE(h.messages.errors.size(), 2);
}

void TestTranslateTableDialog::cancelAndCloseBoxLeaveFile() {
    Harness h;
    const QByteArray document = "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>";
    writeAll(h.paths.VarFile, document);
    ScriptedDialogs dialogs;
    dialogs.script("TFSetVar", [&h](QDialog&) {
        h.type(0, 2, "5");
        QTest::mouseClick(h.dialog->bitbtn2, Qt::LeftButton);
    });
    dialogs.script("TFSetVar", [&h](QDialog& dialog) {
        h.type(0, 2, "6");
        dialog.setResult(QDialog::Accepted);
        QVERIFY(dialog.close());
    });
    QCOMPARE(dialogs.run(*h.dialog), int(QDialog::Rejected));
    QCOMPARE(dialogs.run(*h.dialog), int(QDialog::Rejected));
    QCOMPARE(h.file(), document);
    QCOMPARE(h.messages.shown, QStringList());
}

void TestTranslateTableDialog::halfReadFileIsReported() {
    Harness h;
    writeAll(h.paths.VarFile, "<TCP_TO_RTU>" + PumpRow +
                                  QByteArray(PumpRow).replace(R"( MNEMONIC="PUMP1")", "") + PumpRow +
                                  "</TCP_TO_RTU>");
    h.dialog->show();
    QCOMPARE(h.messages.errors,
             QStringList{
                 "Reading the translate table stopped at row 2: the row has no attribute MNEMONIC. The rest "
                 "of the file is not shown; OK replaces the file with the table as shown."});
    QCOMPARE(h.rowCells(1), (QStringList{"Holding Register", "100", "1", "0", "10", ""}));
    QCOMPARE(h.rowCells(2), QStringList(6));
    h.dialog->hide();

    writeAll(h.paths.VarFile, "<TCP_TO_RTU>" + PumpRow);
    h.messages.errors.clear();
    h.dialog->show();
    QCOMPARE(h.messages.errors.size(), 1);
    QVERIFY(h.messages.errors.first().startsWith("The translate table could not be read: \"" +
                                                 QDir::toNativeSeparators(h.paths.VarFile) + "\": "));
    QCOMPARE(h.rowCells(0), QStringList(6));
}

void TestTranslateTableDialog::rowsBeyondTheTableAreKept() {
    Harness h;
    QByteArray rows;
    for (int i = 0; i < 2003; ++i)
        rows += rowXml(i % 4 + 1, i, QStringLiteral("M%1").arg(i));
    const QByteArray document = "<TCP_TO_RTU>" + rows + "</TCP_TO_RTU>";
    writeAll(h.paths.VarFile, document);
    h.dialog->show();
    QCOMPARE(h.messages.shown,
             QStringList{"The translate table has more than 2000 rows; the editor shows the first "
                         "2000. The other 3 rows are kept unchanged after them when you press OK."});
    QCOMPARE(h.dialog->model().rowCount(), 2000);
    QCOMPARE(h.rowCells(1999), (QStringList{"Input Register", "1999", "1", "2", "3", "M1999"}));
    QCOMPARE(h.dialog->keptRows().size(), 3);

    h.dialog->bitbtn1Click();
    QVERIFY(!h.dialog->isVisible());
    QCOMPARE(h.file(), document);

    // Edits in the table land before the kept rows.
    h.dialog->show();
    h.type(0, 6, "FIRST");
    h.dialog->bitbtn1Click();
    QCOMPARE(h.file(), QByteArray(document).replace("MNEMONIC=\"M0\"", "MNEMONIC=\"FIRST\""));
}

void TestTranslateTableDialog::deleteClearsSelectedCells() {
    Harness h;
    writeAll(h.paths.VarFile, "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>");
    h.dialog->show();
    QTableView& grid = *h.dialog->Grid;
    grid.setFocus();
    grid.selectionModel()->select(
        QItemSelection(h.dialog->model().index(0, 1), h.dialog->model().index(0, 3)),
        QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&grid, Qt::Key_Delete);
    QCOMPARE(h.rowCells(0), (QStringList{"", "", "", "0", "10", "PUMP1"}));
    QCOMPARE(h.cell(0, 0), QString("1"));
}

void TestTranslateTableDialog::mainWindowCommand() {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    FixedClock clock;
    ProgramDir dir;
    TFTessalyeFirmWare window(dir.path(), GuiPlatform{messages, pickers, dialogs, [](const QUrl&) {}, clock});
    auto* button = window.findChild<QPushButton*>("btn_Translate");
    QVERIFY(window.FSetVar);
    QVERIFY(window.FSetVar->parent() == &window);

    // New project writes the empty table.
    dialogs.script("TFsaveproj", [](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("Edit1"), "Plant2");
        QTest::mouseClick(dialog.findChild<QPushButton*>("bitbtn1"), Qt::LeftButton);
    });
    QTest::mouseClick(window.findChild<QPushButton*>("New"), Qt::LeftButton);
    QCOMPARE(readAll(dir.file("PROJECTS/Plant2/var.xml")), QByteArray("<TCP_TO_RTU/>"));

    // The hidden command opens the table of the current project.
    dialogs.script("TFSetVar", [](QDialog& dialog) {
        auto& table = static_cast<TFSetVar&>(dialog);
        table.model().setData(table.model().index(0, 1), "Input Register");
        table.model().setData(table.model().index(0, 2), "1");
        table.model().setData(table.model().index(0, 3), "2");
        table.model().setData(table.model().index(0, 4), "3");
        table.model().setData(table.model().index(0, 5), "4");
        QTest::mouseClick(table.bitbtn1, Qt::LeftButton);
    });
    button->click();
    QCOMPARE(dialogs.ran, (QStringList{"TFsaveproj", "TFSetVar"}));
    QVERIFY(readAll(dir.file("PROJECTS/Plant2/var.xml")).startsWith(R"(<TCP_TO_RTU><row DATA_TYPE="4")"));

    // Without a project it refuses before opening anything.
    QVERIFY(QDir(dir.file("PROJECTS/Plant2")).removeRecursively());
    QTest::mouseClick(window.findChild<QPushButton*>("open"), Qt::LeftButton); // picker cancelled
    button->click();
    QCOMPARE(messages.shown, QStringList{"Project not valid"});
    QCOMPARE(dialogs.ran.size(), 2);
}

QTEST_MAIN(TestTranslateTableDialog)
#include "tst_translatetabledialog.moc"
