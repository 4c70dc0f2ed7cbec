// Echoes go to 127.0.0.1 only.
#include "platform/IcmpEcho.h"
#include "platform/IcmpEchoes.h"
#include "tests/support/PingSupport.h"

#include <QElapsedTimer>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

Q_DECLARE_METATYPE(IcmpSocketKind)

class TestIcmpEcho : public QObject {
    Q_OBJECT
private slots:
    void loopbackAnswers_data();
    void loopbackAnswers();
    void repeatedEchoesOnOneClient();
    void emptyHostIsAnError();
    void manyEchoesAtOnce_data();
    void manyEchoesAtOnce();
};

void TestIcmpEcho::loopbackAnswers_data() {
    QTest::addColumn<IcmpSocketKind>("kind");
    QTest::addColumn<QString>("data");
    // Odd and even payload lengths exercise both ends of the checksum; the kernel
    // drops a request whose checksum is wrong, which would show as a time-out here.
    for (const auto& [name, kind] :
         {std::pair{"any", IcmpSocketKind::Any}, std::pair{"datagram", IcmpSocketKind::Datagram},
          std::pair{"raw", IcmpSocketKind::Raw}}) {
        QTest::addRow("%s, odd payload", name) << kind << QStringLiteral("127.0.0.1");
        QTest::addRow("%s, even payload", name) << kind << QStringLiteral("10.0.0.10");
        QTest::addRow("%s, no payload", name) << kind << QString();
        QTest::addRow("%s, non-ASCII payload", name) << kind << QStringLiteral("Gerät");
    }
}

void TestIcmpEcho::loopbackAnswers() {
    QFETCH(IcmpSocketKind, kind);
    QFETCH(QString, data);
    if (!icmpSocketAllowed(kind))
        QSKIP("this process may not open that kind of ICMP socket here");
    const auto echo = createSystemIcmpEcho(kind);
    QList<int> replies;
    echo->ping(QStringLiteral("127.0.0.1"), data, IcmpEcho::DefaultReplyTimeoutMs,
               [&](const IcmpReplyStatus& status) { replies << status.BytesReceived; });
    // Reported once, before ping() returns: the ICMP header and the payload echoed back.
    QCOMPARE(replies, QList<int>{8 + int(data.toUtf8().size())});
}

void TestIcmpEcho::repeatedEchoesOnOneClient() {
    if (!icmpSocketAllowed(IcmpSocketKind::Any))
        QSKIP("neither ICMP datagram nor raw sockets are permitted here");
    const auto echo = createSystemIcmpEcho();
    int found = 0;
    for (int i = 0; i < 5; ++i)
        echo->ping(QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1"), 1000,
                   [&](const IcmpReplyStatus& status) { found += status.BytesReceived > 0; });
    QCOMPARE(found, 5);
}

void TestIcmpEcho::emptyHostIsAnError() {
    const auto echo = createSystemIcmpEcho();
    bool reported = false;
    QVERIFY_THROWS_EXCEPTION(IcmpEchoError, echo->ping(QString(), QString(), 1000,
                                                       [&](const IcmpReplyStatus&) { reported = true; }));
    QVERIFY(!reported);
}

void TestIcmpEcho::manyEchoesAtOnce_data() {
    QTest::addColumn<IcmpSocketKind>("kind");
    QTest::newRow("any") << IcmpSocketKind::Any;
    QTest::newRow("datagram") << IcmpSocketKind::Datagram;
    QTest::newRow("raw") << IcmpSocketKind::Raw;
}

// Two hundred loopback addresses on one socket: each reply goes to the echo of the
// address that sent it, and every outcome comes from the event loop.
void TestIcmpEcho::manyEchoesAtOnce() {
    QFETCH(IcmpSocketKind, kind);
    if (!icmpSocketAllowed(kind))
        QSKIP("this process may not open that kind of ICMP socket here");
    const auto echoes = createSystemIcmpEchoes(kind);
    QHash<QString, IcmpEchoes::Outcome> outcomes;
    QStringList hosts{QStringLiteral("0.0.0.0"), QString()};
    for (int i = 1; i <= 200; ++i)
        hosts << QStringLiteral("127.0.%1.%2").arg(i % 2).arg(i);
    for (const QString& host : hosts)
        echoes->send(
            host, IcmpEcho::DefaultReplyTimeoutMs,
            [&outcomes, host](const IcmpEchoes::Outcome& outcome) { outcomes.insert(host, outcome); });
    QVERIFY(outcomes.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), hosts.size(), 3 * IcmpEcho::DefaultReplyTimeoutMs);
    QCOMPARE(outcomes[QString()].kind, IcmpEchoes::Outcome::Error);
    QCOMPARE(outcomes[QStringLiteral("0.0.0.0")].error,
             QStringLiteral("0.0.0.0 is the unspecified address, which names no device"));
    for (const QString& host : hosts.mid(2))
        QVERIFY2(outcomes[host].kind == IcmpEchoes::Outcome::Answers, qPrintable(host));
}

QTEST_GUILESS_MAIN(TestIcmpEcho)
#include "tst_icmpecho.moc"
