#include "firmware/SerialPortMap.h"
#include "tests/support/ScriptedSerialPorts.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

// "ttyUSB0 usb by=usb-FTDI_X" describes one detected port.
SerialPortDescription parsePort(const QString& text) {
    const QStringList words = text.split(QLatin1Char(' '));
    SerialPortDescription port = describedPort(words[0]);
    if (words[0].contains(QLatin1Char('\\'))) // a Windows device: \\.\COM3
        port.device = words[0];
    for (const QString& word : words.mid(1)) {
        if (word == QLatin1String("usb"))
            port.usb = true;
        else if (word.startsWith(QLatin1String("by=")))
            port.byIdName = word.mid(3);
    }
    return port;
}

QString originText(PortOrigin origin) {
    return origin == PortOrigin::Nowhere ? QStringLiteral("nowhere") : portOriginName(origin);
}

} // namespace

class TestSerialPortMap : public QObject {
    Q_OBJECT
private slots:
    void ordering_data();
    void ordering();
    void portMapFiles_data();
    void portMapFiles();
};

void TestSerialPortMap::ordering_data() {
    QTest::addColumn<QStringList>("detected"); // in the system's order
    QTest::addColumn<QStringList>("ini");      // COMn=device
    QTest::addColumn<QStringList>("expected"); // COM1 onwards: "device origin"
    QTest::addColumn<QString>("lookup");       // a device given by the user
    QTest::addColumn<int>("lookupIndex");      // its COM index, -1: not in the map

    QTest::newRow("USB first, the others by number")
        << QStringList{"ttyS10", "ttyS2", "ttyS0", "ttyUSB0 usb"} << QStringList{}
        << QStringList{"/dev/ttyUSB0 detected", "/dev/ttyS0 detected", "/dev/ttyS2 detected",
                       "/dev/ttyS10 detected", "- nowhere"}
        << "/dev/ttyS10" << 3;
    QTest::newRow("by-id names order the adapters, those without one after them")
        << QStringList{"ttyACM0 usb", "ttyUSB0 usb by=usb-Prolific_PL2303-if00-port0", "ttyS0",
                       "ttyUSB1 usb by=usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"}
        << QStringList{}
        << QStringList{"/dev/ttyUSB1 detected", "/dev/ttyUSB0 detected", "/dev/ttyACM0 detected",
                       "/dev/ttyS0 detected"}
        << "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0" << 1;
    // A device an entry names is not numbered again; the detected ports fill the
    // names no entry holds, so every one of them can be named.
    QTest::newRow("FlashWrite.ini takes one COM name, the detected ports the others")
        << QStringList{"ttyS0", "ttyUSB0 usb"} << QStringList{"COM1=/dev/pts/7"}
        << QStringList{"/dev/pts/7 FlashWrite.ini", "/dev/ttyUSB0 detected", "/dev/ttyS0 detected",
                       "- nowhere"}
        << "/dev/ttyUSB0" << 1;
    QTest::newRow("an ini entry naming a detected port")
        << QStringList{"ttyUSB0 usb", "ttyUSB1 usb"} << QStringList{"COM3=/dev/ttyUSB0"}
        << QStringList{"/dev/ttyUSB1 detected", "- nowhere", "/dev/ttyUSB0 FlashWrite.ini"} << "/dev/ttyUSB0"
        << 2;
    QTest::newRow("an entry not understood leads nowhere, not to a detected port")
        << QStringList{"ttyUSB0 usb", "ttyUSB1 usb"} << QStringList{"COM1="}
        << QStringList{"- FlashWrite.ini", "/dev/ttyUSB0 detected", "/dev/ttyUSB1 detected"} << "/dev/ttyUSB1"
        << 2;
    QTest::newRow("more than eight ports")
        << QStringList{"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS4",      "ttyS5",
                       "ttyS6", "ttyS7", "ttyS8", "ttyS9", "ttyACM0 usb"}
        << QStringList{"COM12=/dev/pts/3"}
        << QStringList{"/dev/ttyACM0 detected",
                       "/dev/ttyS0 detected",
                       "/dev/ttyS1 detected",
                       "/dev/ttyS2 detected",
                       "/dev/ttyS3 detected",
                       "/dev/ttyS4 detected",
                       "/dev/ttyS5 detected",
                       "/dev/ttyS6 detected",
                       "/dev/ttyS7 detected",
                       "/dev/ttyS8 detected",
                       "/dev/ttyS9 detected",
                       "/dev/pts/3 FlashWrite.ini",
                       "- nowhere"}
        << "/dev/ttyS9" << 10;
    QTest::newRow("the system's own COM names hold")
        << QStringList{"\\\\.\\COM3", "\\\\.\\COM1"} << QStringList{"COM2=\\\\.\\COM7"}
        << QStringList{"\\\\.\\COM1 detected", "\\\\.\\COM7 FlashWrite.ini", "\\\\.\\COM3 detected",
                       "- nowhere"}
        << "\\\\.\\COM3" << 2;
    QTest::newRow("nothing detected")
        << QStringList{} << QStringList{} << QStringList{"- nowhere"} << "/dev/ttyUSB0" << -1;
}

