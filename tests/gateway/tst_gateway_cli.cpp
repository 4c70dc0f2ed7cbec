// tessaly-gateway as a program: what keeps it from booting, the whole loop of configure,
// flash, boot and probe in a network namespace, NAT mode through probe --table, and an
// RTU device nobody here wrote (pymodbus) on its serial side. Traffic goes to loopback
// or stays in the namespace.
#include "modbus/Mbap.h"
#include "tests/image/ConfiguredBank.h"
#include "tests/image/SRecordText.h"
#include "tests/support/NetworkNamespace.h"
#include "tests/support/SerialLink.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>

using namespace tessaly;
using namespace tessaly::test;

namespace {

constexpr int WaitMs = 20000;

// A program directory with the flashing tool, a reference firmware with an empty bank
// window and the project P.
void prepare(const QString& programDir) {
    QVERIFY(QFile::copy(QStringLiteral(FLASHWRITE_EXE), programDir + "/FlashWrite.exe"));
    QByteArray reference = firmwareWithBank(QByteArray(0x4000, '\0'));
    reference.replace("S804000000FB", "S9030000FC");
    writeAll(programDir + "/MASTER/sx48316.sx", reference);
    QCOMPARE(runCli({"--program-dir", programDir, "new", "P"}).exitCode, 0);
}

// tessaly-gateway running, its standard output read as it comes.
class Gateway {
public:
    ~Gateway() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void start(const QStringList& arguments, Namespace* in = nullptr) {
        if (in)
            in->start(process, QStringList{TESSALY_GATEWAY_PATH} + arguments);
        else
            process.start(TESSALY_GATEWAY_PATH, arguments);
    }
    // Waits until the standard output holds `text`.
    bool says(const QString& text) {
        return QTest::qWaitFor(
                   [&] {
                       out += QString::fromUtf8(process.readAllStandardOutput());
                       return out.contains(text) || process.state() == QProcess::NotRunning;
                   },
                   WaitMs) &&
               out.contains(text);
    }
    quint16 port() {
        says(QStringLiteral("Modbus TCP at "));
        const QRegularExpressionMatch m = QRegularExpression("Modbus TCP at [^ ]*:(\\d+),").match(out);
        return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    }
    // Ends it as a service manager does; its exit status.
    int stop() {
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(WaitMs);
        out += QString::fromUtf8(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString err() { return QString::fromUtf8(process.readAllStandardError()); }

    QProcess process;
    QString out;
};

// One request through the gateway at 127.0.0.1:`port`; the answer's PDU.
QByteArray ask(quint16 port, std::uint8_t unit, const QByteArray& pdu) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(WaitMs))
        return {};
    socket.write(modbus::encodeAdu({0x4242, unit, pdu}));
    QByteArray received;
    while (modbus::scanFrame(received).status == modbus::FrameScan::Incomplete &&
           socket.waitForReadyRead(WaitMs))
        received += socket.readAll();
    const modbus::FrameScan scan = modbus::scanFrame(received);
    return scan.status == modbus::FrameScan::Complete ? modbus::decodeAdu(received, scan.size).pdu
                                                      : QByteArray();
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray hex(const char* spaced) {
    return QByteArray::fromHex(spaced);
}

} // namespace

class TestGatewayCli : public QObject {
    Q_OBJECT
private slots:
    void doesNotStart_data();
    void doesNotStart();
    void wholeLoopInNamespace();
    void natModeThroughProbeTable();
    void pymodbusOnTheSerialSide();
};

void TestGatewayCli::doesNotStart_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing to boot") << QStringList{"--simulate", "1"} << 2 << "give a firmware to boot";
    QTest::newRow("two serial sides")
        << QStringList{"--firmware", "F", "--rtu", "/dev/ttyS0", "--simulate", "1"} << 2
        << "--rtu and --simulate both name the serial side";
    QTest::newRow("listen where") << QStringList{"--firmware", "F", "--listen", "here:1"} << 2
                                  << "--listen takes";
    QTest::newRow("unit 0 simulated")
        << QStringList{"--firmware", "F", "--simulate", "0"} << 2 << "is no list of units";
    QTest::newRow("unknown option") << QStringList{"--firmware", "F", "--fast"} << 2
                                    << "unknown option --fast";
    QTest::newRow("erased reference")
        << QStringList{"--firmware", "MASTER/sx48316.sx"} << 1
        << "\"MASTER/sx48316.sx\" does not boot, as a device would stay in its "
           "loader: it holds no configuration: the configuration bank is erased";
    QTest::newRow("an address of another machine")
        << QStringList{"--firmware", "other.sx"} << 1
        << "10.20.30.40 is not an address of this machine: serve elsewhere with --listen ADDRESS[:PORT]";
    QTest::newRow("empty state folder") << QStringList{"--state", "state"} << 1 << "holds no firmware yet";
}

