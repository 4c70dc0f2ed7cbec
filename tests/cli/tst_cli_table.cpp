#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QTest>

using namespace tessaly::test;

namespace {
const QByteArray Header = "Data Type,Address TCP,Address Device RTU,Address RTU,N\xC2\xB0 Point,Mnemonic\r\n";

// A program directory with the project Plant1, created by the command line.
struct Project {
    ProgramDir dir;
    Project() {
        const CliRun run = runCli({"--program-dir", dir.path(), "new", "Plant1"});
        QCOMPARE(run.exitCode, 0);
    }
    QString varFile() const { return dir.file("PROJECTS/Plant1/var.xml"); }
    CliRun table(const QStringList& arguments) const {
        return runCli(QStringList{"--program-dir", dir.path(), "table"} + arguments +
                      QStringList{"--project", "Plant1"});
    }
    CliRun import(const QByteArray& csv) const {
        writeAll(dir.file("in.csv"), csv);
        return table({"import", dir.file("in.csv")});
    }
};
} // namespace

class TestCliTable : public QObject {
    Q_OBJECT
private slots:
    void newProjectHasEmptyTable();
    void importThenExport();
    void exportThenImportKeepsFileBytes();
    void importRefusals_data();
    void importRefusals();
    void importIgnoresRowsAfterTheEnd();
    void exportOfUnreadableTable();
    void usageErrors_data();
    void usageErrors();
};

void TestCliTable::newProjectHasEmptyTable() {
    Project p;
    QCOMPARE(readAll(p.varFile()), QByteArray("<TCP_TO_RTU/>"));
    const CliRun run = p.table({"export"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.toUtf8(), Header);
    QCOMPARE(run.err, QString());
}

void TestCliTable::importThenExport() {
    Project p;
    const CliRun run = p.import(Header + "Holding Register,0100,1,0,10,PUMP1\r\n"
                                         "Coil Status,$10,255,65535,127,\"a,\"\"b\"\"\"\r\n");
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(
        readAll(p.varFile()),
        QByteArray(R"(<TCP_TO_RTU><row DATA_TYPE="3" TCP_ADDRESS="100" RTU_ADD_DEV="1" RTU_ADDRESS="0" )"
                   R"(N_POINT="10" MNEMONIC="PUMP1"/><row DATA_TYPE="1" TCP_ADDRESS="16" RTU_ADD_DEV="255" )"
                   R"(RTU_ADDRESS="65535" N_POINT="127" MNEMONIC="a,&quot;b&quot;"/></TCP_TO_RTU>)"));
    const CliRun exported = p.table({"export"});
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.out.toUtf8(), Header + "Holding Register,100,1,0,10,PUMP1\r\n"
                                             "Coil Status,16,255,65535,127,\"a,\"\"b\"\"\"\r\n");
}

void TestCliTable::exportThenImportKeepsFileBytes() {
    Project p;
    // All four types, mnemonics that need quoting and escaping, as many rows as the editor holds.
    QByteArray rows;
    const char* mnemonics[] = {"", "PUMP,1", "say \"hi\"", "two\nlines", "°C & <tag>", " spaced "};
    for (int i = 0; i < 2000; ++i) {
        const QString mnemonic = QString::fromUtf8(mnemonics[i % 6]).toHtmlEscaped().replace("\n", "&#10;");
        rows += QStringLiteral(R"(<row DATA_TYPE="%1" TCP_ADDRESS="%2" RTU_ADD_DEV="%3" RTU_ADDRESS="%4" )"
                               R"(N_POINT="%5" MNEMONIC="%6"/>)")
                    .arg(i % 4 + 1)
                    .arg(i * 31 % 65536)
                    .arg(i % 256)
                    .arg(65535 - i)
                    .arg(i % 128)
                    .arg(mnemonic)
                    .toUtf8();
    }
    const QByteArray document = "<TCP_TO_RTU>" + rows + "</TCP_TO_RTU>";
    writeAll(p.varFile(), document);

    const CliRun exported = p.table({"export"});
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.out.count("\r\n"), 2001); // the header and the rows; a line end in a cell stays LF
    const CliRun imported = p.import(exported.out.toUtf8());
    QCOMPARE(imported.err, QString());
    QCOMPARE(imported.exitCode, 0);
    QCOMPARE(readAll(p.varFile()), document);
}

