#include "documents/TranslateTable.h"
#include "documents/TranslateTableCsv.h"
#include "documents/TranslateTableFile.h"
#include "documents/XmlText.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaly;
using test::readAll;
using test::writeAll;

Q_DECLARE_METATYPE(tessaly::TableRow)
Q_DECLARE_METATYPE(tessaly::TMyRec)

namespace {
TableRow cells(const QString& type, const QString& tcp, const QString& device, const QString& rtu,
               const QString& points, const QString& mnemonic) {
    return {type, tcp, device, rtu, points, mnemonic};
}

// A valid row with one cell replaced.
TableRow validWith(int column, const QString& text) {
    TableRow row = cells("Holding Register", "100", "1", "0", "10", "PUMP1");
    row[column] = text;
    return row;
}

const QByteArray PumpRow =
    R"(<row DATA_TYPE="3" TCP_ADDRESS="100" RTU_ADD_DEV="1" RTU_ADDRESS="0" N_POINT="10" MNEMONIC="PUMP1"/>)";
} // namespace

class TestTranslateTable : public QObject {
    Q_OBJECT
private slots:
    void confirm_data();
    void confirm();
    void confirmBuildsRecords();
    void documentBytes_data();
    void documentBytes();
    void writeAndReloadReproducesCells();
    void load_data();
    void load();
    void writeFailureKeepsPreviousFile_data();
    void writeFailureKeepsPreviousFile();
    void largestWritableDocumentReadsBack();
    void csvRoundTrip();
    void csvRefusals_data();
    void csvRefusals();
    void csvSpreadsheetForms();
};

void TestTranslateTable::confirm_data() {
    QTest::addColumn<QList<TableRow>>("rows");
    QTest::addColumn<int>("failedRow");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("records");

    const TableRow valid = validWith(0, "Holding Register");
    const TableRow empty{};
    QTest::newRow("empty table") << QList<TableRow>(2000) << 0 << QString() << 0;
    QTest::newRow("row 1 without Address TCP ends the table")
        << QList<TableRow>{validWith(TcpAddressColumn, ""), valid} << 0 << QString() << 0;
    QTest::newRow("all four names") << QList<TableRow>{validWith(0, "Coil Status"),
                                                       validWith(0, "Input Status"),
                                                       validWith(0, "Holding Register"),
                                                       validWith(0, "Input Register")}
                                    << 0 << QString() << 4;
    QTest::newRow("lower-case name in row 5")
        << QList<TableRow>{valid, valid, valid, valid, validWith(0, "holding register")} << 5
        << "Error!! Type Data must be Holding Register or Input Register (Line 5). " << 0;
    QTest::newRow("pre-check runs before the table checks")
        << QList<TableRow>{validWith(TcpAddressColumn, "x"), empty, validWith(0, "Coil status")} << 3
        << "Error!! Type Data must be Holding Register or Input Register (Line 3). " << 0;
    QTest::newRow("pre-check covers rows after the end")
        << QList<TableRow>{empty, validWith(0, "Holding register ")} << 2
        << "Error!! Type Data must be Holding Register or Input Register (Line 2). " << 0;
    QTest::newRow("Address TCP without Data Type")
        << QList<TableRow>{valid, validWith(0, "")} << 2
        << "Error!! Data Type must be Holding Register or Input Register. " << 0;

    struct Limit {
        const char* name;
        int column;
        const char* text;
        const char* message; // nullptr: accepted
    };
    const Limit limits[] = {
        {"Address TCP 65535", TcpAddressColumn, "65535", nullptr},
        {"Address TCP 65536", TcpAddressColumn, "65536", "Error!! Address TCP must be between 0 and 65535. "},
        {"Address TCP -1", TcpAddressColumn, "-1", "Error!! Address TCP must be between 0 and 65535. "},
        {"Address TCP text", TcpAddressColumn, "1O", "Error!! Address TCP must be between 0 and 65535. "},
        {"Address TCP blank", TcpAddressColumn, " ", "Error!! Address TCP must be between 0 and 65535. "},
        {"Address TCP hex", TcpAddressColumn, "$FFFF", nullptr},
        {"Address Device RTU 255", RtuAddDevColumn, "255", nullptr},
        {"Address Device RTU 256", RtuAddDevColumn, "256",
         "Error!! Address Device RTU must be between 0 and 255. "},
        {"Address Device RTU empty", RtuAddDevColumn, "",
         "Error!! Address Device RTU must be between 0 and 255. "},
        {"Address RTU 0", RtuAddressColumn, "0", nullptr},
        {"Address RTU 65536", RtuAddressColumn, "65536", "Error!! Address RTU must be between 0 and 65535. "},
        {"N° Point 127", NPointColumn, "127", nullptr},
        {"N° Point 128", NPointColumn, "128", "Error!! N° Point must be between 0 and 127. "},
        {"N° Point -0", NPointColumn, "-0", nullptr},
        {"Mnemonic anything", MnemonicColumn, " <&\"> ", nullptr},
    };
    for (const Limit& l : limits) {
        QTest::newRow(l.name) << QList<TableRow>{valid, validWith(l.column, l.text)} << (l.message ? 2 : 0)
                              << QString::fromUtf8(l.message ? l.message : "") << (l.message ? 0 : 2);
    }
    TableRow twoFaults = validWith(TcpAddressColumn, "70000");
    twoFaults[NPointColumn] = "200";
    QTest::newRow("cells are checked in column order")
        << QList<TableRow>{twoFaults} << 1 << "Error!! Address TCP must be between 0 and 65535. " << 0;
}