void TestGatewayCli::doesNotStart() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    ProgramDir dir;
    writeAll(dir.file("MASTER/sx48316.sx"), firmwareWithBank(QByteArray(0x4000, '\xFF')));
    writeAll(dir.file("other.sx"), firmwareWithBank(configuredBank({10, 20, 30, 40}, 1502)));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(TESSALY_GATEWAY_PATH, QStringList{"--program-dir", dir.path()} + arguments);
    QVERIFY(process.waitForFinished(WaitMs));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), status);
    QVERIFY2(err.contains(message), qPrintable(err));
}

void TestGatewayCli::wholeLoopInNamespace() {
    Namespace ns(QStringLiteral("gateway"));
    CREATE_NAMESPACE(ns);
    QVERIFY(ns.shell("ip link set lo up && ip addr add 10.20.30.40/24 dev lo"));
    ProgramDir dir;
    prepare(dir.path());
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", "P", "ip=10.20.30.40", "port=1502",
                     "baud=115200", "parity=even", "mode=routing", "timeout=300"})
                 .exitCode,
             0);
    SerialLink link;
    QVERIFY(link.isOpen());
    writeAll(dir.file("FlashWrite.ini"), "COM1=" + link.endA().toUtf8() + "\r\n");
    Gateway gateway;
    gateway.start({"--program-dir", dir.path(), "--simulate", "1-3", "--state", dir.file("state"),
                   "--flash-port", link.endB()},
                  &ns);
    QVERIFY2(gateway.says("waiting for a firmware"), qPrintable(gateway.out + gateway.err()));

    qputenv("FLASHWRITE_EXIT_WHEN_DONE", "1");
    const CliRun update =
        runCli({"--program-dir", dir.path(), "update", "--project", "P", "--port", "COM1", "--wait"});
    QVERIFY2(update.exitCode == 0, qPrintable(update.err));
    QVERIFY2(gateway.says("Modbus TCP at 10.20.30.40:1502,"), qPrintable(gateway.out + gateway.err()));
    for (const char* line :
         {"  ip=10.20.30.40", "  port=1502", "  baud=115200", "  parity=even", "  timeout=300",
          "  mode=routing", "Serial side: simulated units 1-3, time-out 300 ms, 0 retries"})
        QVERIFY2(gateway.out.contains(line), line);

    const CliRun probe =
        ns.cli({"--program-dir", dir.path(), "probe", "--project", "P", "--timeout", "3000"});
    QVERIFY2(probe.exitCode == 0, qPrintable(probe.out + probe.err));
    QVERIFY2(probe.out.contains("read: answer (unit 1, holding register 0 = 1000)"), qPrintable(probe.out));
    const CliRun silent =
        ns.cli({"--program-dir", dir.path(), "probe", "--project", "P", "--unit", "9", "--timeout", "3000"});
    QVERIFY2(silent.out.contains("read: exception 0x0B gateway target device failed to respond (unit 9"),
             qPrintable(silent.out + silent.err));

    QCOMPARE(gateway.stop(), 0);
    QVERIFY(gateway.out.contains("Stopped by SIGTERM"));
    QCOMPARE(readAll(dir.file("state/firmware.sx")), readAll(dir.file("PROJECTS/P/New_sx48316.sx")));
}

void TestGatewayCli::natModeThroughProbeTable() {
    ProgramDir dir;
    prepare(dir.path());
    const quint16 port = freePort();
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", "P", "ip=127.0.0.1",
                     "port=" + QString::number(port), "mode=nat", "timeout=200"})
                 .exitCode,
             0);
    // Holding registers 100-103 are unit 2's 0-3, 104-107 unit 3's 0-3; input registers
    // 200-202 are unit 3's 10-12.
    writeAll(dir.file("PROJECTS/P/var.xml"),
             "<TCP_TO_RTU>"
             "<row DATA_TYPE=\"3\" TCP_ADDRESS=\"100\" RTU_ADD_DEV=\"2\" RTU_ADDRESS=\"0\" N_POINT=\"4\" "
             "MNEMONIC=\"PUMP\"/>"
             "<row DATA_TYPE=\"3\" TCP_ADDRESS=\"104\" RTU_ADD_DEV=\"3\" RTU_ADDRESS=\"0\" N_POINT=\"4\" "
             "MNEMONIC=\"FAN\"/>"
             "<row DATA_TYPE=\"4\" TCP_ADDRESS=\"200\" RTU_ADD_DEV=\"3\" RTU_ADDRESS=\"10\" N_POINT=\"3\" "
             "MNEMONIC=\"LEVEL\"/></TCP_TO_RTU>");
    QCOMPARE(runCli({"--program-dir", dir.path(), "build", "--project", "P"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "compose", "--project", "P"}).exitCode, 0);
    Gateway gateway;
    gateway.start({"--program-dir", dir.path(), "--project", "P", "--simulate", "2,3"});
    QVERIFY2(gateway.says("NAT mode: 3 rows of"), qPrintable(gateway.out + gateway.err()));

    const CliRun probe =
        runCli({"--program-dir", dir.path(), "probe", "--project", "P", "--table", "--timeout", "3000"});
    QVERIFY2(probe.out.contains("PUMP = 2000 2001 2002 2003\nFAN = 3000 3001 3002 3003\n"
                                "LEVEL = 33010 33011 33012\n"),
             qPrintable(probe.out + probe.err));
    // Holding register 0 lies in no row.
    QVERIFY2(probe.out.contains("read: exception 0x02 illegal data address"), qPrintable(probe.out));
    // 102 to 105: two rows, neither covering all of it.
    QCOMPARE(ask(port, 1, hex("03 0066 0004")).toHex(' '), hex("83 02").toHex(' '));
    // A write lands where the row sends it.
    QCOMPARE(ask(port, 1, hex("06 0069 1234")).toHex(' '), hex("06 0069 1234").toHex(' '));
    QCOMPARE(ask(port, 1, hex("03 0068 0002")).toHex(' '), hex("03 04 0BB8 1234").toHex(' '));
    QCOMPARE(gateway.stop(), 0);
}