void TestCliTable::importRefusals_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("message");
    const QByteArray valid = "Input Register,1,2,3,4,M\r\n";
    QTest::newRow("lower-case data type in row 5")
        << Header + valid + valid + valid + valid + "holding register,1,2,3,4,M\r\n"
        << "Error!! Type Data must be Holding Register or Input Register (Line 5). \n";
    QTest::newRow("no data type")
        << Header + valid + ",1,2,3,4,M\r\n"
        << "Row 2: Error!! Data Type must be Holding Register or Input Register. \n";
    QTest::newRow("Address Device RTU 256")
        << Header + valid + valid + "Coil Status,1,256,3,4,M\r\n"
        << "Row 3: Error!! Address Device RTU must be between 0 and 255. \n";
    QTest::newRow("field count") << Header + "Coil Status,1,2,3\r\n"
                                 << "{csv}: Row 1 has 4 fields; a row has 6.\n";
    QTest::newRow("no header") << valid
                               << "{csv}: The first line must be the header \"" +
                                      QString::fromUtf8(Header).trimmed() + "\".\n";
    QByteArray many = Header;
    for (int i = 0; i < 2000; ++i)
        many += valid;
    QTest::newRow("2001 rows, the last one bad")
        << many + "Coil Status,1,256,3,4,M\r\n\r\n,,,,,\r\n"
        << "The file holds 2001 rows; the translate table holds at most 2000. Nothing is imported.\n";
    QTest::newRow("control character in a mnemonic")
        << Header + "Coil Status,1,2,3,4,a\x01\r\n"
        << "Cannot create file \"{var}\". The mnemonic of row 1 holds a character that an XML document "
           "cannot store.\n";
}

void TestCliTable::importRefusals() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    Project p;
    const QByteArray before =
        "<TCP_TO_RTU><row DATA_TYPE=\"3\" TCP_ADDRESS=\"1\" RTU_ADD_DEV=\"1\" RTU_ADDRESS=\"1\" "
        "N_POINT=\"1\" MNEMONIC=\"KEEP\"/></TCP_TO_RTU>";
    writeAll(p.varFile(), before);
    const CliRun run = p.import(csv);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QString(message).replace("{csv}", p.dir.file("in.csv")).replace("{var}", p.varFile()));
    QCOMPARE(readAll(p.varFile()), before);
}

void TestCliTable::importIgnoresRowsAfterTheEnd() {
    Project p;
    const CliRun run = p.import(Header + "Coil Status,1,2,3,4,A\r\n,,,,,\r\nInput Register,5,6,7,8,B\r\n");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err,
             QString("Rows from row 2 on are not imported: row 2 has an empty \"Address TCP\" and ends "
                     "the table.\n"));
    QCOMPARE(readAll(p.varFile()),
             QByteArray(R"(<TCP_TO_RTU><row DATA_TYPE="1" TCP_ADDRESS="1" RTU_ADD_DEV="2" RTU_ADDRESS="3" )"
                        R"(N_POINT="4" MNEMONIC="A"/></TCP_TO_RTU>)"));
    // Empty rows at the end are no news.
    const CliRun quiet = p.import(Header + "Coil Status,1,2,3,4,A\r\n,,,,,\r\n\r\n");
    QCOMPARE(quiet.exitCode, 0);
    QCOMPARE(quiet.err, QString());
}

void TestCliTable::exportOfUnreadableTable() {
    Project p;
    writeAll(p.varFile(), "<TCP_TO_RTU><row DATA_TYPE=\"3\"/></TCP_TO_RTU>");
    const CliRun run = p.table({"export"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err,
             QString("Reading the translate table stopped at row 1: the row has no attribute TCP_ADDRESS. "
                     "Nothing is exported.\n"));
    const CliRun missing = p.table({"import", p.dir.file("none.csv")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.err.startsWith("Cannot open file \"" + p.dir.file("none.csv") + "\". "));
}

void TestCliTable::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no action") << QStringList{"table"};
    QTest::newRow("unknown action") << QStringList{"table", "merge"};
    QTest::newRow("import without file") << QStringList{"table", "import"};
    QTest::newRow("export with file") << QStringList{"table", "export", "x.csv"};
    QTest::newRow("unknown option") << QStringList{"table", "export", "--force"};
    QTest::newRow("unknown project") << QStringList{"table", "export", "--project", "Nowhere"};
}

void TestCliTable::usageErrors() {
    QFETCH(QStringList, arguments);
    ProgramDir dir;
    const CliRun run = runCli(QStringList{"--program-dir", dir.path()} + arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("Usage: tessaly-cli table"));
}

QTEST_GUILESS_MAIN(TestCliTable)
#include "tst_cli_table.moc"
