#include "tests/image/SRecordText.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTest>

using namespace tessaly::test;

namespace {
// A program directory with a reference firmware whose bank window is erased.
struct Fleet {
    ProgramDir dir;
    Fleet() {
        QDir().mkpath(dir.file("MASTER"));
        QByteArray firmware = firmwareWithBank(QByteArray(0x4000, '\xFF'));
        firmware.replace("S804000000FB", "S9030000FC"); // the merge looks for an S9 terminator
        writeAll(dir.file("MASTER/sx48316.sx"), firmware);
    }
    CliRun run(const QStringList& arguments) const {
        return runCli(QStringList{"--program-dir", dir.path()} + arguments);
    }
    CliRun apply(const QByteArray& csv) const {
        writeAll(dir.file("fleet.csv"), csv);
        return run({"fleet", "apply", dir.file("fleet.csv")});
    }
    // Every file below PROJECTS with its modification time.
    QMap<QString, QDateTime> projectTimes() const {
        QMap<QString, QDateTime> times;
        for (const QString& path : projectFiles().keys()) {
            if (QFileInfo(path).isFile())
                times.insert(path, QFileInfo(path).lastModified());
        }
        return times;
    }
    // Every file below PROJECTS with its bytes, named with forward slashes.
    QMap<QString, QByteArray> projectFiles() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(dir.file("PROJECTS"), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.insert(QDir::fromNativeSeparators(path),
                         QFileInfo(path).isDir() ? QByteArray("<dir>") : readAll(path));
        }
        return files;
    }
};
} // namespace

class TestCliFleet : public QObject {
    Q_OBJECT
private slots:
    void refusedRowWritesNothing_data();
    void refusedRowWritesNothing();
    void oneFolderTwiceOrUnfitNameRefused();
    void tableFileTooLargeRefusedUnread();
    void spreadsheetTableApplies();
    void exportApplyRoundTrip();
    void checkFindsClashesAndStaleFiles();
};

void TestCliFleet::refusedRowWritesNothing_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("refusals"); // standard error
    const QByteArray good = "project,ip,baud\r\nLine1,10.0.0.11,19200\r\nLine9,10.0.0.19,\r\n";
    QTest::newRow("octet out of range")
        << good + "Line3,10.0.0.300,9600\r\n"
        << "row 3, column ip, value \"10.0.0.300\": Error!! IP must be between 0 and 255. \n";
    QTest::newRow("two faults in two rows")
        << QByteArray("project,port,parity\r\nLine1,0,odd\r\nLine2,502,space\r\n")
        << "row 1, column port, value \"0\": Error!! Port must be between 1 and 65535. \n"
           "row 2, column parity, value \"space\": bad value for parity: \"space\"\n";
    QTest::newRow("project name") << good + "..,10.0.0.3,\r\n"
                                  << "row 3, column project, value \"..\": Name project not valid\n";
    QTest::newRow("project twice") << good + "Line1,10.0.0.3,\r\n"
                                   << "row 3, column project, value \"Line1\": The project is named in row 1 "
                                      "already.\n";
    QTest::newRow("kept value out of range") << QByteArray("project,baud\r\nLine0,9600\r\n")
                                             << "row 1, column project, value \"Line0\": TimeOut Error!!\n";
    QTest::newRow("unknown column") << QByteArray("project,colour\r\nLine1,red\r\n")
                                    << "header, column colour: unknown key colour\n";
    QTest::newRow("short row") << good + "Line3\r\n"
                               << "row 3: The row has 1 fields; the header has 3.\n";
    // Names the file system would cut short or break into lines.
    QTest::newRow("NUL in a name")
        << good + QByteArray("Li\0ne3,10.0.0.3,\r\n", 18)
        << "row 3, column project, value \"Li\\u0000ne3\": Name project not valid\n";
    QTest::newRow("line end in a quoted name")
        << good + "\"Line\r\n3\",10.0.0.3,\r\n"
        << "row 3, column project, value \"Line\\r\\n3\": Name project not valid\n";
    // What a spreadsheet or a text editor gets wrong, named by row, column and byte.
    QTest::newRow("not UTF-8") << good + "Line\xE9,10.0.0.3,\r\n"
                               << "row 3, column project: byte 63 (0xE9) is not UTF-8 text\n";
    QTest::newRow("misplaced quote") << good + "Line3,10.0\"0.3,\r\n"
                                     << "row 3, column ip: misplaced quote at byte 69\n";
    QTest::newRow("quote never closed") << good + "Line3,\"10.0.0.3,\r\n"
                                        << "row 3, column ip: the quote at byte 65 is never closed\n";
    QTest::newRow("semicolons") << QByteArray("project;ip\r\nLine1;10.0.0.1\r\n")
                                << "header: The columns are separated by \";\"; a fleet table separates them "
                                   "by commas.\n";
    QTest::newRow("blank after a column name")
        << QByteArray("project,ip \r\nLine1,10.0.0.1\r\n") << "header, column \"ip \": unknown key ip \n";
    QTest::newRow("unnamed column") << QByteArray("project,,ip\r\nLine1,,10.0.0.1\r\n")
                                    << "header, column 2: The column has no name.\n";
    QTest::newRow("value under no column")
        << QByteArray("project,ip,,\r\nLine1,10.0.0.1,,x\r\n")
        << "row 1, column 4, value \"x\": The header names no column here.\n";
    QTest::newRow("blank at a value's end") << QByteArray("project,baud\r\nLine1,19200 \r\n")
                                            << "row 1, column baud, value \"19200 \": bad value for baud: "
                                               "\"19200 \"\n";
}

