#include "firmware/srecord/SRecord.h"
#include "firmware/srecord/SxFileCheck.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/ScriptedSerialPorts.h"
#include "tests/support/TestSupport.h"
#include "tools/flashwrite/FlashWriteCall.h"
#include "tools/flashwrite/FlashWriteJob.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace tessaly;
using namespace tessaly::flashwrite;
using tessaly::test::PseudoTerminal;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray received; // what arrived at the pseudo-terminal's master
    QByteArray out;
    QByteArray err;
};

// Runs `tool` with the raw `parameter` as its one argument, collecting what reaches
// `pty` until the tool ends (30 s at most: a hanging tool is killed and fails the test).
ToolRun runTool(const QString& tool, const QByteArray& parameter, PseudoTerminal& pty, const QString& outFile,
                const QString& errFile) {
    ToolRun run;
    qputenv("FLASHWRITE_EXIT_WHEN_DONE", "1");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray path = QFile::encodeName(tool);
    const QByteArray outPath = QFile::encodeName(outFile);
    const QByteArray errPath = QFile::encodeName(errFile);
    QByteArray argument = parameter;
    char* argv[] = {const_cast<char*>(path.constData()), argument.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;

    const QDeadlineTimer deadline(30000);
    int status = 0;
    for (;;) {
        run.received += pty.read(50);
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            break;
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return run;
        }
    }
    run.received += pty.read(0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = test::readAll(outFile);
    run.err = test::readAll(errFile);
    return run;
}

// The tool copied into a program directory of its own, with the port map `portMap`
// beside it; empty when it could not be copied.
QString toolWithPortMap(const test::ProgramDir& dir, const QByteArray& portMap) {
    const QString tool = dir.file(QStringLiteral("FlashWrite.exe"));
    if (!QFile::copy(QStringLiteral(FLASHWRITE_EXE), tool))
        return {};
    test::writeAll(dir.file(PortMapFileName), portMap);
    return tool;
}

QByteArray firmwareFile(int dataRecords, const QByteArray& lineEnd) {
    QByteArray file = tessaly::formatSRecord('0', 0, 2, "TEST") + lineEnd;
    for (int i = 0; i < dataRecords; ++i) {
        QByteArray data(32, char(i));
        file += tessaly::formatSRecord('2', 0x380000 + 32 * i, 3, data) + lineEnd;
    }
    return file + "S9030000FC" + lineEnd;
}

} // namespace

class TestFlashWrite : public QObject {
    Q_OBJECT
private slots:
    void parameter_data();
    void parameter();
    void portMapping_data();
    void portMapping();
    void transfer_data();
    void transfer();
    void portInUse_data();
    void portInUse();
    void drainsBeforeClosing();
    void portFails_data();
    void portFails();
};

