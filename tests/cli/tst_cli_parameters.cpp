#include "tests/support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace tessaly::test;

namespace {
const QByteArray DefaultDocument =
    "<General_Parameter><TCP_IP1>0</TCP_IP1><TCP_IP2>0</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>0</TCP_IP4>"
    "<TCP_SUB1>255</TCP_SUB1><TCP_SUB2>255</TCP_SUB2><TCP_SUB3>255</TCP_SUB3><TCP_SUB4>0</TCP_SUB4>"
    "<TCP_GAT1>0</TCP_GAT1><TCP_GAT2>0</TCP_GAT2><TCP_GAT3>0</TCP_GAT3><TCP_GAT4>0</TCP_GAT4>"
    "<TCP_PORT>502</TCP_PORT><SNMP_PUBLIC>harbor</SNMP_PUBLIC><SNMP_PRIVATE>granite</SNMP_PRIVATE>"
    "<BAUD>3</BAUD><PARITY>0</PARITY><TIME_OUT>1000</TIME_OUT><OFFSET>0</OFFSET><MODE>1</MODE>"
    "</General_Parameter>";

const QStringList DefaultLines{
    "TCP_IP1=0",    "TCP_IP2=0",    "TCP_IP3=0",     "TCP_IP4=0",          "TCP_SUB1=255",
    "TCP_SUB2=255", "TCP_SUB3=255", "TCP_SUB4=0",    "TCP_GAT1=0",         "TCP_GAT2=0",
    "TCP_GAT3=0",   "TCP_GAT4=0",   "TCP_PORT=502",  "SNMP_PUBLIC=harbor", "SNMP_PRIVATE=granite",
    "BAUD=3",       "PARITY=0",     "TIME_OUT=1000", "OFFSET=0",           "MODE=1"};

// The default lines with some replaced ("NAME=value").
QString linesWith(const QStringList& changes) {
    QStringList lines = DefaultLines;
    for (const QString& change : changes) {
        for (QString& line : lines) {
            if (line.section('=', 0, 0) == change.section('=', 0, 0))
                line = change;
        }
    }
    return lines.join('\n') + '\n';
}

// A program directory with the project Plant2 made by `new`.
struct Plant2 {
    ProgramDir dir;
    Plant2() {
        const CliRun made = runCli({"--program-dir", dir.path(), "new", "Plant2"});
        QCOMPARE(made.exitCode, 0);
    }
    QString pargenFile() const { return dir.file("PROJECTS/Plant2/pargen.xml"); }
    CliRun run(const QStringList& arguments) const {
        QStringList all{"--program-dir", dir.path(), arguments.first(), "--project", "Plant2"};
        return runCli(all + arguments.mid(1));
    }
};
} // namespace

class TestCliParameters : public QObject {
    Q_OBJECT
private slots:
    void newWritesDefaultDocument();
    void setThenShow();
    void assignments_data();
    void assignments();
    void usageErrors_data();
    void usageErrors();
    void refusals_data();
    void refusals();
    void projectSelection();
    void unparseableDocument();
    void showMarksRefusedValuesAndSetMendsThem();
};

void TestCliParameters::newWritesDefaultDocument() {
    Plant2 p;
    QCOMPARE(readAll(p.pargenFile()), DefaultDocument);
    const CliRun show = p.run({"show"});
    QCOMPARE(show.exitCode, 0);
    QCOMPARE(show.out, linesWith({}));
}

void TestCliParameters::setThenShow() {
    Plant2 p;
    const CliRun set = p.run({"set", "ip=192.168.0.10", "port=1502"});
    QCOMPARE(set.err, QString());
    QCOMPARE(set.exitCode, 0);
    const CliRun show = p.run({"show"});
    QCOMPARE(show.exitCode, 0);
    QCOMPARE(show.out, linesWith({"TCP_IP1=192", "TCP_IP2=168", "TCP_IP3=0", "TCP_IP4=10", "TCP_PORT=1502"}));
    QCOMPARE(
        readAll(p.pargenFile()),
        QByteArray(DefaultDocument)
            .replace("<TCP_IP1>0</TCP_IP1><TCP_IP2>0</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>0</TCP_IP4>",
                     "<TCP_IP1>192</TCP_IP1><TCP_IP2>168</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>10</TCP_IP4>")
            .replace("<TCP_PORT>502</TCP_PORT>", "<TCP_PORT>1502</TCP_PORT>"));
}