void TestTranslateTable::confirm() {
    QFETCH(QList<TableRow>, rows);
    QFETCH(int, failedRow);
    QFETCH(QString, message);
    QFETCH(int, records);
    const TableCheck check = ConfirmTranslateTable(rows);
    QCOMPARE(check.failedRow, failedRow);
    QCOMPARE(check.message, message);
    QCOMPARE(check.records.size(), records);
}

void TestTranslateTable::confirmBuildsRecords() {
    const QList<TableRow> rows{cells("Coil Status", "0100", "+7", "$1F", " 3", ""),
                               cells("Input Register", "65535", "255", "0x10", "127", "A,B")};
    const TableCheck check = ConfirmTranslateTable(rows);
    QVERIFY(check.ok());
    QCOMPARE(check.records, (QList<TMyRec>{{1, 100, 7, 31, 3, ""}, {4, 65535, 255, 16, 127, "A,B"}}));
}

void TestTranslateTable::documentBytes_data() {
    QTest::addColumn<QList<TMyRec>>("records");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty table") << QList<TMyRec>{} << QByteArray("<TCP_TO_RTU/>");
    QTest::newRow("example row") << QList<TMyRec>{{3, 100, 1, 0, 10, "PUMP1"}}
                                 << "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>";
    QTest::newRow("limits and Coil Status")
        << QList<TMyRec>{{1, 65535, 255, 65535, 127, ""}, {2, 0, 0, 0, 0, "x"}}
        << QByteArray(R"(<TCP_TO_RTU><row DATA_TYPE="1" TCP_ADDRESS="65535" RTU_ADD_DEV="255" )"
                      R"(RTU_ADDRESS="65535" N_POINT="127" MNEMONIC=""/><row DATA_TYPE="2" TCP_ADDRESS="0" )"
                      R"(RTU_ADD_DEV="0" RTU_ADDRESS="0" N_POINT="0" MNEMONIC="x"/></TCP_TO_RTU>)");
    QTest::newRow("mnemonic escaped, UTF-8")
        << QList<TMyRec>{{4, 1, 2, 3, 4, "a\"<&>'\tb\nc°"}}
        << QByteArray(R"(<TCP_TO_RTU><row DATA_TYPE="4" TCP_ADDRESS="1" RTU_ADD_DEV="2" RTU_ADDRESS="3" )"
                      R"(N_POINT="4" MNEMONIC="a&quot;&lt;&amp;&gt;'&#9;b&#10;c)"
                      "\xC2\xB0"
                      R"("/></TCP_TO_RTU>)");
}

void TestTranslateTable::documentBytes() {
    QFETCH(QList<TMyRec>, records);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath("var.xml");
    QCOMPARE(WriteTranslateTable(path, records), std::nullopt);
    QCOMPARE(readAll(path), bytes);
}

void TestTranslateTable::writeAndReloadReproducesCells() {
    const QList<TableRow> typed{cells("Coil Status", "0100", "+1", "0x10", "007", "Pump \"A\"\n<1>"),
                                cells("Input Status", "1", "2", "3", "4", " spaced "),
                                cells("Holding Register", "65535", "255", "65535", "127", ""),
                                cells("Input Register", "0", "0", "0", "0", "°C")};
    const TableCheck check = ConfirmTranslateTable(typed);
    QVERIFY(check.ok());
    QTemporaryDir dir;
    const QString path = dir.filePath("var.xml");
    QCOMPARE(WriteTranslateTable(path, check.records), std::nullopt);

    const LoadedTranslateTable loaded = LoadTranslateTable(path);
    QCOMPARE(loaded.problem, QString());
    QList<TableRow> reloaded;
    for (const VarRowAttributes& attributes : loaded.rows)
        reloaded << cellsOf(attributes);
    QList<TableRow> canonical = typed;
    canonical[0] = cells("Coil Status", "100", "1", "16", "7", "Pump \"A\"\n<1>");
    QCOMPARE(reloaded, canonical);
}