void TestFlashWrite::parameter_data() {
    QTest::addColumn<QByteArray>("parameter");
    QTest::addColumn<QByteArray>("fileName"); // empty: refused
    QTest::addColumn<int>("portIndex");

    QTest::newRow("COM3") << QByteArray("\"/p/PROJECTS/Line3/New_sx48316.sx\"\xB6"
                                        "2")
                          << QByteArray("/p/PROJECTS/Line3/New_sx48316.sx") << 2;
    QTest::newRow("COM1, blanks in the name") << QByteArray("\"/p/My Line/New.sx\"\xB6"
                                                            "0")
                                              << QByteArray("/p/My Line/New.sx") << 0;
    QTest::newRow("backslash name") << QByteArray("\"D:\\Tools\\New_sx48316.sx\"\xB6"
                                                  "7")
                                    << QByteArray("D:\\Tools\\New_sx48316.sx") << 7;
    QTest::newRow("COM256") << QByteArray("\"f\"\xB6"
                                          "255")
                            << QByteArray("f") << 255;
    QTest::newRow("leading zero") << QByteArray("\"f\"\xB6"
                                                "04")
                                  << QByteArray("f") << 4;
    QTest::newRow("quote inside the name") << QByteArray("\"/p/a\"b.sx\"\xB6"
                                                         "1")
                                           << QByteArray("/p/a\"b.sx") << 1;
    QTest::newRow("0xB6 inside the name") << QByteArray("\"/p/a\xB6"
                                                        "1.sx\"\xB6"
                                                        "3")
                                          << QByteArray("/p/a\xB6"
                                                        "1.sx")
                                          << 3;
    QTest::newRow("UTF-8 name") << QByteArray("\"/p/Ger\xC3\xA4t.sx\"\xB6"
                                              "5")
                                << QByteArray("/p/Ger\xC3\xA4t.sx") << 5;

    QTest::newRow("UTF-8 pilcrow") << QByteArray("\"f\"\xC2\xB6"
                                                 "2")
                                   << QByteArray() << -1;
    QTest::newRow("no separator") << QByteArray("\"f\"2") << QByteArray() << -1;
    QTest::newRow("no opening quote") << QByteArray("f\"\xB6"
                                                    "2")
                                      << QByteArray() << -1;
    QTest::newRow("no closing quote") << QByteArray("\"f\xB6"
                                                    "2")
                                      << QByteArray() << -1;
    QTest::newRow("no index") << QByteArray("\"f\"\xB6") << QByteArray() << -1;
    QTest::newRow("index too large") << QByteArray("\"f\"\xB6"
                                                   "256")
                                     << QByteArray() << -1;
    QTest::newRow("four digits") << QByteArray("\"f\"\xB6"
                                               "0001")
                                 << QByteArray() << -1;
    QTest::newRow("sign") << QByteArray("\"f\"\xB6"
                                        "-1")
                          << QByteArray() << -1;
    QTest::newRow("trailing blank") << QByteArray("\"f\"\xB6"
                                                  "2 ")
                                    << QByteArray() << -1;
    QTest::newRow("empty name") << QByteArray("\"\"\xB6"
                                              "2")
                                << QByteArray() << -1;
    QTest::newRow("lone quote") << QByteArray("\"\xB6"
                                              "2")
                                << QByteArray() << -1;
    QTest::newRow("empty") << QByteArray() << QByteArray() << -1;
}

void TestFlashWrite::parameter() {
    QFETCH(QByteArray, parameter);
    QFETCH(QByteArray, fileName);
    QFETCH(int, portIndex);
    const FlashWriteCall call = parseParameter(parameter);
    QCOMPARE(call.ok(), !fileName.isEmpty());
    QCOMPARE(call.fileNameBytes, fileName);
    QCOMPARE(call.portIndex, portIndex);
    if (!call.ok())
        QVERIFY(!call.error.isEmpty());
    else if (QUtf8StringView(fileName).isValidUtf8())
        QCOMPARE(QFile::encodeName(call.fileName), fileName);
}

void TestFlashWrite::portMapping_data() {
    QTest::addColumn<QByteArray>("ini"); // null: no FlashWrite.ini
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<QString>("device");

    QTest::newRow("no ini, COM1") << QByteArray() << 0 << "/dev/ttyS0";
    QTest::newRow("no ini, COM8") << QByteArray() << 7 << "/dev/ttyS7";
    QTest::newRow("[ports]") << QByteArray("[ports]\r\nCOM3=/dev/ttyUSB0\r\n") << 2 << "/dev/ttyUSB0";
    QTest::newRow("[ports], other port") << QByteArray("[ports]\nCOM3=/dev/ttyUSB0\n") << 0 << "/dev/ttyS0";
    QTest::newRow("plain lines") << QByteArray("COM1=/dev/ttyACM0\nCOM2=/dev/ttyACM1\n") << 1
                                 << "/dev/ttyACM1";
    QTest::newRow("lower case, blanks")
        << QByteArray("[Ports]\ncom4 = /dev/ttyUSB3 \n") << 3 << "/dev/ttyUSB3";
    QTest::newRow("COM10 is not COM1") << QByteArray("COM10=/dev/ten\n") << 0 << "/dev/ttyS0";
    QTest::newRow("COM10") << QByteArray("COM10=/dev/ten\n") << 9 << "/dev/ten";
    QTest::newRow("other section") << QByteArray("[other]\nCOM1=/dev/wrong\n") << 0 << "/dev/ttyS0";
    QTest::newRow("empty entry") << QByteArray("[ports]\nCOM1=\n") << 0 << "/dev/ttyS0";
    QTest::newRow("comment") << QByteArray("; COM1=/dev/wrong\n[ports]\nCOM2=/dev/ttyUSB1\n") << 0
                             << "/dev/ttyS0";
}

