// The gateway's network side in this process, on loopback, with simulated units behind
// it: answers, the order of requests, and clients that misbehave.
#include "modbus/DataRequest.h"
#include "modbus/GatewayServer.h"
#include "modbus/SimulatedRtuLink.h"

#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <optional>

using namespace tessaly::modbus;

namespace {

constexpr int WaitMs = 10000;

QByteArray hex(const char* spaced) {
    return QByteArray::fromHex(spaced);
}

// A client on the event loop that the server shares.
class Client {
public:
    explicit Client(quint16 port) { socket.connectToHost(QHostAddress::LocalHost, port); }
    bool connected() {
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, WaitMs);
    }
    void send(std::uint16_t transaction, std::uint8_t unit, const QByteArray& pdu) {
        socket.write(encodeAdu({transaction, unit, pdu}));
    }
    // The next frame, or nothing within `ms`.
    std::optional<Adu> receive(int ms = WaitMs) {
        (void)QTest::qWaitFor(
            [this] {
                received += socket.readAll();
                return scanFrame(received).status != FrameScan::Incomplete ||
                       socket.state() == QAbstractSocket::UnconnectedState;
            },
            ms);
        const FrameScan scan = scanFrame(received);
        if (scan.status != FrameScan::Complete)
            return std::nullopt;
        const Adu adu = decodeAdu(received, scan.size);
        received.remove(0, scan.size);
        return adu;
    }
    bool closedByServer(int ms = WaitMs) {
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::UnconnectedState; }, ms);
    }

    QTcpSocket socket;
    QByteArray received;
};

// A server on an ephemeral loopback port, with units 1 and 2 behind it.
struct Bench {
    explicit Bench(int delayMs = 0, int timeoutMs = 100) : link(units, delayMs, timeoutMs, 0) {
        server.setLogging(true);
        QObject::connect(&server, &GatewayServer::transaction,
                         [this](const Transaction& t) { log.append(t); });
        QObject::connect(&server, &GatewayServer::clientEvent,
                         [this](const QString& text) { events.append(text); });
    }
    bool listen() { return !server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return server.port(); }

    QList<Transaction> log;
    QStringList events;
    SimulatedUnits units{{1, 2}};
    SimulatedRtuLink link;
    GatewayServer server{link, RequestRouter::routing()};
};

} // namespace

class TestGatewayServer : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void requestsTakeTurnsInOrderOfArrival();
    void malformedFrameClosesThatClientOnly_data();
    void malformedFrameClosesThatClientOnly();
    void partialFrameBlocksNobody();
    void clientsBeyondTheLimitAreRefused();
    void clientThatNeverReadsIsDropped();
    void idleClientIsClosed();
};

void TestGatewayServer::answers_data() {
    QTest::addColumn<int>("unit");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer"); // empty: none comes
    QTest::addColumn<int>("outcome");
    QTest::newRow("read") << 2 << hex("03 0000 0002") << hex("03 04 07D0 07D1") << int(Transaction::Answer);
    QTest::newRow("write") << 1 << hex("06 0009 BEEF") << hex("06 0009 BEEF") << int(Transaction::Answer);
    QTest::newRow("the device's exception")
        << 1 << hex("03 FFFF 0002") << hex("83 02") << int(Transaction::Exception);
    QTest::newRow("silent unit") << 9 << hex("03 0000 0001") << hex("83 0B") << int(Transaction::NoAnswer);
    QTest::newRow("function no master can frame")
        << 1 << hex("41 00") << hex("C1 01") << int(Transaction::Exception);
    QTest::newRow("broadcast") << 0 << hex("06 0000 0001") << QByteArray() << int(Transaction::Broadcast);
}

void TestGatewayServer::answers() {
    QFETCH(int, unit);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, outcome);
    Bench bench;
    QVERIFY(bench.listen());
    Client client(bench.port());
    QVERIFY(client.connected());
    client.send(0xBEAD, std::uint8_t(unit), request);
    // A read of unit 1 after it: with no answer to the broadcast, this is the next frame.
    client.send(0x0102, 1, hex("03 0000 0001"));
    const std::optional<Adu> first = client.receive();
    QVERIFY(first);
    if (answer.isEmpty()) {
        QCOMPARE(first->transactionId, 0x0102);
    } else {
        QCOMPARE(first->transactionId, 0xBEAD);
        QCOMPARE(first->unitId, unit);
        QCOMPARE(first->pdu.toHex(' '), answer.toHex(' '));
        QVERIFY(client.receive());
    }
    QCOMPARE(bench.log.size(), 2);
    QCOMPARE(int(bench.log[0].outcome), outcome);
    if (unit == 0) // the broadcast reached every unit
        QCOMPARE(bench.units.answer(2, hex("03 0000 0001")).toHex(' '), hex("03 02 0001").toHex(' '));
}

