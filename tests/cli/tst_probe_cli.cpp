#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusTcpServer>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <memory>
#include <vector>

using namespace tessaly::test;

namespace {
// Stands in for the gateway: holding and input registers with known values, and one
// holding register whose reads end in exception 0x0B, as a gateway answers when the
// device on its RTU side stays silent.
class GatewayStandIn final : public QModbusTcpServer {
public:
    int failingAddress = -1;

    bool listen(const QString& address, int port) {
        setConnectionParameter(QModbusDevice::NetworkAddressParameter, address);
        setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
        setServerAddress(1);
        QModbusDataUnitMap map;
        map.insert(QModbusDataUnit::HoldingRegisters, {QModbusDataUnit::HoldingRegisters, 0, 100});
        map.insert(QModbusDataUnit::InputRegisters, {QModbusDataUnit::InputRegisters, 0, 100});
        setMap(map);
        setData(QModbusDataUnit::HoldingRegisters, 0, 42);
        for (quint16 i = 0; i < 3; ++i)
            setData(QModbusDataUnit::HoldingRegisters, 10 + i, 7 + i);
        setData(QModbusDataUnit::InputRegisters, 5, 1234);
        return connectDevice();
    }

protected:
    QModbusResponse processRequest(const QModbusPdu& request) override {
        const QByteArray data = request.data();
        if (request.functionCode() == QModbusPdu::ReadHoldingRegisters && data.size() >= 2 &&
            ((quint8(data[0]) << 8) | quint8(data[1])) == failingAddress)
            return QModbusExceptionResponse(request.functionCode(),
                                            QModbusPdu::GatewayTargetDeviceFailedToRespond);
        return QModbusTcpServer::processRequest(request);
    }
};

// A TCP port on the loopback that nothing listens on right now.
int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return -1;
    return probe.serverPort();
}

// tessaly-cli run while this test's event loop keeps serving.
struct Run {
    int exitCode = -1;
    QString out;
    qint64 ms = 0;
};
Run runServing(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(TESSALY_CLI_PATH), arguments);
    if (!process.waitForStarted(10000))
        return {};
    loop.exec();
    Run run;
    run.ms = timer.elapsed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

const char* const TableCsv = "Data Type,Address TCP,Address Device RTU,Address RTU,N° Point,Mnemonic\r\n"
                             "Holding Register,10,1,100,3,Level\r\n"
                             "Input Register,5,1,200,1,Flow\r\n"
                             "Holding Register,20,1,300,1,Alarm\r\n";
} // namespace

class TestProbeCli : public QObject {
    Q_OBJECT
private slots:
    void probe_data();
    void probe();
    void fleetProbe();
};

void TestProbeCli::probe_data() {
    QTest::addColumn<bool>("served");
    QTest::addColumn<int>("failingAddress");
    QTest::addColumn<bool>("table");
    QTest::addColumn<QStringList>("lines"); // after the echo line, %1 the port
    QTest::addColumn<int>("exitCode");
    QTest::newRow("answer") << true << -1 << false
                            << QStringList{"modbus tcp: open (127.0.0.1:%1)",
                                           "read: answer (unit 1, holding register 0 = 42)"}
                            << 0;
    QTest::newRow("exception")
        << true << 0 << false
        << QStringList{"modbus tcp: open (127.0.0.1:%1)",
                       "read: exception 0x0B gateway target device failed to respond "
                       "(unit 1, holding register 0): the gateway answers, its RTU side "
                       "does not"}
        << 0;
    QTest::newRow("table") << true << 20 << true
                           << QStringList{"modbus tcp: open (127.0.0.1:%1)",
                                          "read: answer (unit 1, holding register 0 = 42)", "Level = 7 8 9",
                                          "Flow = 1234",
                                          "Alarm: exception 0x0B gateway target device failed to respond"}
                           << 0;
    QTest::newRow("refused") << false << -1 << false
                             << QStringList{"modbus tcp: refused (127.0.0.1:%1, TCP socket error (Connection "
                                            "refused).)",
                                            "read: not sent (unit 1, holding register 0)"}
                             << 1;
}

void TestProbeCli::probe() {
    QFETCH(bool, served);
    QFETCH(int, failingAddress);
    QFETCH(bool, table);
    QFETCH(QStringList, lines);
    QFETCH(int, exitCode);
    const int port = freePort();
    QVERIFY(port > 0);
    GatewayStandIn gateway;
    gateway.failingAddress = failingAddress;
    if (served)
        QVERIFY(gateway.listen("127.0.0.1", port));

    ProgramDir dir;
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Gw"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", "Gw", "ip=127.0.0.1",
                     "port=" + QString::number(port)})
                 .exitCode,
             0);
    writeAll(dir.file("map.csv"), TableCsv);
    QCOMPARE(runCli({"--program-dir", dir.path(), "table", "import", "--project", "Gw", dir.file("map.csv")})
                 .exitCode,
             0);

    QStringList arguments{"--program-dir", dir.path(), "probe", "--project", "Gw", "--timeout", "1000"};
    if (table)
        arguments << "--table";
    const Run run = runServing(arguments);
    QStringList printed = run.out.split('\n');
    QVERIFY2(printed.size() == lines.size() + 2 && printed.first().startsWith("echo: "), qPrintable(run.out));
    QCOMPARE(printed.mid(1, lines.size()).join('\n'), lines.join('\n').arg(port));
    QCOMPARE(run.exitCode, exitCode);
}

void TestProbeCli::fleetProbe() {
    const int port = freePort();
    QVERIFY(port > 0);
    ProgramDir dir;
    // Twenty devices at 127.0.0.2 to 127.0.0.21; the even-numbered half are served.
    QByteArray csv = "project,ip,port\r\n";
    std::vector<std::unique_ptr<GatewayStandIn>> gateways;
    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        const QString address = QStringLiteral("127.0.0.%1").arg(i + 2);
        const QString name = QStringLiteral("Gw%1").arg(i, 2, 10, QLatin1Char('0'));
        csv += QStringLiteral("%1,%2,%3\r\n").arg(name, address).arg(port).toUtf8();
        const bool served = i % 2 == 0;
        if (served) {
            gateways.push_back(std::make_unique<GatewayStandIn>());
            QVERIFY(gateways.back()->listen(address, port));
        }
        expected << name + (served ? " open answer 42 " : " refused not sent ") + address + ':' +
                        QString::number(port);
    }
    writeAll(dir.file("fleet.csv"), csv);
    // No reference firmware: each device's compose fails, but its pargen.xml is written.
    runCli({"--program-dir", dir.path(), "fleet", "apply", dir.file("fleet.csv")});

    const Run run = runServing({"--program-dir", dir.path(), "fleet", "probe", "--timeout", "1000"});
    QStringList printed = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), 22);
    QVERIFY(printed.first().startsWith("project"));
    QCOMPARE(printed.last(), QString("10 of 20 devices answered"));
    // The columns by the header's offsets; the echo column is left out, its outcome
    // depends on the system's ICMP permissions.
    const QString& header = printed.first();
    const qsizetype tcpColumn = header.indexOf("modbus tcp");
    QVERIFY(tcpColumn > 0);
    for (int i = 0; i < 20; ++i) {
        const QString& line = printed[i + 1];
        const QString cells = (line.left(header.indexOf("echo")) + line.mid(tcpColumn)).simplified();
        QCOMPARE(cells, expected[i]);
    }
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.ms < 2000, qPrintable(QString::number(run.ms)));
}

QTEST_MAIN(TestProbeCli)
#include "tst_probe_cli.moc"