void TestCliFleet::refusedRowWritesNothing() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, refusals);
    Fleet fleet;
    QCOMPARE(fleet.run({"new", "Line0"}).exitCode, 0);
    QCOMPARE(fleet.run({"set", "--project", "Line0", "TIME_OUT=70000"}).exitCode, 1); // refused by set...
    // ...so the out-of-range value is put in the document by hand.
    QByteArray document = readAll(fleet.dir.file("PROJECTS/Line0/pargen.xml"));
    document.replace("<TIME_OUT>1000</TIME_OUT>", "<TIME_OUT>70000</TIME_OUT>");
    writeAll(fleet.dir.file("PROJECTS/Line0/pargen.xml"), document);
    const QMap<QString, QByteArray> before = fleet.projectFiles();

    const CliRun run = fleet.apply(csv);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, refusals + "Nothing was written.\n");
    QCOMPARE(fleet.projectFiles(), before);
}

void TestCliFleet::oneFolderTwiceOrUnfitNameRefused() {
    Fleet fleet;
    QCOMPARE(fleet.run({"new", "Pump"}).exitCode, 0);
    const QMap<QString, QByteArray> before = fleet.projectFiles();
    const QString nothing = "Nothing was written.\n";

    // A name longer than the file system takes is refused with the rest, not at write time.
    const QString longName(300, QLatin1Char('n'));
    CliRun run = fleet.apply("project,ip\r\nPump,10.0.0.1\r\n" + longName.toUtf8() + ",10.0.0.2\r\n");
#ifdef Q_OS_WIN
    const QString unit = "characters"; // of UTF-16, as NTFS counts
#else
    const QString unit = "bytes";
#endif
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, "row 2, column project, value \"" + longName + "\": The name is 300 " + unit +
                          " long; the file system allows at most 255 " + unit + ".\n" + nothing);
    QCOMPARE(fleet.projectFiles(), before);

#ifndef Q_OS_WIN
    // A link in PROJECTS and the folder it leads to are one project.
    QVERIFY(QFile::link(fleet.dir.file("PROJECTS/Pump"), fleet.dir.file("PROJECTS/Alias")));
    run = fleet.apply("project,ip\r\nPump,10.0.0.1\r\nAlias,10.0.0.2\r\n");
    QCOMPARE(run.err, "row 2, column project, value \"Alias\": The project is the folder of row 1 (\"Pump\") "
                      "already.\n" +
                          nothing);
    QVERIFY(QFile::remove(fleet.dir.file("PROJECTS/Alias")));
#endif

    // Two new names that differ only in case are one folder where the volume ignores case
    // (Windows; Wine's view of a Linux disk), two folders where it does not.
    const bool foldsCase = QFileInfo::exists(fleet.dir.file("PROJECTS/PUMP"));
    run = fleet.apply("project,ip\r\nValve,10.0.0.3\r\nVALVE,10.0.0.4\r\n");
    if (foldsCase) {
        QCOMPARE(run.err, "row 2, column project, value \"VALVE\": The project is the folder of row 1 "
                          "(\"Valve\") already.\n" +
                              nothing);
        QCOMPARE(fleet.projectFiles(), before);
    } else {
        QCOMPARE(run.out, "Valve: done\nVALVE: done\n2 of 2 devices done\n");
    }
}

void TestCliFleet::tableFileTooLargeRefusedUnread() {
    Fleet fleet;
    const QString large = fleet.dir.file("large.csv");
    QFile file(large);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(16 * 1024 * 1024 + 1));
    file.close();
    CliRun run = fleet.run({"fleet", "apply", large});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, "\"" + large + "\" holds 16777217 bytes; a table file holds at most 16777216 bytes.\n");