void TestFlashWrite::portMapping() {
    QFETCH(QByteArray, ini);
    QFETCH(int, portIndex);
    QFETCH(QString, device);
    test::ProgramDir dir;
    const QString iniPath = dir.file(PortMapFileName);
    if (!ini.isNull())
        test::writeAll(iniPath, ini);
    // A machine with eight on-board ports and no adapter: unmapped COMn is ttyS<n-1>.
    test::ScriptedSerialPorts ports;
    for (int k = 7; k >= 0; --k)
        ports.list << test::describedPort(QStringLiteral("ttyS%1").arg(k));
    const SerialDevice found = serialDeviceFor(portIndex, {iniPath}, ports);
    QVERIFY2(found.ok(), qPrintable(found.error));
    QCOMPARE(found.device, device);
}

void TestFlashWrite::transfer_data() {
    QTest::addColumn<QByteArray>("parameterTail"); // after the quoted file name
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("mapping"); // COM3's device; "pty": the pseudo-terminal
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("message");

    const QByteArray firmware = firmwareFile(600, "\r\n");
    QByteArray badChecksum = firmware;
    badChecksum[badChecksum.indexOf("\r\nS2") + 40] ^= 1; // a data digit of the first S2 record
    QTest::newRow("sent") << QByteArray("\xB6"
                                        "2")
                          << firmware << "pty" << 0 << firmware << "602 records sent to COM3";
    QTest::newRow("LF file, CR LF on the wire")
        << QByteArray("\xB6"
                      "2")
        << firmwareFile(3, "\n") << "pty" << 0 << firmwareFile(3, "\r\n") << "5 records sent to COM3";
    QTest::newRow("bad checksum, port untouched")
        << QByteArray("\xB6"
                      "2")
        << badChecksum << "pty" << 3 << QByteArray() << "Line 2: checksum error";
    QTest::newRow("no terminator") << QByteArray("\xB6"
                                                 "2")
                                   << firmware.left(firmware.lastIndexOf("S9")) << "pty" << 3 << QByteArray()
                                   << "no terminator record";
    QTest::newRow("port missing") << QByteArray("\xB6"
                                                "2")
                                  << firmware << "/nonexistent/ttyX" << 4 << QByteArray()
                                  << "Cannot open COM3 (/nonexistent/ttyX)";
    QTest::newRow("UTF-8 pilcrow") << QByteArray("\xC2\xB6"
                                                 "2")
                                   << firmware << "pty" << 2 << QByteArray() << "0xB6";
    QTest::newRow("not a serial port")
        << QByteArray("\xB6"
                      "2")
        << firmware << "/dev/null" << 4 << QByteArray() << "COM3 (/dev/null) is not a serial port";
}

