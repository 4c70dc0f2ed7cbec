#pragma once

#include <QList>
#include <QModbusDataUnit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QModbusTcpClient;
class QModbusReply;
class QThreadPool;
class QTimer;

namespace tessaly::cli {

// One read of the translate table: a row's Address TCP and N° Point by its data type's
// function.
struct ProbeRead {
    QString mnemonic;
    QModbusDataUnit::RegisterType type = QModbusDataUnit::HoldingRegisters;
    int address = 0;
    int count = 1;
};

struct ProbeTarget {
    QString host; // dotted address
    int port = 502;
    int unit = 1;
    int timeoutMs = 1000;
    QList<ProbeRead> table; // read after the first read, in order
};

// How one read through the gateway ended.
struct ReadOutcome {
    enum Kind { NotSent, Answer, Exception, NoAnswer };
    Kind kind = NotSent;
    QList<quint16> values;
    int exceptionCode = 0;
    QString detail; // the client's reason when nothing came back
};

struct ProbeReport {
    enum Echo { EchoPending, EchoAnswers, EchoNoAnswer, EchoError };
    Echo echo = EchoPending;
    QString echoDetail;
    qint64 echoMs = 0;

    enum Tcp { TcpPending, TcpOpen, TcpRefused, TcpTimedOut, TcpFailed };
    Tcp tcp = TcpPending;
    QString tcpDetail;

    ReadOutcome read;         // unit N, holding register 0
    QList<ReadOutcome> table; // one per ProbeRead
};

// The name of a Modbus exception code, or nothing for a code the protocol does not name.
std::optional<QString> modbusExceptionName(int code);

// Probes one device: an ICMP echo, a Modbus TCP connection and reads through it, the
// echo and the connection at the same time. Every step is bounded by the time-out, so
// any number of probes on one event loop end within about two time-outs.
class DeviceProbe : public QObject {
    Q_OBJECT
public:
    // The echo runs on `echoThreads`, which the echo client blocks while it waits.
    DeviceProbe(ProbeTarget target, QThreadPool& echoThreads, QObject* parent = nullptr);
    ~DeviceProbe() override;

    void start();
    bool isFinished() const { return echoDone_ && modbusDone_; }
    const ProbeReport& report() const { return report_; }
    const ProbeTarget& target() const { return target_; }

signals:
    void finished();

private:
    void startEcho();
    void echoEnded(ProbeReport::Echo echo, const QString& detail, qint64 ms);
    void connected();
    void connectionFailed(ProbeReport::Tcp tcp, const QString& detail);
    void sendRead(int index); // -1 the first read, else a table row
    void readEnded(int index, QModbusReply* reply);
    void modbusEnded();
    void checkFinished();

    ProbeTarget target_;
    QThreadPool& echoThreads_;
    ProbeReport report_;
    QModbusTcpClient* client_ = nullptr;
    QTimer* connectTimer_ = nullptr;
    bool echoDone_ = false;
    bool modbusDone_ = false;
    bool announced_ = false;
};

} // namespace tessaly::cli