void TestGatewayCli::pymodbusOnTheSerialSide() {
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess check;
    check.start(python, {"-c", "import pymodbus.server, serial_asyncio"});
    if (!check.waitForFinished(WaitMs) || check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0)
        QSKIP("Debian's python3-pymodbus with python3-serial-asyncio is not installed");
    SerialLink link;
    QVERIFY(link.isOpen());
    // Unit 1 with holding registers 17, 42, 4711, 65535 from address 0; no other unit.
    // A pseudo-terminal carries no parity bits: pyserial is left at none (it cannot set
    // even parity with a read time-out on one), the gateway at its configured even.
    QProcess device;
    device.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    device.start(python, {"-c", R"(
import sys
from pymodbus.server import StartSerialServer
from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext, ModbusServerContext
from pymodbus.transaction import ModbusRtuFramer
store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, [17, 42, 4711, 65535] + [0] * 96), zero_mode=True)
StartSerialServer(context=ModbusServerContext(slaves={1: store}, single=False), framer=ModbusRtuFramer,
                  port=sys.argv[1], baudrate=115200, timeout=0.005)
)",
                          link.endA()});
    QVERIFY(device.waitForStarted(WaitMs));
    ProgramDir dir;
    writeAll(dir.file("gateway.sx"), firmwareWithBank(configuredBank({127, 0, 0, 1}, 1502, 0, 500)));
    Gateway gateway;
    gateway.start({"--program-dir", dir.path(), "--firmware", dir.file("gateway.sx"), "--listen",
                   "127.0.0.1:0", "--rtu", link.endB(), "--retries", "1"});
    const quint16 port = gateway.port();
    QVERIFY2(port != 0, qPrintable(gateway.out + gateway.err()));
    QVERIFY(
        gateway.out.contains("Serial side: " + link.endB() + " at 115200 8E1, time-out 500 ms, 1 retries"));
    // The device may take a moment to open its end: the first read is tried until it answers.
    QByteArray answer;
    (void)QTest::qWaitFor(
        [&] { return (answer = ask(port, 1, hex("03 0000 0004"))) == hex("03 08 0011 002A 1267 FFFF"); },
        WaitMs);
    QCOMPARE(answer.toHex(' '), hex("03 08 0011 002A 1267 FFFF").toHex(' '));
    QCOMPARE(ask(port, 1, hex("10 0001 0002 04 0102 0304")).toHex(' '), hex("10 0001 0002").toHex(' '));
    QCOMPARE(ask(port, 1, hex("03 0000 0003")).toHex(' '), hex("03 06 0011 0102 0304").toHex(' '));
    QCOMPARE(ask(port, 1, hex("03 0100 0001")).toHex(' '), hex("83 02").toHex(' '));
    QCOMPARE(ask(port, 7, hex("03 0000 0001")).toHex(' '), hex("83 0B").toHex(' '));
    // A broadcast goes out and nothing comes back: the next frame is the read's answer.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(socket.waitForConnected(WaitMs));
    socket.write(modbus::encodeAdu({1, 0, hex("06 0000 0007")}) +
                 modbus::encodeAdu({2, 1, hex("03 0000 0001")}));
    QByteArray received;
    while (received.size() < 11 && socket.waitForReadyRead(WaitMs))
        received += socket.readAll();
    QCOMPARE(received.toHex(' '), modbus::encodeAdu({2, 1, hex("03 02 0011")}).toHex(' '));
    QCOMPARE(gateway.stop(), 0);
    device.kill();
    device.waitForFinished(WaitMs);
}

QTEST_GUILESS_MAIN(TestGatewayCli)
#include "tst_gateway_cli.moc"