void TestFlashWrite::transfer() {
    QFETCH(QByteArray, parameterTail);
    QFETCH(QByteArray, file);
    QFETCH(QString, mapping);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, received);
    QFETCH(QString, message);

    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    test::ProgramDir dir;
    const QString device = mapping == QLatin1String("pty") ? pty.slaveName() : mapping;
    const QString tool = toolWithPortMap(dir, "[ports]\r\nCOM3=" + QFile::encodeName(device) + "\r\n");
    QVERIFY(!tool.isEmpty());
    const QString firmware = dir.file(QStringLiteral("New_sx48316.sx"));
    test::writeAll(firmware, file);

    const QByteArray parameter = '"' + QFile::encodeName(firmware) + '"' + parameterTail;
    const ToolRun run = runTool(tool, parameter, pty, dir.file(QStringLiteral("stdout.txt")),
                                dir.file(QStringLiteral("stderr.txt")));
    QVERIFY2(run.exitCode == exitCode, run.err.constData());
    QCOMPARE(run.received.size(), received.size());
    QVERIFY(run.received == received);
    const QByteArray& report = exitCode == 0 ? run.out : run.err;
    QVERIFY2(report.contains(message.toUtf8()), report.constData());
    // Qt's note that the offscreen platform passes no size hints on is none for users.
    QVERIFY2(!run.err.contains("propagateSizeHints"), run.err.constData());
}

void TestFlashWrite::portInUse_data() {
    QTest::addColumn<QString>("holder"); // what holds the port while the tool runs
    QTest::addColumn<int>("exitCode");
    QTest::newRow("FHS lock file of a live process") << "lock file" << 4;
    QTest::newRow("lock file of an ended process") << "stale lock file" << 0;
    QTest::newRow("flock") << "flock" << 4;
    QTest::newRow("a second program using QSerialPort") << "serial port" << 4;
}

void TestFlashWrite::portInUse() {
    QFETCH(QString, holder);
    QFETCH(int, exitCode);
    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    test::ProgramDir dir;
    const QString tool = toolWithPortMap(dir, "COM1=" + QFile::encodeName(pty.slaveName()) + "\n");
    QVERIFY(!tool.isEmpty());
    const QByteArray firmware = firmwareFile(20, "\r\n");
    test::writeAll(dir.file(QStringLiteral("New.sx")), firmware);

    // The lock file's name as minicom and QSerialPort give it: /dev/pts/3 is pts_3.
    const QString lock = "/run/lock/LCK.." + pty.slaveName().mid(5).replace('/', '_');
    std::optional<QSerialPort> other;
    if (holder.contains("lock file")) {
        if (!QFileInfo(QStringLiteral("/run/lock")).isWritable())
            QSKIP("/run/lock is not writable here");
        pid_t owner = ::getpid();
        if (holder == "stale lock file") {
            owner = ::fork();
            if (owner == 0)
                ::_exit(0);
            ::waitpid(owner, nullptr, 0);
        }
        test::writeAll(lock, QByteArray::number(owner).rightJustified(10, ' ') + "\n");
    } else if (holder == "flock") {
        QCOMPARE(::flock(pty.slaveDescriptor(), LOCK_EX | LOCK_NB), 0);
    } else {
        other.emplace(pty.slaveName());
        QVERIFY(other->open(QIODevice::ReadWrite));
    }

    const ToolRun run =
        runTool(tool, '"' + QFile::encodeName(dir.file("New.sx")) + "\"\xB6" + "0", pty,
                dir.file(QStringLiteral("stdout.txt")), dir.file(QStringLiteral("stderr.txt")));
    const bool lockStays = QFileInfo::exists(lock);
    other.reset();
    QFile::remove(lock);
    QVERIFY2(run.exitCode == exitCode, run.err.constData());
    if (exitCode == 0) {
        QCOMPARE(run.received, firmware);
        QVERIFY(!lockStays); // stale: taken over, and gone with the tool
        return;
    }
    const QString inUse = QStringLiteral("COM1 (%1) is in use by process %2 (tst_flashwrite)")
                              .arg(pty.slaveName())
                              .arg(::getpid());
    QVERIFY2(run.err.contains(inUse.toUtf8()), run.err.constData());
    QCOMPARE(run.received, QByteArray());
    if (holder == "lock file")
        QVERIFY(lockStays);
}

