// Times tessaly-cli's fleet commands the way an integrator runs them, each in its
// own process, and reports wall time and the process's peak memory:
//   - fleet apply of N new devices (one table row each) with the demo reference
//     firmware, for N/10 and N devices: the two peaks show whether memory stays flat;
//   - fleet apply of the same table again, every device unchanged;
//   - fleet check of the N devices it made;
//   - fleet probe of P loopback devices (127.0.0.2 and on), every other one answered
//     by a Modbus TCP server in this program, with a time-out of 1 s, under an open
//     file limit of F (soft and hard; default: this program's own). It runs first, so
//     that its peak memory is its own.
//
//   fleet_bench [--devices N] [--probed P] [--nofile F] [--dir DIR]
//
// DIR (default: a temporary directory, removed afterwards) receives the program
// directories. Run it when the machine is otherwise idle; its figures go to the README.
// To see the echoes' share where ICMP is blocked, run it in a network namespace whose
// loopback ignores echoes (see the README).

#include "modbus/Mbap.h"
#include "modbus/ReadExchange.h"
#include "tools/demofirmware/DemoFirmware.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Measured {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0; // user and system time: what the run costs on a busy machine too
    long peakKb = 0;
};

// Runs the command line with its standard output to `output` (or thrown away) and its
// standard error thrown away, under an open file limit of `nofile` when given. With
// `serving`, this program's events are handled while it waits, so that its servers
// answer the command.
Measured measure(const QStringList& arguments, bool serving = false, std::optional<rlim_t> nofile = {},
                 const QString& output = QStringLiteral("/dev/null")) {
    std::vector<QByteArray> storage;
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray outputPath = output.toLocal8Bit();
    Measured result;
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child < 0)
        return result;
    if (child == 0) {
        // The files first: this program's own descriptors may lie above the limit.
        const int out = open(outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_WRONLY);
        dup2(out, 1);
        dup2(null, 2);
        if (nofile) {
            const rlimit limit{*nofile, *nofile};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (serving) {
        while (wait4(child, &status, WNOHANG, &usage) == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    } else {
        wait4(child, &status, 0, &usage);
    }
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKb = usage.ru_maxrss;
    result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return result;
}

// A program directory with the demo firmware and a table of `devices` new projects,
// each with its own address.
QString prepare(const QString& root, int devices) {
    const QString dir = root + QStringLiteral("/fleet%1").arg(devices);
    QDir().mkpath(dir + QStringLiteral("/MASTER"));
    QDir().mkpath(dir + QStringLiteral("/PROJECTS"));
    QFile firmware(dir + QStringLiteral("/MASTER/sx48316.sx"));
    if (!firmware.open(QIODevice::WriteOnly) || firmware.write(tessaly::tools::demoFirmware()) < 0)
        qFatal("cannot write the reference firmware");
    QByteArray csv = "project,ip,mask,baud,parity\r\n";
    for (int i = 0; i < devices; ++i)
        csv += QStringLiteral("Gateway%1,10.%2.%3.%4,255.0.0.0,19200,even\r\n")
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .arg(1 + i / 62500)
                   .arg((i / 250) % 250)
                   .arg(1 + i % 250)
                   .toUtf8();
    QFile table(dir + QStringLiteral("/fleet.csv"));
    if (!table.open(QIODevice::WriteOnly) || table.write(csv) < 0)
        qFatal("cannot write the table");
    return dir;
}

// A device's Modbus TCP side: every read answered with zeros, through the code a
// gateway answers with.
class ZeroDevice final : public QTcpServer {
public:
    ZeroDevice() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { answer(*socket); });
            }
        });
    }

private:
    static void answer(QTcpSocket& socket) {
        QByteArray& buffer = buffers()[&socket];
        buffer += socket.readAll();
        for (;;) {
            const tessaly::modbus::FrameScan scan = tessaly::modbus::scanFrame(buffer);
            if (scan.status == tessaly::modbus::FrameScan::Malformed) {
                socket.abort();
                return;
            }
            if (scan.status == tessaly::modbus::FrameScan::Incomplete)
                return;
            tessaly::modbus::Adu adu = tessaly::modbus::decodeAdu(buffer, scan.size);
            buffer.remove(0, scan.size);
            const auto read = tessaly::modbus::parseReadRequest(adu.pdu);
            if (const auto* request = std::get_if<tessaly::modbus::ReadRequest>(&read)) {
                const std::vector<std::uint16_t> zeros(request->count, 0);
                adu.pdu = tessaly::modbus::readAnswerPdu(request->function, zeros);
            } else {
                adu.pdu = tessaly::modbus::exceptionPdu(std::uint8_t(adu.pdu[0]),
                                                        std::get<tessaly::modbus::ExceptionCode>(read));
            }
            socket.write(tessaly::modbus::encodeAdu(adu));
        }
    }
    static QHash<QTcpSocket*, QByteArray>& buffers() {
        static QHash<QTcpSocket*, QByteArray> all;
        return all;
    }
};

