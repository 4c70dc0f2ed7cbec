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
    // Every file below PROJECTS with its bytes.
    QMap<QString, QByteArray> projectFiles() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(dir.file("PROJECTS"), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.insert(path, QFileInfo(path).isDir() ? QByteArray("<dir>") : readAll(path));
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

    const QMap<QString, QByteArray> before = fleet.projectFiles();
    const CliRun again = fleet.apply(exported.out.toUtf8());
    QCOMPARE(again.exitCode, 0);
    const QMap<QString, QByteArray> after = fleet.projectFiles();
    for (const QString& name : {QString("Pump A"), QString("Pump B")}) {
        const QString pargen = fleet.dir.file("PROJECTS/" + name + "/pargen.xml");
        QCOMPARE(after.value(pargen), before.value(pargen));
    }
    QCOMPARE(fleet.run({"fleet", "export"}).out, exported.out);
}

void TestCliFleet::checkFindsClashesAndStaleFiles() {
    Fleet fleet;
    QCOMPARE(
        fleet.apply("project,ip,mask\r\nA,192.168.1.10,255.255.255.0\r\nB,192.168.1.11,255.255.255.0\r\n")
            .exitCode,
        0);
    // Bytes past the bank's 16384 are not merged, so they are no difference either.
    writeAll(fleet.dir.file("PROJECTS/A/bin/bank1.bin"),
             readAll(fleet.dir.file("PROJECTS/A/bin/bank1.bin")) + "past the bank");
    QFile newer(fleet.dir.file("PROJECTS/A/New_sx48316.sx"));
    QVERIFY(newer.open(QIODevice::ReadWrite));
    QVERIFY(newer.setFileTime(QDateTime::currentDateTime().addSecs(30), QFileDevice::FileModificationTime));
    newer.close();
    const CliRun clean = fleet.run({"fleet", "check"});
    QCOMPARE(clean.out, QString("2 projects checked, 0 found\n"));
    QCOMPARE(clean.exitCode, 0);

    // B takes A's address through set, which builds nothing: its bank file is now stale.
    QCOMPARE(fleet.run({"set", "--project", "B", "ip=192.168.1.10"}).exitCode, 0);
    QFile pargen(fleet.dir.file("PROJECTS/B/pargen.xml"));
    QVERIFY(pargen.open(QIODevice::ReadWrite));
    QVERIFY(pargen.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    pargen.close();
    // A's firmware no longer holds A's bank.
    QByteArray bank = readAll(fleet.dir.file("PROJECTS/A/bin/bank1.bin"));
    bank[100] = char(bank[100] ^ 1);
    writeAll(fleet.dir.file("PROJECTS/A/bin/bank1.bin"), bank);
    QFile firmware(fleet.dir.file("PROJECTS/A/New_sx48316.sx"));
    QVERIFY(firmware.open(QIODevice::ReadWrite));
    QVERIFY(
        firmware.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    firmware.close();

    const CliRun found = fleet.run({"fleet", "check"});
    QCOMPARE(found.out, QString("A: New_sx48316.sx holds a bank window different from bin/bank1.bin\n"
                                "B: bin/bank1.bin older than pargen.xml\n"
                                "192.168.1.10 is used by A, B\n"
                                "2 projects checked, 3 found\n"));
    QCOMPARE(found.exitCode, 1);
}

QTEST_MAIN(TestCliFleet)
#include "tst_cli_fleet.moc"
