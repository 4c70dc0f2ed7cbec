// probe and fleet probe against servers on 127.0.0.0/8 in this test: Qt Serial Bus's
// Modbus server as an implementation nobody here wrote, and scripted servers that
// answer the way broken or hostile devices do. Nothing goes anywhere else.
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusTcpServer>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace tessaly::test;

namespace {
// Stands in for the gateway: registers and bits with known values, and one holding
// register whose reads end in exception 0x0B, as a gateway answers when the device on
// its RTU side stays silent.
class GatewayStandIn final : public QModbusTcpServer {
public:
    int failingAddress = -1;

    bool listen(const QString& address, int port) {
        setConnectionParameter(QModbusDevice::NetworkAddressParameter, address);
        setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
        setServerAddress(1);
        QModbusDataUnitMap map;
        for (const auto type : {QModbusDataUnit::Coils, QModbusDataUnit::DiscreteInputs,
                                QModbusDataUnit::HoldingRegisters, QModbusDataUnit::InputRegisters})
            map.insert(type, {type, 0, 100});
        setMap(map);
        setData(QModbusDataUnit::HoldingRegisters, 0, 42);
        for (quint16 i = 0; i < 3; ++i)
            setData(QModbusDataUnit::HoldingRegisters, 10 + i, 7 + i);
        setData(QModbusDataUnit::InputRegisters, 5, 1234);
        setData(QModbusDataUnit::Coils, 3, 1);
        for (const quint16 input : {0, 2, 3, 9})
            setData(QModbusDataUnit::DiscreteInputs, input, 1);
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

// How a scripted device treats each request it gets.
enum class Behaviour {
    Answer,         // holding register 0 = 42
    Exception07,    // exception 0x07
    Silent,         // nothing at all
    LengthZero,     // a complete header with length 0, then nothing
    LengthSixShort, // a header with length 6 and one byte of the 6
    LengthMaxShort, // a header with length 65535 and two bytes
    SevenOfEleven,  // the first 7 of the 11 bytes of the answer
    Trickle,        // the answer, one byte every 150 ms
    Text,           // an HTTP error page
    OtherTransaction,
    OtherUnit,
    OtherFunction,
    Reset,          // the connection reset as the request arrives
    AnswerThenClose // answers the first request, closes at the second
};

// A Modbus TCP server on 127.0.0.1 whose answers the test scripts.
class ScriptedDevice final : public QTcpServer {
public:
    explicit ScriptedDevice(Behaviour behaviour) : behaviour_(behaviour) {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { received(*socket); });
            }
        });
    }
    int port() {
        // Room for every connection a fleet opens at once, as each device would have.
        setListenBacklogSize(1024);
        if (!isListening() && !listen(QHostAddress::LocalHost, 0))
            return -1;
        return serverPort();
    }
    int connections = 0;

private:
    void received(QTcpSocket& socket) {
        if (behaviour_ == Behaviour::Reset) {
            // Closed with the request unread: the system resets the connection.
            socket.abort();
            return;
        }
        QByteArray& buffer = buffers_[&socket];
        buffer += socket.readAll();
        while (buffer.size() >= 12) {
            const QByteArray request = buffer.left(12);
            buffer.remove(0, 12);
            answer(socket, request, ++requests_[&socket]);
        }
    }

    // A frame to `request`: its transaction and unit, then `pdu`; `length` in place of
    // the true one when given.
    static QByteArray frame(const QByteArray& request, const char* pdu, int length = -1) {
        const QByteArray body = QByteArray::fromHex(pdu);
        const int field = length < 0 ? 1 + int(body.size()) : length;
        return request.left(2) + QByteArray::fromHex("0000") + char(field >> 8) + char(field & 0xFF) +
               request[6] + body;
    }

    void answer(QTcpSocket& socket, QByteArray request, int number) {
        if (behaviour_ == Behaviour::Trickle) {
            const QByteArray bytes = frame(request, "03 02 002A");
            for (qsizetype i = 0; i < bytes.size(); ++i)
                QTimer::singleShot(150 * int(i), &socket,
                                   [&socket, byte = bytes[i]] { socket.write(&byte, 1); });
        } else if (behaviour_ == Behaviour::AnswerThenClose && number > 1) {
            socket.disconnectFromHost();
        } else {
            socket.write(reply(request));
        }
    }

    QByteArray reply(QByteArray request) const {
        switch (behaviour_) {
        case Behaviour::Exception07:
            return frame(request, "83 07");
        case Behaviour::Silent:
            return {};
        case Behaviour::LengthZero:
            return frame(request, "", 0);
        case Behaviour::LengthSixShort:
            return frame(request, "03", 6);
        case Behaviour::LengthMaxShort:
            return frame(request, "03 02", 0xFFFF);
        case Behaviour::SevenOfEleven:
            return frame(request, "03 02 002A").left(7);
        case Behaviour::Text:
            return "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        case Behaviour::OtherTransaction:
            request[1] = char(request[1] + 1);
            break;
        case Behaviour::OtherUnit:
            request[6] = 7;
            break;
        case Behaviour::OtherFunction:
            return frame(request, "04 02 002A");
        default:
            break;
        }
        return frame(request, "03 02 002A");
    }

    Behaviour behaviour_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QHash<QTcpSocket*, int> requests_;
};