void TestGatewayServer::requestsTakeTurnsInOrderOfArrival() {
    Bench bench(30);
    QVERIFY(bench.listen());
    Client a(bench.port()), b(bench.port());
    QVERIFY(a.connected() && b.connected());
    a.send(1, 1, hex("03 0000 0001"));
    QTRY_COMPARE(bench.server.clientCount(), 2);
    QTest::qWait(5);
    b.send(2, 1, hex("03 0000 0001"));
    QTest::qWait(5);
    a.send(3, 1, hex("03 0000 0001"));
    QVERIFY(a.receive() && b.receive() && a.receive());
    QCOMPARE(bench.log.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(bench.log[i].request.size(), 5);
    // Each waited for the one before it on the serial side.
    QVERIFY(bench.log[2].ms >= 2 * 30 - 5);
    QVERIFY(bench.log[1].ms >= 30 - 5);
    QCOMPARE(bench.log[0].client, bench.log[2].client);
    QVERIFY(bench.log[0].client != bench.log[1].client);
}

void TestGatewayServer::malformedFrameClosesThatClientOnly_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");
    QTest::newRow("length 65535, 2 bytes sent") << hex("0001 0000 FFFF 01 03") << "length field 65535";
    QTest::newRow("length 0") << hex("0001 0000 0000 01") << "length field 0";
    QTest::newRow("protocol identifier 1")
        << hex("0001 0001 0006 01 03 0000 0001") << "protocol identifier 0x0001";
    QTest::newRow("text") << QByteArray("GET / HTTP/1.1\r\n\r\n") << "protocol identifier";
}

void TestGatewayServer::malformedFrameClosesThatClientOnly() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    Bench bench;
    QVERIFY(bench.listen());
    Client liar(bench.port()), honest(bench.port());
    QVERIFY(liar.connected() && honest.connected());
    // A good request first, then the lie closes the connection.
    liar.send(1, 1, hex("03 0000 0001"));
    QVERIFY(liar.receive());
    liar.socket.write(bytes);
    QVERIFY(liar.closedByServer());
    QVERIFY2(bench.events.join('\n').contains(why), qPrintable(bench.events.join('\n')));
    honest.send(7, 2, hex("03 0000 0001"));
    const std::optional<Adu> answer = honest.receive();
    QVERIFY(answer);
    QCOMPARE(answer->transactionId, 7);
}

void TestGatewayServer::partialFrameBlocksNobody() {
    Bench bench;
    QVERIFY(bench.listen());
    Client slow(bench.port()), other(bench.port());
    QVERIFY(slow.connected() && other.connected());
    const QByteArray frame = encodeAdu({5, 1, hex("03 0000 0001")});
    slow.socket.write(frame.left(9));
    other.send(6, 1, hex("03 0000 0001"));
    QVERIFY(other.receive());
    // The rest comes much later and completes the frame.
    QTest::qWait(50);
    slow.socket.write(frame.mid(9));
    const std::optional<Adu> answer = slow.receive();
    QVERIFY(answer);
    QCOMPARE(answer->transactionId, 5);
}

void TestGatewayServer::clientsBeyondTheLimitAreRefused() {
    Bench bench;
    bench.server.setMaxClients(32);
    QVERIFY(bench.listen());
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 100; ++i)
        clients.push_back(std::make_unique<Client>(bench.port()));
    QTRY_COMPARE_WITH_TIMEOUT(bench.server.clientCount() + bench.events.filter("refused").size(), 100,
                              WaitMs);
    QCOMPARE(bench.server.clientCount(), 32);
    int refused = 0;
    for (auto& client : clients) {
        client->send(1, 1, hex("03 0000 0001"));
        client->socket.flush();
    }
    int answered = 0;
    for (auto& client : clients) {
        if (client->receive(2000))
            ++answered;
        else if (client->closedByServer(2000))
            ++refused;
    }
    QCOMPARE(answered, 32);
    QCOMPARE(refused, 68);
}

void TestGatewayServer::clientThatNeverReadsIsDropped() {
    Bench bench;
    QVERIFY(bench.listen());
    Client greedy(bench.port()), other(bench.port());
    QVERIFY(greedy.connected() && other.connected());
    greedy.socket.setReadBufferSize(1); // takes nothing in from the system
    // Reads of 125 registers: each 12-byte request asks for a 259-byte answer.
    const QByteArray request = encodeAdu({1, 1, hex("03 0000 007D")});
    bool dropped = false;
    for (int round = 0; round < 2000 && !dropped; ++round) {
        for (int i = 0; i < 50; ++i)
            greedy.socket.write(request);
        QTest::qWait(1);
        dropped = bench.events.filter("does not read its answers").size() == 1;
        if (round % 50 == 0) {
            other.send(std::uint16_t(round), 2, hex("03 0000 0001"));
            QVERIFY2(other.receive(), "another client went unserved");
        }
    }
    QVERIFY2(dropped, qPrintable(bench.events.join('\n')));
    other.send(9, 2, hex("03 0000 0001"));
    QVERIFY(other.receive());
}

void TestGatewayServer::idleClientIsClosed() {
    Bench bench;
    bench.server.setIdleTime(300);
    QVERIFY(bench.listen());
    Client idle(bench.port()), busy(bench.port());
    QVERIFY(idle.connected() && busy.connected());
    QElapsedTimer clock;
    clock.start();
    while (!clock.hasExpired(600)) {
        busy.send(1, 1, hex("03 0000 0001"));
        QVERIFY(busy.receive());
        QTest::qWait(50);
    }
    QCOMPARE(idle.socket.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(busy.socket.state(), QAbstractSocket::ConnectedState);
    QVERIFY(bench.events.join('\n').contains("idle for 0.3 s"));
}

QTEST_GUILESS_MAIN(TestGatewayServer)
#include "tst_gatewayserver.moc"