// fleet probe over `devices` projects, half of them served, while this program's
// event loop answers for the served ones. Each served device listens on a port of its
// own that the system chose; the others are given one of those ports on their own
// address, where nothing listens.
void benchProbe(const QString& root, int devices, std::optional<rlim_t> nofile, QTextStream& out) {
    const QString dir = root + QStringLiteral("/probe%1").arg(devices);
    QDir().mkpath(dir + QStringLiteral("/PROJECTS"));
    QByteArray csv = "project,ip,port\r\n";
    std::vector<std::unique_ptr<ZeroDevice>> servers;
    quint16 port = 0;
    for (int i = 0; i < devices; ++i) {
        const QString address = QStringLiteral("127.0.%1.%2").arg((i + 2) / 256).arg((i + 2) % 256);
        if (i % 2 == 0) {
            auto server = std::make_unique<ZeroDevice>();
            if (!server->listen(QHostAddress(address), 0))
                qFatal("cannot serve at %s", qPrintable(address));
            port = server->serverPort();
            servers.push_back(std::move(server));
        }
        csv += QStringLiteral("Device%1,%2,%3\r\n")
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .arg(address)
                   .arg(port)
                   .toUtf8();
    }
    QFile table(dir + QStringLiteral("/fleet.csv"));
    if (!table.open(QIODevice::WriteOnly) || table.write(csv) < 0)
        qFatal("cannot write the table");
    table.close();
    // Without a reference firmware each compose fails, but every pargen.xml is written.
    measure({QStringLiteral(TESSALY_CLI_PATH), "--program-dir", dir, "fleet", "apply", table.fileName()});

    const QString printed = dir + QStringLiteral("/probe.txt");
    const Measured probe = measure(
        {QStringLiteral(TESSALY_CLI_PATH), "--program-dir", dir, "fleet", "probe", "--timeout", "1000"}, true,
        nofile, printed);
    QFile result(printed);
    const QByteArrayList lines =
        result.open(QIODevice::ReadOnly) ? result.readAll().trimmed().split('\n') : QByteArrayList{};
    out << "fleet probe " << devices << " devices, " << servers.size() << " answering, time-out 1 s";
    if (nofile)
        out << ", open files " << *nofile;
    out << ": " << QString::number(probe.seconds, 'f', 2) << " s (cpu "
        << QString::number(probe.cpuSeconds, 'f', 2) << " s), peak " << probe.peakKb / 1024 << " MB, exit "
        << probe.status << ", \"" << (lines.isEmpty() ? QByteArray() : lines.last()) << "\"" << Qt::endl;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    int devices = 1000;
    int probed = 1000;
    std::optional<rlim_t> nofile;
    QString root;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--devices"))
            devices = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--probed"))
            probed = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--nofile"))
            nofile = args[i + 1].toULong();
        else if (args[i] == QLatin1String("--dir"))
            root = args[i + 1];
    }
    QTemporaryDir temporary;
    if (root.isEmpty())
        root = temporary.path();
    QTextStream out(stdout);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) > 0)
        out << "load average " << load[0] << " on " << QThread::idealThreadCount() << " cores" << Qt::endl;
    const QString cli = QStringLiteral(TESSALY_CLI_PATH);
    if (probed > 0)
        benchProbe(root, probed, nofile, out);
    for (const int count : {devices / 10, devices}) {
        const QString dir = prepare(root, count);
        const Measured apply = measure({cli, "--program-dir", dir, "fleet", "apply", dir + "/fleet.csv"});
        out << "fleet apply " << count << " devices: " << QString::number(apply.seconds, 'f', 2) << " s (cpu "
            << QString::number(apply.cpuSeconds, 'f', 2) << " s), peak " << apply.peakKb / 1024
            << " MB, exit " << apply.status << Qt::endl;
        if (count != devices)
            continue;
        // The same table again: every device is current, so nothing is written.
        const Measured again = measure({cli, "--program-dir", dir, "fleet", "apply", dir + "/fleet.csv"});
        out << "fleet apply " << count << " unchanged devices: " << QString::number(again.seconds, 'f', 2)
            << " s (cpu " << QString::number(again.cpuSeconds, 'f', 2) << " s), peak " << again.peakKb / 1024
            << " MB, exit " << again.status << Qt::endl;
        const Measured check = measure({cli, "--program-dir", dir, "fleet", "check"});
        out << "fleet check " << count << " devices: " << QString::number(check.seconds, 'f', 2) << " s (cpu "
            << QString::number(check.cpuSeconds, 'f', 2) << " s), peak " << check.peakKb / 1024
            << " MB, exit " << check.status << Qt::endl;
    }
    return 0;
}