// A TCP port on the loopback that nothing listens on right now.
int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return -1;
    return probe.serverPort();
}

// How long a run may take beyond its time-outs: a busy machine (and Wine) starts
// programs slowly. A run that hangs is killed later still, and told apart.
#ifdef Q_OS_WIN
constexpr qint64 MarginMs = 30000;
#else
constexpr qint64 MarginMs = 5000;
#endif
constexpr qint64 HangMs = 30000;

// tessaly-cli run while this test's event loop keeps serving, killed when it has not
// ended `HangMs` after its bound.
struct Run {
    int exitCode = -1;
    QString out, err;
    qint64 ms = 0;
    bool hung = false;
};
Run runServing(const QStringList& arguments, qint64 boundMs, std::function<void()> inChild = {}) {
    QProcess process;
#ifdef Q_OS_UNIX
    if (inChild)
        process.setChildProcessModifier(inChild);
#else
    Q_UNUSED(inChild);
#endif
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(TESSALY_CLI_PATH), arguments);
    Run run;
    if (!process.waitForStarted(60000))
        return run;
    guard.start(int(boundMs + HangMs));
    loop.exec();
    run.ms = timer.elapsed();
    if (process.state() != QProcess::NotRunning) {
        run.hung = true;
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

#define QVERIFY_ENDS_WITHIN(run, boundMs)                                                                    \
    QVERIFY2(!(run).hung && (run).ms <= (boundMs),                                                           \
             qPrintable((run).hung                                                                           \
                            ? QStringLiteral("hangs: killed after %1 ms").arg((run).ms)                      \
                            : QStringLiteral("took %1 ms, more than %2 ms").arg((run).ms).arg(boundMs)))

const char* const TableCsv = "Data Type,Address TCP,Address Device RTU,Address RTU,N° Point,Mnemonic\r\n"
                             "Holding Register,10,1,100,3,Level\r\n"
                             "Input Register,5,1,200,1,Flow\r\n"
                             "Holding Register,20,1,300,1,Alarm\r\n"
                             "Coil Status,3,1,400,1,Flag\r\n"
                             "Input Status,0,1,500,10,Inputs\r\n"
                             "Holding Register,10,1,600,0,Nothing\r\n"
                             "Input Register,0,1,700,126,Block\r\n"
                             "Holding Register,65535,1,800,2,Edge\r\n"
                             "Holding Register,11,1,900,1,After\r\n";

// A project Gw at 127.0.0.1:port with the table above.
void makeProject(const ProgramDir& dir, int port) {
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Gw"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", "Gw", "ip=127.0.0.1",
                     "port=" + QString::number(port)})
                 .exitCode,
             0);
    writeAll(dir.file("map.csv"), TableCsv);
    QCOMPARE(runCli({"--program-dir", dir.path(), "table", "import", "--project", "Gw", dir.file("map.csv")})
                 .exitCode,
             0);
}

