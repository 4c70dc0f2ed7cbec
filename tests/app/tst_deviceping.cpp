#include "app/DevicePing.h"
#include "tests/support/PingSupport.h"

#include <QTest>
#include <stdexcept>

using namespace tessaly;
using namespace tessaly::test;

namespace {
// How the scripted echo answers.
enum class Answer { Reply, Never, Throw };
} // namespace

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(PingResultKind)

class TestDevicePing : public QObject {
    Q_OBJECT
private slots:
    void results_data();
    void results();
    void stateIsResetByEveryPing();
};

void TestDevicePing::results_data() {
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("replyOnPass"); // 0: before the echo returns; n: during the n-th wait step
    QTest::addColumn<uint>("startTick");
    QTest::addColumn<uint>("echoTakesMs");
    QTest::addColumn<PingResultKind>("kind");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("waitSteps");

    const auto found = PingResultKind::Found;
    const auto notFound = PingResultKind::NotFound;
    QTest::newRow("reply with bytes") << Answer::Reply << 72 << 0 << 0u << 3u << found << 1 << 1;
    QTest::newRow("reply of one byte") << Answer::Reply << 1 << 0 << 0u << 0u << found << 1 << 1;
    QTest::newRow("timed out") << Answer::Reply << 0 << 0 << 0u << 5000u << notFound << 2 << 1;
    QTest::newRow("negative count") << Answer::Reply << -1 << 0 << 0u << 0u << notFound << 2 << 1;
    QTest::newRow("late reply") << Answer::Reply << 40 << 3 << 0u << 0u << found << 1 << 3;
    QTest::newRow("late time-out") << Answer::Reply << 0 << 5 << 0u << 0u << notFound << 2 << 5;
    // 10 ms steps while at most 10000 ms have passed since t0: 1001 steps.
    QTest::newRow("never reported") << Answer::Never << 0 << 0 << 1000u << 0u << notFound << 0 << 1001;
    QTest::newRow("never, across the wrap")
        << Answer::Never << 0 << 0 << 0xFFFFFF00u << 0u << notFound << 0 << 1001;
    // t0 is taken before the echo, so the time it blocked counts against the bound.
    QTest::newRow("never, after a slow echo")
        << Answer::Never << 0 << 0 << 7u << 5000u << notFound << 0 << 501;
    QTest::newRow("error") << Answer::Throw << 0 << 0 << 0u << 0u << PingResultKind::Error << 0 << 0;
}

void TestDevicePing::results() {
    QFETCH(Answer, answer);
    QFETCH(int, bytes);
    QFETCH(int, replyOnPass);
    QFETCH(uint, startTick);
    QFETCH(uint, echoTakesMs);
    QFETCH(PingResultKind, kind);
    QFETCH(int, state);
    QFETCH(int, waitSteps);

    ScriptedEcho echo;
    SteppingTicks ticks(startTick);
    int passes = 0;
    echo.behaviour = [&](const IcmpEcho::ReplyHandler& onReply) {
        ticks.now += echoTakesMs;
        if (answer == Answer::Throw)
            throw IcmpEchoError(QStringLiteral("Cannot resolve nowhere"));
        if (answer == Answer::Reply && replyOnPass == 0)
            onReply(IcmpReplyStatus{bytes});
    };
    DevicePing ping(echo, ticks, [&] {
        ++passes;
        if (answer == Answer::Reply && passes == replyOnPass)
            echo.handler(IcmpReplyStatus{bytes});
    });

    const PingResult result = ping.PingDevice(QStringLiteral("192.168.0.10"));

    QCOMPARE(result.kind, kind);
    QCOMPARE(ping.PingState(), state);
    QCOMPARE(ticks.sleeps, QList<std::uint32_t>(waitSteps, 10u));
    QCOMPARE(passes, waitSteps);
    QCOMPARE(echo.requests.size(), 1);
    QCOMPARE(echo.requests[0].host, QString("192.168.0.10"));
    QCOMPARE(echo.requests[0].data, QString("192.168.0.10"));
    QCOMPARE(echo.requests[0].timeoutMs, 5000);
    switch (kind) {
    case PingResultKind::Found:
        QCOMPARE(result.caption, QString("Ping! Device Found!"));
        QCOMPARE(result.label, QString("Device Found!"));
        break;
    case PingResultKind::NotFound:
        QCOMPARE(result.caption, QString("Ping! Device Not Found!"));
        QCOMPARE(result.label, QString("Device Not Found!"));
        break;
    case PingResultKind::Error:
        QCOMPARE(result.caption, QString("Ping! Error!!!"));
        QCOMPARE(result.label, QString("Error!!! Check the Ip Address"));
        break;
    }
}

void TestDevicePing::stateIsResetByEveryPing() {
    ScriptedEcho echo;
    SteppingTicks ticks;
    DevicePing ping(echo, ticks, [] {});
    QCOMPARE(ping.PingDevice(QStringLiteral("10.0.0.1")).kind, PingResultKind::Found);
    QCOMPARE(ping.PingState(), 1);
    echo.behaviour = [](const IcmpEcho::ReplyHandler&) {};
    QCOMPARE(ping.PingDevice(QStringLiteral("10.0.0.1")).kind, PingResultKind::NotFound);
    QCOMPARE(ping.PingState(), 0);
}

QTEST_GUILESS_MAIN(TestDevicePing)
#include "tst_deviceping.moc"