#ifndef Q_OS_WIN
    run = fleet.run({"fleet", "apply", "/dev/zero"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err,
             QString("\"/dev/zero\" holds more than 16777216 bytes, more than a table file holds.\n"));
#endif
    QCOMPARE(fleet.projectFiles(), (QMap<QString, QByteArray>()));
    // The translate table's import reads its file by the same rule.
    QCOMPARE(fleet.run({"new", "Pump"}).exitCode, 0);
    const QByteArray table = readAll(fleet.dir.file("PROJECTS/Pump/var.xml"));
    run = fleet.run({"table", "import", "--project", "Pump", large});
    QCOMPARE(run.err, "\"" + large + "\" holds 16777217 bytes; a table file holds at most 16777216 bytes.\n");
    QCOMPARE(readAll(fleet.dir.file("PROJECTS/Pump/var.xml")), table);
}

void TestCliFleet::spreadsheetTableApplies() {
    Fleet fleet;
    // As spreadsheets save it: a byte order mark, CR alone ending each line, the header
    // padded with empty cells, a row left blank.
    const CliRun run = fleet.apply("\xEF\xBB\xBFproject,ip,,\r,,,\rPump1,10.0.0.1,,\r\r");
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, QString("Pump1: done\n1 of 1 devices done\n"));
    QVERIFY(readAll(fleet.dir.file("PROJECTS/Pump1/pargen.xml")).contains("<TCP_IP4>1</TCP_IP4>"));
}

void TestCliFleet::exportApplyRoundTrip() {
    Fleet fleet;
    // Values as a hand-edited table leaves them: blanks kept in octets, a comma and a
    // quote in the community names.
    const QByteArray csv = "project,ip,mask,TCP_IP4,public,private,BAUD,parity,mode\r\n"
                           "Pump B,10.0.0.12,255.255.0.0, 12,\"a,b\",\"say \"\"hi\"\"\",7,even,routing\r\n"
                           "Pump A,10.0.0.11,,,,,,,\r\n";
    const CliRun applied = fleet.apply(csv);
    QCOMPARE(applied.err, QString());
    QCOMPARE(applied.out, QString("Pump B: done\nPump A: done\n2 of 2 devices done\n"));
    QCOMPARE(applied.exitCode, 0);
    QVERIFY(QFileInfo(fleet.dir.file("PROJECTS/Pump A/New_sx48316.sx")).isFile());

    const CliRun exported = fleet.run({"fleet", "export"});
    QCOMPARE(exported.exitCode, 0);
    const QStringList lines = exported.out.split("\r\n");
    QCOMPARE(lines.size(), 4); // header, two rows, nothing after the last line end
    QCOMPARE(lines[0], QString("project,TCP_IP1,TCP_IP2,TCP_IP3,TCP_IP4,TCP_SUB1,TCP_SUB2,TCP_SUB3,TCP_SUB4,"
                               "TCP_GAT1,TCP_GAT2,TCP_GAT3,TCP_GAT4,TCP_PORT,SNMP_PUBLIC,SNMP_PRIVATE,BAUD,"
                               "PARITY,TIME_OUT,OFFSET,MODE"));
    QCOMPARE(lines[2], QString("Pump B,10,0,0, 12,255,255,0,0,0,0,0,0,502,\"a,b\",\"say \"\"hi\"\"\",7,2,"
                               "1000,0,0"));

    // Applied again, the table changes nothing: no file is written, not even its time.
    const QMap<QString, QByteArray> before = fleet.projectFiles();
    const QMap<QString, QDateTime> timesBefore = fleet.projectTimes();
    const CliRun again = fleet.apply(exported.out.toUtf8());
    QCOMPARE(again.out,
             QString("Pump A: unchanged\nPump B: unchanged\n2 of 2 devices done, 2 of them unchanged\n"));
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(fleet.projectFiles(), before);
    QCOMPARE(fleet.projectTimes(), timesBefore);
    QCOMPARE(fleet.run({"fleet", "export"}).out, exported.out);

    // Only what is not current is made again: A's missing bankg.c from its bank1.bin,
    // everything of B, whose port changed.
    const QString sourceA = QDir::fromNativeSeparators(fleet.dir.file("PROJECTS/Pump A/bin/bankg.c"));
    QVERIFY(QFile::remove(sourceA));
    QByteArray changed = exported.out.toUtf8();
    changed.replace(",502,\"a,b\"", ",503,\"a,b\"");
    QCOMPARE(fleet.apply(changed).out, QString("Pump A: done\nPump B: done\n2 of 2 devices done\n"));
    const QMap<QString, QByteArray> after = fleet.projectFiles();
    const QMap<QString, QDateTime> timesAfter = fleet.projectTimes();
    for (const QString& file : {QString("pargen.xml"), QString("bin/bank1.bin"), QString("bin/bankg.c"),
                                QString("New_sx48316.sx")}) {
        const QString ofA = QDir::fromNativeSeparators(fleet.dir.file("PROJECTS/Pump A/" + file));
        const QString ofB = QDir::fromNativeSeparators(fleet.dir.file("PROJECTS/Pump B/" + file));
        QVERIFY(before.contains(ofA) && before.contains(ofB));
        QCOMPARE(after.value(ofA), before.value(ofA));
        QCOMPARE(timesAfter.value(ofA) == timesBefore.value(ofA), ofA != sourceA);
        QVERIFY(after.value(ofB) != before.value(ofB));
    }
}

