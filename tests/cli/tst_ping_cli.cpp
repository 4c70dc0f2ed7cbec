// `tessaly-cli ping` against 127.0.0.1, and inside network namespaces this test
// creates and deletes. No echo goes anywhere else.
#include "platform/IcmpEcho.h"
#include "tests/support/NetworkNamespace.h"
#include "tests/support/PingSupport.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <unistd.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QString Found = QStringLiteral("Device Found!\n");
const QString NotFound = QStringLiteral("Device Not Found!\n");
const QString Error = QStringLiteral("Error!!! Check the Ip Address\n");

} // namespace

class TestPingCli : public QObject {
    Q_OBJECT
private slots:
    void loopbackFound();
    void usageErrors_data();
    void usageErrors();
    void loopbackDownIsAnError_data();
    void loopbackDownIsAnError();
    void bothSocketKindsInNamespace();
    void ignoredEchoIsNotFoundAfterTimeout();
    void unspecifiedAddressIsAnError_data();
    void unspecifiedAddressIsAnError();
    void fleetProbeEchoes_data();
    void fleetProbeEchoes();
};

void TestPingCli::loopbackFound() {
    if (!icmpSocketAllowed(IcmpSocketKind::Any))
        QSKIP("neither ICMP datagram nor raw sockets are permitted here");
    ProgramDir dir;
    const CliRun run = runCli({"--program-dir", dir.path(), "ping", "127.0.0.1"});
    QCOMPARE(run.out, Found);
    QCOMPARE(run.exitCode, 0);
}

void TestPingCli::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no host") << QStringList{"ping"};
    QTest::newRow("two hosts") << QStringList{"ping", "127.0.0.1", "127.0.0.2"};
    QTest::newRow("unknown socket kind") << QStringList{"ping", "--socket", "packet", "127.0.0.1"};
    QTest::newRow("unknown option") << QStringList{"ping", "--count", "127.0.0.1"};
}

void TestPingCli::usageErrors() {
    QFETCH(QStringList, arguments);
    ProgramDir dir;
    const CliRun run = runCli(QStringList{"--program-dir", dir.path()} + arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY(run.err.contains("Usage: tessaly-cli ping"));
}

void TestPingCli::loopbackDownIsAnError_data() {
    QTest::addColumn<QString>("host");
    QTest::newRow("no route to the address") << "127.0.0.1";
    // Nothing can leave the namespace, so the name cannot resolve.
    QTest::newRow("name that does not resolve") << "no.such.host.invalid";
}

void TestPingCli::loopbackDownIsAnError() {
    QFETCH(QString, host);
    Namespace ns(QStringLiteral("down"));
    CREATE_NAMESPACE(ns);
    ProgramDir dir;
    const CliRun run = ns.cli({"--program-dir", dir.path(), "ping", host});
    QCOMPARE(run.out, Error);
    QCOMPARE(run.exitCode, 1);
}

void TestPingCli::bothSocketKindsInNamespace() {
    Namespace ns(QStringLiteral("kinds"));
    CREATE_NAMESPACE(ns);
    // Open the unprivileged datagram socket to every group, in this namespace only.
    QVERIFY(ns.shell("ip link set lo up && echo '0 2147483647' > /proc/sys/net/ipv4/ping_group_range"));
    ProgramDir dir;
    for (const char* kind : {"datagram", "raw", "auto"}) {
        const CliRun run = ns.cli({"--program-dir", dir.path(), "ping", "--socket", kind, "127.0.0.1"});
        QVERIFY2(run.out == Found, kind);
        QCOMPARE(run.exitCode, 0);
    }
}

void TestPingCli::ignoredEchoIsNotFoundAfterTimeout() {
    Namespace ns(QStringLiteral("silent"));
    CREATE_NAMESPACE(ns);
    QVERIFY(ns.shell("ip link set lo up && echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
    ProgramDir dir;
    QElapsedTimer timer;
    timer.start();
    // A raw socket also sees the request itself come back over loopback; that is no reply.
    const CliRun run = ns.cli({"--program-dir", dir.path(), "ping", "127.0.0.1"});
    QCOMPARE(run.out, NotFound);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(timer.elapsed() >= 4900, "not found before the echo's time-out");
}

void TestPingCli::unspecifiedAddressIsAnError_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("message");
    // The address said once, however it was written.
    QTest::newRow("dotted") << "0.0.0.0"
                            << "0.0.0.0 is the unspecified address, which names no device\n";
    QTest::newRow("one number") << "0"
                                << "0 is the unspecified address 0.0.0.0, which names no device\n";
}

void TestPingCli::unspecifiedAddressIsAnError() {
    QFETCH(QString, host);
    QFETCH(QString, message);
    // In a namespace of its own with loopback up, where 0.0.0.0 would answer.
    Namespace ns(QStringLiteral("unspecified"));
    CREATE_NAMESPACE(ns);
    QVERIFY(ns.shell("ip link set lo up"));
    ProgramDir dir;
    const CliRun run = ns.cli({"--program-dir", dir.path(), "ping", host});
    QCOMPARE(run.out, Error);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, message);
}

void TestPingCli::fleetProbeEchoes_data() {
    QTest::addColumn<bool>("ignored");
    QTest::newRow("answered") << false;
    QTest::newRow("ignored, as where ICMP is blocked") << true;
}

// fleet probe's echoes all wait at once: three hundred devices that do not answer take
// one time-out (the bound leaves room for a busy machine, not for one per device).
void TestPingCli::fleetProbeEchoes() {
    QFETCH(bool, ignored);
    Namespace ns(QStringLiteral("fleet"));
    CREATE_NAMESPACE(ns);
    QVERIFY(ns.shell(QStringLiteral("ip link set lo up && echo %1 > /proc/sys/net/ipv4/icmp_echo_ignore_all")
                         .arg(ignored ? 1 : 0)));
    ProgramDir dir;
    constexpr int Devices = 300;
    QByteArray csv = "project,ip\r\n";
    for (int i = 0; i < Devices; ++i)
        csv += QStringLiteral("Dev%1,127.0.%2.%3\r\n")
                   .arg(i, 3, 10, QLatin1Char('0'))
                   .arg(i / 200)
                   .arg(2 + i % 200)
                   .toUtf8();
    writeAll(dir.file("fleet.csv"), csv);
    runCli({"--program-dir", dir.path(), "fleet", "apply", dir.file("fleet.csv")});

    QElapsedTimer timer;
    timer.start();
    const CliRun run = ns.cli({"--program-dir", dir.path(), "fleet", "probe", "--timeout", "1000"});
    const qint64 ms = timer.elapsed();
    const QStringList rows = run.out.split('\n', Qt::SkipEmptyParts).mid(1, Devices);
    QCOMPARE(rows.size(), Devices);
    for (const QString& row : rows)
        QVERIFY2(
            row.simplified().section(' ', 1).startsWith(ignored ? "no answer refused " : "answers refused "),
            qPrintable(row));
    QVERIFY2(ms < 2 * 1000 + 5000, qPrintable(QString::number(ms)));
}

QTEST_GUILESS_MAIN(TestPingCli)
#include "tst_ping_cli.moc"