void TestCliParameters::assignments_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("mask and gateway")
        << QStringList{"mask=255.255.0.0", "gateway=192.168.0.1"}
        << QStringList{"TCP_SUB3=0", "TCP_GAT1=192", "TCP_GAT2=168", "TCP_GAT4=1"};
    QTest::newRow("serial side") << QStringList{"baud=115200", "parity=odd", "timeout=2000"}
                                 << QStringList{"BAUD=7", "PARITY=3", "TIME_OUT=2000"};
    QTest::newRow("even parity, 1200 baud")
        << QStringList{"parity=EVEN", "baud=1200"} << QStringList{"PARITY=2", "BAUD=0"};
    QTest::newRow("mode and offset") << QStringList{"mode=routing", "offset=$10"}
                                     << QStringList{"MODE=0", "OFFSET=$10"};
    QTest::newRow("community names") << QStringList{"public=plant&co", "private=0123456789abc"}
                                     << QStringList{"SNMP_PUBLIC=plant&co", "SNMP_PRIVATE=0123456789abc"};
    QTest::newRow("13 characters in 14 UTF-16 units")
        << QStringList{QString::fromUtf8("public=abcdefghijkl\xF0\x9F\x98\x80")}
        << QStringList{QString::fromUtf8("SNMP_PUBLIC=abcdefghijkl\xF0\x9F\x98\x80")};
    QTest::newRow("element names")
        << QStringList{"TCP_IP2=010", "TCP_PORT=0x5DE", "BAUD=-1",    "PARITY=3",
                       "MODE=0",      "SNMP_PUBLIC=",   "TIME_OUT= 5"}
        << QStringList{"TCP_IP2=010",  "TCP_PORT=1502", "BAUD=-1  # refused: 0 to 7", "PARITY=3", "MODE=0",
                       "SNMP_PUBLIC=", "TIME_OUT= 5"};
    QTest::newRow("last one wins") << QStringList{"port=1", "TCP_PORT=2", "mode=routing", "mode=nat"}
                                   << QStringList{"TCP_PORT=2"};
}

void TestCliParameters::assignments() {
    QFETCH(QStringList, assignments);
    QFETCH(QStringList, shown);
    Plant2 p;
    const CliRun set = p.run(QStringList{"set"} + assignments);
    QCOMPARE(set.err, QString());
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(p.run({"show"}).out, linesWith(shown));
}

void TestCliParameters::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("no assignment") << QStringList{"set"} << "KEY=VALUE";
    QTest::newRow("not an assignment") << QStringList{"set", "ip"} << "ip";
    QTest::newRow("unknown key") << QStringList{"set", "port=1", "speed=9600"} << "speed";
    QTest::newRow("key case") << QStringList{"set", "IP=1.2.3.4"} << "IP";
    QTest::newRow("three octets") << QStringList{"set", "ip=1.2.3"} << "ip";
    QTest::newRow("five octets") << QStringList{"set", "gateway=1.2.3.4.5"} << "gateway";
    QTest::newRow("port text") << QStringList{"set", "port=http"} << "port";
    QTest::newRow("TCP_PORT text") << QStringList{"set", "TCP_PORT=1 "} << "TCP_PORT";
    QTest::newRow("baud not a rate") << QStringList{"set", "baud=9601"} << "baud";
    QTest::newRow("BAUD out of list") << QStringList{"set", "BAUD=8"} << "BAUD";
    QTest::newRow("parity") << QStringList{"set", "parity=mark"} << "parity";
    QTest::newRow("PARITY not a code") << QStringList{"set", "PARITY=1"} << "PARITY";
    QTest::newRow("mode") << QStringList{"set", "mode=bridge"} << "mode";
    QTest::newRow("MODE not a code") << QStringList{"set", "MODE=7"} << "MODE";
    QTest::newRow("long name") << QStringList{"set", "public=abcdefghijklmn"} << "public";
    QTest::newRow("unknown option") << QStringList{"set", "--bogus", "port=1"} << "--bogus";
    QTest::newRow("show with argument") << QStringList{"show", "port"} << "argument port";
}

void TestCliParameters::usageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    Plant2 p;
    const CliRun run = p.run(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
    QCOMPARE(readAll(p.pargenFile()), DefaultDocument);
}