// Per scripted behaviour, the read line of probe (unit 1, holding register 0, time-out
// 500 ms) after "read: ", `*` for what varies.
struct Expected {
    const char* name;
    Behaviour behaviour;
    QString read;
    int exitCode;
};
std::vector<Expected> misbehaviours() {
    const QString read = QStringLiteral("%1 (unit 1, holding register 0, %2)");
    const QString tooShort =
        QStringLiteral("length field 0, too short for a unit identifier and a function code");
    const QString tooLong = QStringLiteral("length field 65535, longer than any Modbus frame (254 at most)");
    return {
        {"silent", Behaviour::Silent, read.arg("no answer", "nothing within 500 ms"), 1},
        {"length 0", Behaviour::LengthZero, read.arg("no Modbus answer", tooShort), 1},
        {"length 6, 1 byte of it", Behaviour::LengthSixShort,
         read.arg("incomplete answer", "8 of 12 bytes within 500 ms"), 1},
        {"length 65535, 2 bytes of it", Behaviour::LengthMaxShort, read.arg("no Modbus answer", tooLong), 1},
        {"7 of 11 bytes", Behaviour::SevenOfEleven,
         read.arg("incomplete answer", "7 of 11 bytes within 500 ms"), 1},
        {"a byte every 150 ms", Behaviour::Trickle, read.arg("incomplete answer", "* bytes within 500 ms"),
         1},
        {"text", Behaviour::Text,
         read.arg("no Modbus answer", "protocol identifier 0x5450, where Modbus has 0"), 1},
        {"another transaction", Behaviour::OtherTransaction,
         read.arg("answer to another request", "an answer to transaction 0x0002, not to ours (0x0001)"), 1},
        {"another unit", Behaviour::OtherUnit,
         read.arg("answer from another unit", "an answer from unit 7, not from unit 1"), 1},
        {"another function", Behaviour::OtherFunction,
         read.arg("answer for another function", "an answer for function 0x04, not for 0x03"), 1},
        {"reset", Behaviour::Reset, read.arg("connection closed", "*"), 1},
        {"exception 0x07", Behaviour::Exception07,
         "exception 0x07 negative acknowledge (unit 1, holding register 0)", 0},
        {"answer", Behaviour::Answer, "answer (unit 1, holding register 0 = 42)", 0},
    };
}
} // namespace

Q_DECLARE_METATYPE(Behaviour)

class TestProbeCli : public QObject {
    Q_OBJECT
private slots:
    void probe_data();
    void probe();
    void misbehavingDevice_data();
    void misbehavingDevice();
    void tableGivenUp_data();
    void tableGivenUp();
    void nothingToProbe_data();
    void nothingToProbe();
    void fleetProbe();
    void fleetProbeOfMisbehavingDevices();
    void fleetProbeBeyondTheOpenFileLimit();
    void helpAfterCommand_data();
    void helpAfterCommand();
    void argumentsReachProbeProgram_data();
    void argumentsReachProbeProgram();
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
    // Bits as many as the row asks; rows no request can carry are not sent, and the
    // rows after them are read.
    QTest::newRow("table")
        << true << 20 << true
        << QStringList{"modbus tcp: open (127.0.0.1:%1)",
                       "read: answer (unit 1, holding register 0 = 42)",
                       "Level = 7 8 9",
                       "Flow = 1234",
                       "Alarm: exception 0x0B gateway target device failed to respond",
                       "Flag = 1",
                       "Inputs = 1 0 1 1 0 0 0 0 0 1",
                       "Nothing: not sent (N° Point 0: nothing to read)",
                       "Block: not sent (126 registers, more than the 125 one request carries)",
                       "Edge: not sent (address 65535 and 2 registers reach past 65535)",
                       "After = 8"}
        << 0;
    QTest::newRow("refused") << false << -1 << false
                             << QStringList{"modbus tcp: refused (127.0.0.1:%1, Connection refused)",
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
    makeProject(dir, port);

    QStringList arguments{"--program-dir", dir.path(), "probe", "--project", "Gw", "--timeout", "1000"};
    if (table)
        arguments << "--table";
    const Run run = runServing(arguments, 2000 + MarginMs);
    QStringList printed = run.out.split('\n');
    QVERIFY2(printed.size() == lines.size() + 2 && printed.first().startsWith("echo: "), qPrintable(run.out));
    QCOMPARE(printed.mid(1, lines.size()).join('\n'), lines.join('\n').arg(port));
    QCOMPARE(run.exitCode, exitCode);
}

void TestProbeCli::misbehavingDevice_data() {
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("exitCode");
    for (const Expected& expected : misbehaviours())
        QTest::newRow(expected.name) << expected.behaviour << expected.read << expected.exitCode;
}

// Whatever the device sends, probe ends within its steps' time-outs (connection,
// read; the echo runs beside them) and says what came; only a Modbus answer to the
// request sent is an answer.
void TestProbeCli::misbehavingDevice() {
    QFETCH(Behaviour, behaviour);
    QFETCH(QString, read);
    QFETCH(int, exitCode);
    ScriptedDevice device(behaviour);
    const int port = device.port();
    QVERIFY(port > 0);
    ProgramDir dir;
    makeProject(dir, port);

    const qint64 bound = 2 * 500 + MarginMs;
    const Run run =
        runServing({"--program-dir", dir.path(), "probe", "--project", "Gw", "--timeout", "500"}, bound);
    QVERIFY_ENDS_WITHIN(run, bound);
    const QStringList printed = run.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(printed.size() == 3, qPrintable(run.out));
    QCOMPARE(printed[1], QStringLiteral("modbus tcp: open (127.0.0.1:%1)").arg(port));
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression("read: " + read));
    QVERIFY2(pattern.match(printed[2]).hasMatch(), qPrintable(printed[2]));
    QCOMPARE(run.exitCode, exitCode);
}

