// Times tessaly-gateway as a SCADA system loads it: clients on loopback, each with one
// read of 10 holding registers outstanding at a time, against simulated units
// (--simulate 1). For 1 and 32 clients it reports requests per second and the round
// trip seen by the clients (p50, p99), then the gateway's own share of a round trip,
// from arrival of a request to its answer leaving, as its traffic log measures it (a
// run of its own with --log), and the gateway's resident and peak memory after each run.
//
//   gateway_bench [--seconds S]   (default 3 s a run)
//
// Run it when the machine is otherwise idle; its figures go to the README.

#include "firmware/srecord/SRecord.h"
#include "image/ConfigImage.h"
#include "modbus/Mbap.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace tessaly;
using Clock = std::chrono::steady_clock;

namespace {

// A firmware whose bank 1 configures 127.0.0.1:1502, routing mode, 115200 8N1.
QByteArray benchFirmware() {
    ConfigImage image;
    image.putByte(ImageOffset::Ip, 127);
    image.putByte(ImageOffset::Ip + 3, 1);
    image.putWord(ImageOffset::Port, 1502);
    image.putByte(ImageOffset::Baud, 7);
    image.putWord(ImageOffset::TimeOut, 1000);
    image.putWord(ImageOffset::BuildDate, packBuildDate(QDate(2024, 3, 15)));
    QByteArray text;
    for (int k = 0; k < ConfigImageSize; k += SxDataBytes)
        text += FormS224Record(0x388000 + std::uint32_t(k), image.bytes().data() + k) + "\r\n";
    return text + formatSRecord('9', 0, 2, {}) + "\r\n";
}

struct Run {
    double requestsPerSecond = 0;
    double p50Ms = 0, p99Ms = 0;
};

double percentile(std::vector<double>& values, double p) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(p * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// `clients` connections to 127.0.0.1:`port`, each sending its next read as soon as the
// answer to the last one is in, for `seconds`.
Run load(quint16 port, int clients, double seconds) {
    const QByteArray request = modbus::encodeAdu({1, 1, QByteArray::fromHex("03 0000 000A")});
    constexpr qsizetype AnswerSize = 7 + 2 + 20;
    struct Connection {
        int fd = -1;
        Clock::time_point sent;
        qsizetype received = 0;
    };
    std::vector<Connection> connections(static_cast<std::size_t>(clients));
    std::vector<pollfd> polls;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (Connection& c : connections) {
        c.fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            qFatal("cannot connect to the gateway");
        polls.push_back({c.fd, POLLIN, 0});
    }
    std::vector<double> latencies;
    latencies.reserve(1 << 20);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (Connection& c : connections) {
        c.sent = Clock::now();
        (void)::write(c.fd, request.constData(), size_t(request.size()));
    }
    const auto start = Clock::now();
    char buffer[4096];
    while (Clock::now() < end) {
        if (::poll(polls.data(), nfds_t(polls.size()), 100) <= 0)
            continue;
        for (std::size_t i = 0; i < polls.size(); ++i) {
            if (!(polls[i].revents & POLLIN))
                continue;
            Connection& c = connections[i];
            const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
            if (n <= 0)
                qFatal("the gateway closed a connection");
            c.received += n;
            if (c.received < AnswerSize)
                continue;
            const auto now = Clock::now();
            latencies.push_back(std::chrono::duration<double, std::milli>(now - c.sent).count());
            c.received -= AnswerSize;
            c.sent = now;
            (void)::write(c.fd, request.constData(), size_t(request.size()));
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    for (Connection& c : connections)
        ::close(c.fd);
    Run run;
    run.requestsPerSecond = double(latencies.size()) / elapsed;
    run.p50Ms = percentile(latencies, 0.50);
    run.p99Ms = percentile(latencies, 0.99);
    return run;
}

// VmRSS and VmHWM of process `pid`, in MB.
std::pair<double, double> memoryOf(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    double rss = 0, peak = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n')) {
            const double kb = line.simplified().split(' ').value(1).toDouble();
            if (line.startsWith("VmRSS:"))
                rss = kb / 1024;
            else if (line.startsWith("VmHWM:"))
                peak = kb / 1024;
        }
    return {rss, peak};
}

class Gateway {
public:
    // Its output goes to a file: a pipe that the load does not read would stall it.
    Gateway(const QString& firmware, bool log) : output_(firmware + (log ? ".log" : ".out")) {
        QStringList arguments{"--firmware", firmware, "--listen", "127.0.0.1:0", "--simulate", "1"};
        if (log)
            arguments << "--log";
        process_.setStandardOutputFile(output_.fileName());
        process_.start(QStringLiteral(TESSALY_GATEWAY_PATH), arguments);
        static const QRegularExpression serving("Modbus TCP at 127.0.0.1:(\\d+),");
        for (int i = 0; i < 1000 && process_.state() != QProcess::NotRunning; ++i) {
            process_.waitForFinished(10);
            if (output_.open(QIODevice::ReadOnly)) {
                const auto m = serving.match(QString::fromUtf8(output_.readAll()));
                output_.close();
                if (m.hasMatch()) {
                    port_ = quint16(m.captured(1).toUInt());
                    return;
                }
            }
        }
        qFatal("tessaly-gateway did not start: %s", process_.readAllStandardError().constData());
    }
    ~Gateway() {
        process_.terminate();
        process_.waitForFinished(10000);
    }
    quint16 port() const { return port_; }
    qint64 pid() const { return process_.processId(); }
    // The round trips its log gives, in ms, for the transactions logged so far.
    std::vector<double> loggedMs() {
        process_.waitForFinished(500);
        std::vector<double> ms;
        static const QRegularExpression figure(", ([0-9.]+) ms$");
        if (output_.open(QIODevice::ReadOnly))
            for (const QByteArray& line : output_.readAll().split('\n'))
                if (const auto m = figure.match(QString::fromUtf8(line)); m.hasMatch())
                    ms.push_back(m.captured(1).toDouble());
        return ms;
    }

private:
    QFile output_;
    QProcess process_;
    quint16 port_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--seconds"));
    const double seconds = at > 0 && at + 1 < args.size() ? args[at + 1].toDouble() : 3.0;
    QTemporaryDir dir;
    const QString firmware = dir.filePath(QStringLiteral("gateway.sx"));
    QFile file(firmware);
    if (!file.open(QIODevice::WriteOnly) || file.write(benchFirmware()) < 0)
        qFatal("cannot write the firmware");
    file.close();
    QTextStream out(stdout);

    out << "| clients | requests/s | round trip p50 | p99 | gateway RSS after | gateway peak "
           "|\n|---|---|---|---|---|---|\n";
    {
        Gateway gateway(firmware, false);
        for (const int clients : {1, 32}) {
            const Run run = load(gateway.port(), clients, seconds);
            const auto [rss, peak] = memoryOf(gateway.pid());
            out << QStringLiteral("| %1 | %2 | %3 ms | %4 ms | %5 MB | %6 MB |\n")
                       .arg(clients)
                       .arg(run.requestsPerSecond, 0, 'f', 0)
                       .arg(run.p50Ms, 0, 'f', 3)
                       .arg(run.p99Ms, 0, 'f', 3)
                       .arg(rss, 0, 'f', 1)
                       .arg(peak, 0, 'f', 1);
            out.flush();
        }
    }
    out << "\nThe gateway's own share (its log: request in to answer out), with --log:\n\n"
           "| clients | requests/s | own share p50 | p99 |\n|---|---|---|---|\n";
    for (const int clients : {1, 32}) {
        Gateway gateway(firmware, true);
        const Run run = load(gateway.port(), clients, seconds);
        std::vector<double> ms = gateway.loggedMs();
        out << QStringLiteral("| %1 | %2 | %3 ms | %4 ms |\n")
                   .arg(clients)
                   .arg(run.requestsPerSecond, 0, 'f', 0)
                   .arg(percentile(ms, 0.50), 0, 'f', 3)
                   .arg(percentile(ms, 0.99), 0, 'f', 3);
        out.flush();
    }
    return 0;
}
