#include "tests/image/PargenText.h"
#include "tests/image/SRecordText.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tessaly::test;

namespace {
QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}
} // namespace

class TestCliImage : public QObject {
    Q_OBJECT
private slots:
    void buildThenInspectRoundTrip();
    void inspectShowsCodes();
    void failures_data();
    void failures();
};

void TestCliImage::buildThenInspectRoundTrip() {
    ProgramDir dir;
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Plant2"}).exitCode, 0);
    writeAll(
        dir.file("PROJECTS/Plant2/pargen.xml"),
        pargenText({"TCP_IP1=10", "TCP_IP2=1", "TCP_IP3=2", "TCP_IP4=3", "TCP_SUB3=0", "TCP_GAT1=10",
                    "TCP_GAT2=1", "TCP_GAT4=1", "TCP_PORT=5020", "SNMP_PUBLIC=Öffentlich",
                    "SNMP_PRIVATE=priv€", "BAUD=7", "PARITY=3", "TIME_OUT=250", "OFFSET=0x10", "MODE=0"}));

    const QDateTime before = QDateTime::currentDateTime();
    const CliRun build = runCli({"--program-dir", dir.path(), "build", "--project", "Plant2"});
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(build.err, QString());
    QCOMPARE(build.exitCode, 0);
    const QString bin = dir.file("PROJECTS/Plant2/bin/bank1.bin");
    QCOMPARE(build.out, native(bin) + "\n" + native(dir.file("PROJECTS/Plant2/bin/bankg.c")) + "\n");

    const CliRun inspect = runCli({"--program-dir", dir.path(), "inspect", bin});
    QCOMPARE(inspect.err, QString());
    QCOMPARE(inspect.exitCode, 0);
    QStringList lines = inspect.out.split('\n');
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.size(), 12);
    const QString built = lines.takeLast();
    QCOMPARE(lines, (QStringList{"ip=10.1.2.3", "mask=255.255.0.0", "gateway=10.1.0.1", "port=5020",
                                 "public=Öffentlich", "private=priv€", "baud=115200", "parity=odd",
                                 "timeout=250", "offset=16", "mode=routing"}));
    QVERIFY(built.startsWith("built="));
    const QDateTime stamp = QDateTime::fromString(built.mid(6), "yyyy-MM-dd HH:mm:ss");
    QVERIFY2(stamp.isValid() && stamp >= before.addSecs(-2) && stamp <= after, qPrintable(built));

    // The same image inside a firmware file reads the same.
    const QString firmware = dir.file("PROJECTS/Plant2/New_sx48316.sx");
    writeAll(firmware, firmwareWithBank(readAll(bin)));
    const CliRun fromFirmware = runCli({"--program-dir", dir.path(), "inspect", firmware});
    QCOMPARE(fromFirmware.err, QString());
    QCOMPARE(fromFirmware.exitCode, 0);
    QCOMPARE(fromFirmware.out, inspect.out);

    // A copy that stopped in the end record still shows the image, and says it is unfit.
    writeAll(firmware, firmwareWithBank(readAll(bin)).chopped(5));
    const CliRun cutShort = runCli({"--program-dir", dir.path(), "inspect", firmware});
    QCOMPARE(cutShort.out, inspect.out);
    QCOMPARE(cutShort.err,
             "\"" + native(firmware) + "\" is cut short: its last record, line 516, is torn.\n");
    QCOMPARE(cutShort.exitCode, 1);
}

void TestCliImage::inspectShowsCodes() {
    ProgramDir dir;
    QByteArray image(16384, '\0');
    image[15042] = 9; // no such baud rate
    image[15043] = 1; // no such parity
    image[15048] = 5; // no such mode
    image[15014] = 'a';
    image[15015] = char(0x81); // unassigned in Windows-1252
    image[15016] = 'b';
    writeAll(dir.file("bank1.bin"), image);
    const CliRun run = runCli({"--program-dir", dir.path(), "inspect", dir.file("bank1.bin")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out,
             QString("ip=0.0.0.0\nmask=0.0.0.0\ngateway=0.0.0.0\nport=0\npublic=a\uFFFDb\nprivate=\n"
                     "baud=index 9\nparity=1\ntimeout=0\noffset=0\nmode=5\nbuilt=2000-00-00 00:00:00\n"));
}

void TestCliImage::failures_data() {
    QTest::addColumn<QStringList>("arguments"); // %1 in an argument is the program directory
    QTest::addColumn<QByteArray>("pargen");     // written to PROJECTS/Plant2 unless null
    QTest::addColumn<QString>("file");          // content of %1/file.x: "" none, else the given text
    QTest::addColumn<int>("exitCode");
    // The start of standard error; %1 is the program directory, paths in the platform's form.
    QTest::addColumn<QString>("err");
    QTest::newRow("build of a broken pargen.xml")
        << QStringList{"build", "--project", "Plant2"} << pargenText({"PARITY=1"}) << QString() << 1
        << QString("The configuration image was not built. \"%1/PROJECTS/Plant2/pargen.xml\": element PARITY "
                   "holds \"1\", which is not allowed (allowed: 0, 2 or 3).\n");
    QTest::newRow("build without pargen.xml")
        << QStringList{"build", "--project", "Plant2"} << QByteArray() << QString() << 1
        << QString(
               "The configuration image was not built. Cannot open file \"%1/PROJECTS/Plant2/pargen.xml\".");
    QTest::newRow("build with an argument") << QStringList{"build", "x"} << QByteArray() << QString() << 2
                                            << QString("tessaly-cli build: build takes no arguments");
    QTest::newRow("inspect without a file") << QStringList{"inspect"} << QByteArray() << QString() << 2
                                            << QString("tessaly-cli inspect: inspect takes one file");
    QTest::newRow("inspect of a missing file")
        << QStringList{"inspect", "%1/none.bin"} << QByteArray() << QString() << 1
        << QString("Cannot open file \"%1/none.bin\".");
    QTest::newRow("inspect of a short image")
        << QStringList{"inspect", "%1/file.x"} << QByteArray() << QString("short") << 1
        << QString("\"%1/file.x\" is neither a configuration image of 16384 bytes nor an S-record firmware "
                   "file.\n");
    QTest::newRow("inspect of firmware without the bank")
        << QStringList{"inspect", "%1/file.x"} << QByteArray()
        << QString("S00600004844521B\r\nS9030000FC\r\n") << 1
        << QString("\"%1/file.x\" holds no configuration bank: it has no data for the addresses 0x388000 to "
                   "0x38BFFF.\n");
}

void TestCliImage::failures() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, pargen);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant2/bin")));
    if (!pargen.isNull())
        writeAll(dir.file("PROJECTS/Plant2/pargen.xml"), pargen);
    if (!file.isEmpty())
        writeAll(dir.file("file.x"), file.toLatin1());
    for (QString& argument : arguments)
        argument.replace("%1", dir.path());
    const CliRun run = runCli(QStringList{"--program-dir", dir.path()} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.startsWith(native(err.replace("%1", dir.path()))), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(QDir(dir.file("PROJECTS/Plant2/bin")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestCliImage)
#include "tst_cliimage.moc"