void TestSerialPortMap::ordering() {
    QFETCH(QStringList, detected);
    QFETCH(QStringList, ini);
    QFETCH(QStringList, expected);
    QFETCH(QString, lookup);
    QFETCH(int, lookupIndex);

    QList<SerialPortDescription> ports;
    for (const QString& text : detected)
        ports << parsePort(text);
    QMap<int, QString> entries;
    for (const QString& entry : ini)
        entries.insert(entry.section(QLatin1Char('='), 0, 0).mid(3).toInt() - 1,
                       entry.section(QLatin1Char('='), 1));

    const SerialPortMap map(entries, ports);
    QStringList got;
    for (int index = 0; index < expected.size(); ++index) {
        const MappedPort port = map.port(index);
        got << (port.device.isEmpty() ? QStringLiteral("-") : port.device) + QLatin1Char(' ') +
                   originText(port.origin);
    }
    QCOMPARE(got, expected);
    // Every name up to the last one leading somewhere is counted; nothing after it.
    QCOMPARE(map.size(), int(expected.size()) - (expected.last().endsWith(QLatin1String("nowhere")) ? 1 : 0));
    QCOMPARE(map.indexOfDevice(lookup).value_or(-1), lookupIndex);
}

void TestSerialPortMap::portMapFiles_data() {
    QTest::addColumn<QByteArray>("own");       // FlashWrite.ini beside the tool as started
    QTest::addColumn<QByteArray>("installed"); // beside the file it links to; null: no link
    QTest::addColumn<QStringList>("expected"); // COM1 to COM3: the device, "-" none, "?" not understood
    QTest::addColumn<QStringList>("warnings"); // "own:3": line 3 of that file is not understood

    QTest::newRow("the user's entry first, the installed one for the others")
        << QByteArray("COM1=/dev/own\n") << QByteArray("[ports]\r\nCOM1=/dev/inst1\r\nCOM2=/dev/inst2\r\n")
        << QStringList{"/dev/own", "/dev/inst2", "-"} << QStringList{};
    // A port the user meant to name does not fall to another file's entry or a detected port.
    QTest::newRow("leading zero, blank, comma")
        << QByteArray("COM01=/dev/a\n[ports]\nCOM 2 = /dev/b\nCOM3=/dev/c,/dev/d\n")
        << QByteArray("COM1=/dev/inst1\nCOM2=/dev/inst2\nCOM3=/dev/inst3\n") << QStringList{"?", "?", "?"}
        << QStringList{"own:1", "own:3", "own:4"};
    QTest::newRow("a name given twice") << QByteArray("COM1=/dev/a\r\nCOM1=/dev/b\r\n") << QByteArray()
                                        << QStringList{"?", "-", "-"} << QStringList{"own:2"};
    QTest::newRow("other settings before any section, other sections, quotes")
        << QByteArray("Speed=9600\n[Ports]\ncom2 = \"/dev/ttyUSB1\"\nport1\n[other]\nCOM01=x\n")
        << QByteArray() << QStringList{"-", "/dev/ttyUSB1", "-"} << QStringList{"own:4"};
    QTest::newRow("an installed map's faults") << QByteArray() << QByteArray("[ports]\nCOM2=/a,/b\n")
                                               << QStringList{"-", "?", "-"} << QStringList{"installed:2"};
}

void TestSerialPortMap::portMapFiles() {
    QFETCH(QByteArray, own);
    QFETCH(QByteArray, installed);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, warnings);

    ProgramDir dir;
    const QMap<QString, QString> folders{{"own", dir.file("own")}, {"installed", dir.file("installed")}};
    QString tool = dir.file("own/FlashWrite.exe");
    if (installed.isNull()) {
        writeAll(tool, "tool");
    } else {
#ifdef Q_OS_UNIX
        writeAll(dir.file("installed/FlashWrite.exe"), "tool");
        writeAll(dir.file("installed/FlashWrite.ini"), installed);
        QVERIFY(QDir().mkpath(dir.file("own")));
        QVERIFY(QFile::link(dir.file("installed/FlashWrite.exe"), tool));
#else
        QSKIP("a tool linked to another folder is a POSIX per-user folder's");
#endif
    }
    if (!own.isNull())
        writeAll(dir.file("own/FlashWrite.ini"), own);

    const CurrentPortMap current = toolPortMap(tool, ScriptedSerialPorts());
    QVERIFY2(current.iniError.isEmpty(), qPrintable(current.iniError));
    QStringList got;
    for (int index = 0; index < 3; ++index) {
        const MappedPort port = current.map.port(index);
        got << (port.fault == PortFault::NotUnderstood ? QStringLiteral("?")
                : port.device.isEmpty()                ? QStringLiteral("-")
                                                       : port.device);
    }
    QCOMPARE(got, expected);
    QCOMPARE(current.warnings.size(), warnings.size());
    for (qsizetype i = 0; i < warnings.size(); ++i) {
        const QString file =
            QDir::toNativeSeparators(folders[warnings[i].section(':', 0, 0)] + "/FlashWrite.ini");
        QVERIFY2(current.warnings[i].startsWith(file + ", line " + warnings[i].section(':', 1) + ": "),
                 qPrintable(current.warnings[i]));
    }
}

QTEST_MAIN(TestSerialPortMap)
#include "tst_serialportmap.moc"
