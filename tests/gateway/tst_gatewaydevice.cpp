// The gateway in this process, its loader on a pseudo-terminal: firmwares refused keep
// the running configuration and the state folder as they were; a sound one is stored
// and booted.
#include "commissioning/GatewayDevice.h"
#include "modbus/Mbap.h"
#include "tests/image/ConfiguredBank.h"
#include "tests/image/SRecordText.h"
#include "tests/support/PseudoTerminal.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const QByteArray Running = firmwareWithBank(configuredBank({127, 0, 0, 1}, 1502, 0));
const QByteArray Next = firmwareWithBank(configuredBank({127, 0, 0, 1}, 1503, 0));

// Holding register 0 of unit 1 through the gateway at `port`: its value, -1 without an answer.
int readRegister(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000))
        return -1;
    socket.write(modbus::encodeAdu({1, 1, QByteArray::fromHex("03 0000 0001")}));
    QByteArray received;
    if (!QTest::qWaitFor(
            [&] {
                received += socket.readAll();
                return received.size() >= 11;
            },
            5000))
        return -1;
    return quint8(received[9]) << 8 | quint8(received[10]);
}

// Writes all of `bytes` to the line as the flashing tool would, while the gateway reads.
bool send(PseudoTerminal& line, const QByteArray& bytes) {
    QElapsedTimer clock;
    clock.start();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(line.masterDescriptor(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (clock.hasExpired(10000))
            return false;
        else
            QTest::qWait(1);
    }
    return true;
}

LoadedFirmware loaded(const QByteArray& text) {
    LoadedFirmware firmware;
    FirmwareLoader loader(QStringLiteral("test"));
    loader.onLoaded = [&firmware](const LoadedFirmware& f) { firmware = f; };
    loader.feed(text);
    return firmware;
}

} // namespace

class TestGatewayDevice : public QObject {
    Q_OBJECT
private slots:
    void refusedFirmwareChangesNothing_data();
    void refusedFirmwareChangesNothing();
};

void TestGatewayDevice::refusedFirmwareChangesNothing_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("why");
    QByteArray corrupt = Next;
    corrupt[corrupt.indexOf("S2") + 20] = corrupt[corrupt.indexOf("S2") + 20] == '0' ? '1' : '0';
    QTest::newRow("a corrupt record") << corrupt << "Line 2: checksum error";
    QTest::newRow("cut off") << Next.left(Next.size() / 2)
                             << "the transfer was cut off: nothing came for 0.3 s";
    QTest::newRow("no configuration")
        << firmwareWithBank(QByteArray(16384, '\0')) << "Firmware refused: it holds no configuration";
}

void TestGatewayDevice::refusedFirmwareChangesNothing() {
    QFETCH(QByteArray, sent);
    QFETCH(QString, why);
    PseudoTerminal line;
    QVERIFY(line.isOpen());
    QTemporaryDir state;
    commissioning::GatewayOptions options;
    options.listenAddress = QHostAddress::LocalHost;
    options.listenPort = 0;
    options.simulatedUnits = QList<int>{1};
    options.flashDevice = line.slaveName();
    options.flashGapMs = 300;
    options.stateDir = state.path();
    commissioning::GatewayDevice device(options);
    QStringList said, complained;
    connect(&device, &commissioning::GatewayDevice::said, [&said](const QString& s) { said << s; });
    connect(&device, &commissioning::GatewayDevice::complained,
            [&complained](const QString& s) { complained << s; });
    QVERIFY(!device.startLoader());
    QVERIFY(!device.boot(loaded(Running), QStringLiteral("the first firmware")));
    const quint16 port = device.servingPort();
    QCOMPARE(readRegister(port), 1000);

    QVERIFY(send(line, sent));
    QTRY_VERIFY_WITH_TIMEOUT(!complained.isEmpty(), 5000);
    QVERIFY2(complained.join('\n').contains(why), qPrintable(complained.join('\n')));
    QVERIFY(complained.last().endsWith("The running configuration stays."));
    QVERIFY(device.serving());
    QCOMPARE(device.servingPort(), port);
    QCOMPARE(readRegister(port), 1000);
    QCOMPARE(QDir(state.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // The flashing tool tries again with a sound firmware: stored, and booted.
    said.clear();
    QVERIFY(send(line, Next));
    QTRY_VERIFY_WITH_TIMEOUT(said.contains("Booting the firmware received:"), 5000);
    QVERIFY2(said.contains("  port=1503"), qPrintable(said.join('\n')));
    QFile stored(commissioning::storedFirmwarePath(state.path()));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), Next);
    QCOMPARE(readRegister(device.servingPort()), 1000);
}

QTEST_GUILESS_MAIN(TestGatewayDevice)
#include "tst_gatewaydevice.moc"