void TestProbeCli::tableGivenUp_data() {
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QStringList>("lines"); // after the connection's line
    QTest::addColumn<int>("steps");         // time-outs the run may take
    QTest::newRow("silent gateway: two time-outs, not one per row")
        << Behaviour::Silent
        << QStringList{"read: no answer (unit 1, holding register 0, nothing within 500 ms)",
                       "Level: no answer (nothing within 500 ms)",
                       "8 rows not read: the gateway did not answer 2 reads in a row"}
        << 3;
    QTest::newRow("connection closed after the first answer")
        << Behaviour::AnswerThenClose
        << QStringList{"read: answer (unit 1, holding register 0 = 42)",
                       "Level: connection closed (the device closed the connection)",
                       "8 rows not read: the device closed the connection"}
        << 2;
    QTest::newRow("damaged answer: where the next begins is unknown")
        << Behaviour::LengthZero
        << QStringList{"read: no Modbus answer (unit 1, holding register 0, length field 0, too short for a "
                       "unit "
                       "identifier and a function code)",
                       "9 rows not read: after that answer, where the next one begins is unknown"}
        << 2;
}

void TestProbeCli::tableGivenUp() {
    QFETCH(Behaviour, behaviour);
    QFETCH(QStringList, lines);
    QFETCH(int, steps);
    ScriptedDevice device(behaviour);
    const int port = device.port();
    QVERIFY(port > 0);
    ProgramDir dir;
    makeProject(dir, port);

    const qint64 bound = steps * 500 + MarginMs;
    const Run run = runServing(
        {"--program-dir", dir.path(), "probe", "--project", "Gw", "--timeout", "500", "--table"}, bound);
    QVERIFY_ENDS_WITHIN(run, bound);
    const QStringList printed = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(printed.mid(2).join('\n'), lines.join('\n'));
    QCOMPARE(run.exitCode, behaviour == Behaviour::AnswerThenClose ? 0 : 1);
}

void TestProbeCli::nothingToProbe_data() {
    QTest::addColumn<bool>("blank"); // a new project, or a folder without pargen.xml
    QTest::addColumn<QString>("message");
    QTest::newRow("new project's 0.0.0.0")
        << true << "0.0.0.0 is the unspecified address, which names no device\n";
    QTest::newRow("folder without pargen.xml") << false << "pargen.xml missing\n";
}

// Linux takes a connection to 0.0.0.0 to this computer itself: the device served here
// would answer for it.
void TestProbeCli::nothingToProbe() {
    QFETCH(bool, blank);
    QFETCH(QString, message);
    ScriptedDevice device(Behaviour::Answer);
    const int port = device.port();
    QVERIFY(port > 0);
    ProgramDir dir;
    if (blank) {
        QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Gw"}).exitCode, 0);
        QCOMPARE(
            runCli({"--program-dir", dir.path(), "set", "--project", "Gw", "port=" + QString::number(port)})
                .exitCode,
            0);
    } else {
        QVERIFY(QDir().mkpath(dir.file("PROJECTS/Gw")));
    }
    const Run run = runServing({"--program-dir", dir.path(), "probe", "--project", "Gw"}, 1000 + MarginMs);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, message);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(device.connections, 0);
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

    const qint64 bound = 2 * 1000 + MarginMs;
    const Run run = runServing({"--program-dir", dir.path(), "fleet", "probe", "--timeout", "1000"}, bound);
    QVERIFY_ENDS_WITHIN(run, bound);
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
}