void TestCliFleet::checkFindsClashesAndStaleFiles() {
    Fleet fleet;
    QCOMPARE(fleet
                 .apply("project,ip,mask\r\nA,192.168.1.10,255.255.255.0\r\nB,192.168.1.11,255.255.255.0\r\n"
                        "D,192.168.1.13,255.255.255.0\r\nE,192.168.1.14,255.255.255.0\r\n"
                        "F,10.1.0.1,0.255.255.255\r\n")
                 .exitCode,
             0);
    // Bytes past the bank's 16384 are not merged, so they are no difference either.
    writeAll(fleet.dir.file("PROJECTS/A/bin/bank1.bin"),
             readAll(fleet.dir.file("PROJECTS/A/bin/bank1.bin")) + "past the bank");
    // A copy leaves files with other times: the built files now look older than what
    // they are made from, and that is no finding.
    for (const QString& file : {QString("PROJECTS/A/bin/bank1.bin"), QString("PROJECTS/A/New_sx48316.sx")}) {
        QFile older(fleet.dir.file(file));
        QVERIFY(older.open(QIODevice::ReadWrite));
        QVERIFY(
            older.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    }
    const CliRun clean = fleet.run({"fleet", "check"});
    QCOMPARE(clean.out, QString("F: warning: the subnet mask 0.255.255.255 is not contiguous\n"
                                "5 projects checked, 0 found, 1 warnings\n"));
    QCOMPARE(clean.exitCode, 0);

    // B takes A's address through set, which builds nothing: its bank file no longer
    // holds what its pargen.xml builds.
    QCOMPARE(fleet.run({"set", "--project", "B", "ip=192.168.1.10"}).exitCode, 0);
    // A's firmware lost its end record; E's was cut in the middle of its last record.
    const QString firmwareA = fleet.dir.file("PROJECTS/A/New_sx48316.sx");
    QByteArray firmware = readAll(firmwareA);
    firmware.chop(firmware.size() - firmware.lastIndexOf("\nS", firmware.size() - 3) - 1);
    writeAll(firmwareA, firmware);
    const QString firmwareE = fleet.dir.file("PROJECTS/E/New_sx48316.sx");
    firmware = readAll(firmwareE);
    const qsizetype lines = firmware.count('\n');
    firmware.chop(7);
    writeAll(firmwareE, firmware);
    // C was never a project; D lost its bankg.c.
    QVERIFY(QDir().mkpath(fleet.dir.file("PROJECTS/C")));
    QVERIFY(QFile::remove(fleet.dir.file("PROJECTS/D/bin/bankg.c")));

    const CliRun found = fleet.run({"fleet", "check"});
    // Files of a project are named with the platform's separator.
    const QString findings = QString("B: bin/bank1.bin does not hold what pargen.xml builds now\n"
                                     "C: pargen.xml missing\n"
                                     "C: bin/bank1.bin missing\n"
                                     "C: New_sx48316.sx missing\n"
                                     "D: bin/bankg.c missing\n")
                                 .replace(" bin/", " " + QDir::toNativeSeparators("bin/"));
    QCOMPARE(found.out, "A: \"" + firmwareA + "\" is cut short: it has no end record (S7, S8 or S9).\n" +
                            findings + "E: \"" + firmwareE + "\" is cut short: its last record, line " +
                            QString::number(lines) +
                            ", is torn.\n"
                            "F: warning: the subnet mask 0.255.255.255 is not contiguous\n"
                            "192.168.1.10 is used by A, B\n"
                            "6 projects checked, 8 found, 1 warnings\n");
    QCOMPARE(found.exitCode, 1);
}

QTEST_MAIN(TestCliFleet)
#include "tst_cli_fleet.moc"