void TestTranslateTable::load_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QList<TableRow>>("rows");
    QTest::addColumn<QString>("problem");

    const TableRow pump = cells("Holding Register", "100", "1", "0", "10", "PUMP1");
    QTest::newRow("no file") << QByteArray() << QList<TableRow>{} << QString();
    QTest::newRow("empty table") << QByteArray("<TCP_TO_RTU/>") << QList<TableRow>{} << QString();
    QTest::newRow("declaration first") << "<?xml version=\"1.0\"?><TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>"
                                       << QList<TableRow>{} << QString();
    QTest::newRow("comment first") << "<!-- table --><TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>"
                                   << QList<TableRow>{} << QString();
    QTest::newRow("names are not examined, layout is ignored")
        << "<OTHER>\r\n  " + QByteArray(PumpRow).replace("<row", "<line") + "\r\n</OTHER>\r\n"
        << QList<TableRow>{pump} << QString();
    QTest::newRow("data type codes")
        << QByteArray(
               R"(<T><r DATA_TYPE="1" TCP_ADDRESS="1" RTU_ADD_DEV="" RTU_ADDRESS="x" N_POINT="01" MNEMONIC=""/>)"
               R"(<r DATA_TYPE="0x2" TCP_ADDRESS="" RTU_ADD_DEV="" RTU_ADDRESS="" N_POINT="" MNEMONIC=""/>)"
               R"(<r DATA_TYPE="5" TCP_ADDRESS="" RTU_ADD_DEV="" RTU_ADDRESS="" N_POINT="" MNEMONIC=""/>)"
               R"(<r DATA_TYPE="Holding Register" TCP_ADDRESS="" RTU_ADD_DEV="" RTU_ADDRESS="" N_POINT="" )"
               R"(MNEMONIC=""/></T>)")
        << QList<TableRow>{cells("Coil Status", "1", "", "x", "01", ""),
                           cells("Input Status", "", "", "", "", ""), TableRow{}, TableRow{}}
        << QString();
    QTest::newRow("row without MNEMONIC")
        << "<TCP_TO_RTU>" + PumpRow + QByteArray(PumpRow).replace(R"( MNEMONIC="PUMP1")", "") + PumpRow +
               "</TCP_TO_RTU>"
        << QList<TableRow>{pump, cells("Holding Register", "100", "1", "0", "10", "")}
        << "Reading the translate table stopped at row 2: the row has no attribute MNEMONIC. The rest of the "
           "file "
           "is not shown; OK replaces the file with the table as shown.";
    QTest::newRow("child that is not an element")
        << "<TCP_TO_RTU>" + PumpRow + "<!-- pumps -->" + PumpRow + "</TCP_TO_RTU>" << QList<TableRow>{pump}
        << "Reading the translate table stopped at row 2: the row is not an element. The rest of the file is "
           "not "
           "shown; OK replaces the file with the table as shown.";
}

void TestTranslateTable::load() {
    QFETCH(QByteArray, document);
    QFETCH(QList<TableRow>, rows);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath("var.xml");
    if (!document.isEmpty())
        writeAll(path, document);
    const LoadedTranslateTable loaded = LoadTranslateTable(path);
    QList<TableRow> shown;
    for (const VarRowAttributes& attributes : loaded.rows)
        shown << cellsOf(attributes);
    QCOMPARE(shown, rows);
    QCOMPARE(loaded.problem, problem);
}

void TestTranslateTable::writeFailureKeepsPreviousFile_data() {
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("reason");
    QTest::newRow("control character")
        << QString("a\x01") << "The mnemonic of row 2 holds a character that an XML document cannot store.";
    QTest::newRow("lone surrogate")
        << QString(QChar(0xD800))
        << "The mnemonic of row 2 holds a character that an XML document cannot store.";
}

void TestTranslateTable::writeFailureKeepsPreviousFile() {
    QFETCH(QString, mnemonic);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("var.xml");
    writeAll(path, "<TCP_TO_RTU/>");
    const QList<TMyRec> records{{3, 1, 1, 1, 1, "ok"}, {3, 2, 2, 2, 2, mnemonic}};
    QCOMPARE(WriteTranslateTable(path, records),
             "Cannot create file \"" + QDir::toNativeSeparators(path) + "\". " + reason);
    QCOMPARE(readAll(path), QByteArray("<TCP_TO_RTU/>"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"var.xml"});

    // A directory in the file's place cannot be replaced either.
    QVERIFY(QDir().mkdir(dir.filePath("sub")));
    QVERIFY(QDir().mkdir(dir.filePath("sub/var.xml")));
    const std::optional<QString> failure = WriteEmptyTranslateTable(dir.filePath("sub/var.xml"));
    QVERIFY(failure && failure->startsWith("Cannot create file \""));
}