void TestCliParameters::refusals_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("message");
    QTest::newRow("ip 256") << QStringList{"ip=192.168.0.256"} << "Error!! IP must be between 0 and 255. ";
    QTest::newRow("empty octet") << QStringList{"port=1502", "mask=255..255.0"}
                                 << "Error!! Subnet Mask must be between 0 and 255. ";
    QTest::newRow("gateway letters") << QStringList{"gateway=a.b.c.d"}
                                     << "Error!! Gateway must be between 0 and 255. ";
    QTest::newRow("port 0") << QStringList{"port=0"} << "Error!! Port must be between 1 and 65535. ";
    QTest::newRow("port 65536") << QStringList{"TCP_PORT=65536"}
                                << "Error!! Port must be between 1 and 65535. ";
    QTest::newRow("time-out") << QStringList{"timeout=65536"} << "TimeOut Error!!";
    QTest::newRow("offset") << QStringList{"OFFSET=-1"} << "Offset Error!!";
    QTest::newRow("first failure only")
        << QStringList{"offset=x", "TCP_SUB1=x", "ip=1.2.3.999"} << "Error!! IP must be between 0 and 255. ";
}

void TestCliParameters::refusals() {
    QFETCH(QStringList, assignments);
    QFETCH(QString, message);
    Plant2 p;
    const CliRun run = p.run(QStringList{"set"} + assignments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, message + '\n');
    QCOMPARE(run.out, QString());
    QCOMPARE(readAll(p.pargenFile()), DefaultDocument);
}

void TestCliParameters::projectSelection() {
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    QVERIFY(QDir().mkpath(dir.file("elsewhere/Site")));
    writeAll(dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=Plant1\r\n");
    // No document yet: the defaults are shown and the first set creates it.
    QCOMPARE(runCli({"--program-dir", dir.path(), "show"}).out, linesWith({}));
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "mode=routing"}).exitCode, 0);
    QCOMPARE(readAll(dir.file("PROJECTS/Plant1/pargen.xml")),
             QByteArray(DefaultDocument).replace("<MODE>1</MODE>", "<MODE>0</MODE>"));
    const QString site = dir.file("elsewhere/Site");
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", site, "port=8080"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "show", "--project", site}).out,
             linesWith({"TCP_PORT=8080"}));
    const CliRun missing = runCli({"--program-dir", dir.path(), "show", "--project", "Nowhere"});
    QCOMPARE(missing.exitCode, 2);
}

void TestCliParameters::unparseableDocument() {
    Plant2 p;
    const QByteArray broken = "<General_Parameter><TCP_IP1>1</TCP_IP1>";
    writeAll(p.pargenFile(), broken);
    const CliRun show = p.run({"show"});
    QCOMPARE(show.exitCode, 1);
    // The path in quotes, as every message names a file.
    QVERIFY2(show.err.startsWith('"' + p.pargenFile() + "\": "), qPrintable(show.err));
    QCOMPARE(show.out, QString());
    const CliRun set = p.run({"set", "port=1502"});
    QCOMPARE(set.exitCode, 1);
    QCOMPARE(set.err, show.err);
    QCOMPARE(readAll(p.pargenFile()), broken);
}

void TestCliParameters::showMarksRefusedValuesAndSetMendsThem() {
    Plant2 p;
    writeAll(p.pargenFile(), QByteArray(DefaultDocument)
                                 .replace("<TIME_OUT>1000<", "<TIME_OUT>70000<")
                                 .replace("<OFFSET>0<", "<OFFSET>65536<")
                                 .replace("<TCP_GAT2>0<", "<TCP_GAT2>300<")
                                 .replace("<TCP_IP4>0<", "<TCP_IP4>x<")
                                 .replace("<TCP_PORT>502<", "<TCP_PORT>0<")
                                 .replace("<BAUD>3<", "<BAUD>9<"));
    const CliRun show = p.run({"show"});
    QCOMPARE(show.exitCode, 0);
    QCOMPARE(show.out,
             linesWith({"TIME_OUT=70000  # refused: 0 to 65535", "OFFSET=65536  # refused: 0 to 65535",
                        "TCP_GAT2=300  # refused: 0 to 255", "TCP_IP4=x  # refused: 0 to 255",
                        "TCP_PORT=0  # refused: 1 to 65535", "BAUD=-1  # refused: 0 to 7"}));
    // The guide's way out: one set with every value mended.
    const CliRun set =
        p.run({"set", "timeout=1000", "offset=0", "gateway=0.0.0.0", "ip=0.0.0.0", "port=502", "baud=9600"});
    QCOMPARE(set.err, QString());
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(p.run({"show"}).out, linesWith({}));
}

QTEST_GUILESS_MAIN(TestCliParameters)
#include "tst_cli_parameters.moc"