// One device of each kind, and two projects that name no device: the run ends within
// about two time-outs, counts only Modbus answers and contacts nothing for the two.
void TestProbeCli::fleetProbeOfMisbehavingDevices() {
    ProgramDir dir;
    const std::vector<Expected> kinds = misbehaviours();
    std::vector<std::unique_ptr<ScriptedDevice>> devices;
    QByteArray csv = "project,ip,port\r\n";
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        devices.push_back(std::make_unique<ScriptedDevice>(kinds[i].behaviour));
        const int port = devices.back()->port();
        QVERIFY(port > 0);
        csv += QStringLiteral("Dev%1,127.0.0.1,%2\r\n").arg(i, 2, 10, QLatin1Char('0')).arg(port).toUtf8();
    }
    writeAll(dir.file("fleet.csv"), csv);
    runCli({"--program-dir", dir.path(), "fleet", "apply", dir.file("fleet.csv")});
    ScriptedDevice local(Behaviour::Answer);
    QVERIFY(local.port() > 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "new", "Blank"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", dir.path(), "set", "--project", "Blank",
                     "port=" + QString::number(local.port())})
                 .exitCode,
             0);
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Bare")));

    const qint64 bound = 2 * 1000 + MarginMs;
    const Run run = runServing({"--program-dir", dir.path(), "fleet", "probe", "--timeout", "1000"}, bound);
    QVERIFY_ENDS_WITHIN(run, bound);
    const QStringList printed = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), int(kinds.size()) + 4);
    QCOMPARE(printed[1].simplified(), "Bare - - - pargen.xml missing");
    QCOMPARE(printed[2].simplified(),
             "Blank - - - 0.0.0.0 is the unspecified address, which names no device");
    QCOMPARE(printed.last(), QStringLiteral("2 of %1 devices answered").arg(kinds.size() + 2));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(local.connections, 0);
}

// A limit of 64 open files that cannot be raised: the 150 devices take turns, and
// none is reported failed for it.
void TestProbeCli::fleetProbeBeyondTheOpenFileLimit() {
#ifndef Q_OS_UNIX
    QSKIP("open file limits are POSIX ones");
#else
    constexpr int Devices = 150;
    ScriptedDevice device(Behaviour::Answer);
    const int port = device.port();
    QVERIFY(port > 0);
    ProgramDir dir;
    QByteArray csv = "project,ip,port\r\n";
    for (int i = 0; i < Devices; ++i)
        csv += QStringLiteral("Dev%1,127.0.0.1,%2\r\n").arg(i, 3, 10, QLatin1Char('0')).arg(port).toUtf8();
    writeAll(dir.file("fleet.csv"), csv);
    runCli({"--program-dir", dir.path(), "fleet", "apply", dir.file("fleet.csv")});

    const qint64 bound = 20 * 1000 + MarginMs;
    const Run run =
        runServing({"--program-dir", dir.path(), "fleet", "probe", "--timeout", "1000"}, bound, [] {
            const rlimit limit{64, 64};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
    QVERIFY_ENDS_WITHIN(run, bound);
    const QStringList failed = run.out.split('\n').filter(QRegularExpression("^Dev\\d+ (?!.* answer 42 )"));
    QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
    QVERIFY2(run.out.endsWith(QStringLiteral("%1 of %1 devices answered\n").arg(Devices)),
             qPrintable(run.err));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(device.connections, Devices);
#endif
}

void TestProbeCli::helpAfterCommand_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("probe") << QStringList{"probe", "--help"} << "Usage: tessaly-cli probe [--project P]";
    QTest::newRow("probe, after options")
        << QStringList{"probe", "--project", "X", "--help"} << "Usage: tessaly-cli probe [--project P]";
    QTest::newRow("fleet probe") << QStringList{"fleet", "probe", "--help"}
                                 << "Usage: tessaly-cli fleet probe";
    QTest::newRow("fleet apply") << QStringList{"fleet", "apply", "--help"}
                                 << "Usage: tessaly-cli fleet apply";
}

void TestProbeCli::helpAfterCommand() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    ProgramDir dir;
    const CliRun run = runCli(QStringList{"--program-dir", dir.path()} + arguments);
    QVERIFY2(run.out.startsWith(usage), qPrintable(run.out));
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
}

void TestProbeCli::argumentsReachProbeProgram_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("blanks") << "Pump station 2";
    QTest::newRow("quotes") << "say \"hi\" twice";
    QTest::newRow("backslash before a quote") << "a\\\"b";
    QTest::newRow("trailing backslashes") << "end with blank\\\\";
    QTest::newRow("tab") << "a\tb";
    QTest::newRow("beyond the ANSI code page")
        << QString::fromUtf8("\u03A9mega \u041D\u0430\u0441\u043E\u0441");
}

// tessaly-cli hands probe over to the probe program: every argument reaches it as typed.
void TestProbeCli::argumentsReachProbeProgram() {
    QFETCH(QString, name);
    ProgramDir dir;
    const CliRun run = runCli({"--program-dir", dir.path(), "probe", "--project", name});
    QCOMPARE(run.err.split('\n').first(), "tessaly-cli probe: no project " + name);
    QCOMPARE(run.exitCode, 2);
}

QTEST_MAIN(TestProbeCli)
#include "tst_probe_cli.moc"