void TestFlashWrite::drainsBeforeClosing() {
    // The other end reads 11,520 bytes a second, as a device at 115200 baud does. Where
    // the port is a UART, the system's drain waits for that; a pseudo-terminal tells
    // its writer nothing, so the drain here waits for the reader as a UART's would.
    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    test::ProgramDir dir;
    const QString portMap = dir.file(PortMapFileName);
    test::writeAll(portMap, "COM1=" + QFile::encodeName(pty.slaveName()) + "\n");
    const QByteArray content = firmwareFile(150, "\r\n");
    const QString firmware = dir.file(QStringLiteral("New.sx"));
    test::writeAll(firmware, content);

    std::atomic<qsizetype> read{0};
    std::atomic<bool> settingsLeftEarly{false};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        char buffer[1152];
        while (!stop && read < content.size()) {
            const ssize_t n = ::read(pty.masterDescriptor(), buffer, sizeof buffer);
            if (n > 0)
                read += n;
            termios settings{};
            if (read > 0 && read < content.size() && ::tcgetattr(pty.slaveDescriptor(), &settings) == 0 &&
                ::cfgetospeed(&settings) != B115200)
                settingsLeftEarly = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    FlashWriteJob job('"' + QFile::encodeName(firmware) + "\"\xB6" + "0", {portMap});
    job.setDrain([&](QSerialPort&) -> std::optional<QString> {
        const QDeadlineTimer deadline(20000);
        while (read < content.size() && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return std::nullopt;
    });
    qsizetype readWhenReported = -1;
    connect(&job, &FlashWriteJob::finished, this, [&] { readWhenReported = read; });
    QSignalSpy finished(&job, &FlashWriteJob::finished);
    job.start();
    const bool ended = finished.wait(30000);
    stop = true;
    reader.join();
    QVERIFY(ended);
    QCOMPARE(finished.at(0).at(0).toInt(), int(Sent));
    QCOMPARE(readWhenReported, content.size());
    QVERIFY(!settingsLeftEarly);
}

void TestFlashWrite::portFails_data() {
    QTest::addColumn<bool>("hangUp"); // the other end closes; otherwise it reads nothing
    QTest::addColumn<QString>("message");
    // The event loop is held up for a second after the port stops taking data: the
    // message names that second, not the time-out of 0.3 s.
    QTest::newRow("stalled") << false << "accepted no data for 1\\.[0-9] s$";
    // What an unplugged adapter looks like; the system's last error would say nothing of it.
    QTest::newRow("hung up") << true << "the port hung up \\(.*\\) after \\d+ of 4002 records$";
}

void TestFlashWrite::portFails() {
    QFETCH(bool, hangUp);
    QFETCH(QString, message);
    // Once the pseudo-terminal's buffers are full the port accepts nothing more, and
    // the job must give up instead of hanging.
    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    test::ProgramDir dir;
    const QString portMap = dir.file(PortMapFileName);
    test::writeAll(portMap, "COM1=" + QFile::encodeName(pty.slaveName()) + "\n");
    const QString firmware = dir.file(QStringLiteral("big.sx"));
    test::writeAll(firmware, firmwareFile(4000, "\r\n"));

    FlashWriteJob job('"' + QFile::encodeName(firmware) + "\"\xB6" + "0", {portMap});
    job.setStallTimeout(300);
    QSignalSpy finished(&job, &FlashWriteJob::finished);
    // 150 ms after the port took its last record, the event loop is held up.
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setInterval(150);
    connect(&quiet, &QTimer::timeout, this, [] { QThread::msleep(1000); });
    connect(&job, &FlashWriteJob::progress, this, [&](int sent) {
        if (hangUp && sent == 10)
            pty.closeMaster();
        if (!hangUp)
            quiet.start();
    });
    job.start();
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.at(0).at(0).toInt(), int(TransferFailed));
    const QString reported = finished.at(0).at(1).toString();
    QVERIFY2(reported.contains(QRegularExpression(message)), qPrintable(reported));
}

QTEST_GUILESS_MAIN(TestFlashWrite)
#include "tst_flashwrite.moc"