void TestTranslateTable::largestWritableDocumentReadsBack() {
    QTemporaryDir dir;
    const QString path = dir.filePath("var.xml");
    QList<TMyRec> records{{3, 1, 1, 1, 1, "a"}, {3, 2, 2, 2, 2, ""}};
    QCOMPARE(WriteTranslateTable(path, records), std::nullopt);
    // The last mnemonic grows the document to exactly the limit.
    records[1].Mnemonic = QString(XmlDocumentMaxSize - QFileInfo(path).size(), u'x');
    QCOMPARE(WriteTranslateTable(path, records), std::nullopt);
    QCOMPARE(QFileInfo(path).size(), XmlDocumentMaxSize);
    const LoadedTranslateTable loaded = LoadTranslateTable(path);
    QCOMPARE(loaded.problem, QString());
    QCOMPARE(loaded.rows.size(), 2);
    QCOMPARE(loaded.rows[1][MnemonicColumn], records[1].Mnemonic);

    // One byte more is refused before anything is written.
    const QByteArray before = readAll(path);
    records[0].Mnemonic = "ab";
    QCOMPARE(WriteTranslateTable(path, records),
             QString("Cannot create file \"%1\". The document would hold %2 bytes, more than a project "
                     "document can (%3 bytes).")
                 .arg(QDir::toNativeSeparators(path))
                 .arg(XmlDocumentMaxSize + 1)
                 .arg(XmlDocumentMaxSize));
    QVERIFY(readAll(path) == before);
}

void TestTranslateTable::csvRoundTrip() {
    const QList<TableRow> rows{cells("Holding Register", "100", "1", "0", "10", "PUMP1"),
                               cells("Coil Status", "0100", "", "", "", "a,b \"c\"\r\nd"), TableRow{}};
    const QByteArray csv = TranslateTableCsv(rows);
    QCOMPARE(csv,
             QByteArray("Data Type,Address TCP,Address Device RTU,Address RTU,N\xC2\xB0 Point,Mnemonic\r\n"
                        "Holding Register,100,1,0,10,PUMP1\r\n"
                        "Coil Status,0100,,,,\"a,b \"\"c\"\"\r\nd\"\r\n"
                        ",,,,,\r\n"));
    const CsvTable back = TranslateTableFromCsv(csv);
    QCOMPARE(back.error, QString());
    QCOMPARE(back.rows, rows);
}

void TestTranslateTable::csvRefusals_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("error");
    const QByteArray header = TranslateTableCsvHeader.toUtf8() + "\r\n";
    QTest::newRow("nothing") << QByteArray() << CsvHeaderMessage.arg(TranslateTableCsvHeader);
    QTest::newRow("other header") << QByteArray("Type,TCP\r\n")
                                  << CsvHeaderMessage.arg(TranslateTableCsvHeader);
    QTest::newRow("Latin-1")
        << QByteArray("Data Type,Address TCP,Address Device RTU,Address RTU,N\xB0 Point,Mnemonic")
        << "Row 0, column 5: byte 55 (0xB0) is not UTF-8 text.";
    QTest::newRow("too few fields") << header + "Coil Status,1,2\r\n"
                                    << "Row 1 has 3 fields; a row has 6.";
    QTest::newRow("too many fields") << header + ",,,,,\r\n,,,,,,\r\n"
                                     << "Row 2 has 7 fields; a row has 6.";
    QTest::newRow("text after a quoted field") << header + "\"a\"b,,,,,\r\n"
                                               << "Row 1, column 1: misplaced quote at byte 77.";
    QTest::newRow("quote inside a field") << header + "a\"b,,,,,\r\n"
                                          << "Row 1, column 1: misplaced quote at byte 75.";
    QTest::newRow("quote never closed") << header + ",,,,,\r\n,,,,,\"abc\r\n"
                                        << "Row 2, column 6: the quote at byte 86 is never closed.";
}

void TestTranslateTable::csvRefusals() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, error);
    const CsvTable table = TranslateTableFromCsv(csv);
    QCOMPARE(table.error, error);
    QVERIFY(table.rows.isEmpty());
}

void TestTranslateTable::csvSpreadsheetForms() {
    // A byte order mark, LF line ends, an empty line, no line end after the last row;
    // a mark at the start of a field is part of it.
    const CsvTable table =
        TranslateTableFromCsv("\xEF\xBB\xBF" + TranslateTableCsvHeader.toUtf8() +
                              "\nInput Register,1,2,3,4,\xEF\xBB\xBFM\n\n\"Coil Status\",5,6,7,8,\"\"");
    QCOMPARE(table.error, QString());
    QCOMPARE(table.rows,
             (QList<TableRow>{cells("Input Register", "1", "2", "3", "4", QChar(0xFEFF) + QString("M")),
                              TableRow{}, cells("Coil Status", "5", "6", "7", "8", "")}));
}

QTEST_GUILESS_MAIN(TestTranslateTable)
#include "tst_translatetable.moc"
