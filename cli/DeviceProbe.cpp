#include "cli/DeviceProbe.h"

#include "platform/IcmpEcho.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QModbusReply>
#include <QModbusTcpClient>
#include <QThreadPool>
#include <QTimer>
#include <QVariant>
#include <optional>

namespace tessaly::cli {

std::optional<QString> modbusExceptionName(int code) {
    switch (code) {
    case 0x01:
        return QStringLiteral("illegal function");
    case 0x02:
        return QStringLiteral("illegal data address");
    case 0x03:
        return QStringLiteral("illegal data value");
    case 0x04:
        return QStringLiteral("server device failure");
    case 0x05:
        return QStringLiteral("acknowledge");
    case 0x06:
        return QStringLiteral("server device busy");
    case 0x08:
        return QStringLiteral("memory parity error");
    case 0x0A:
        return QStringLiteral("gateway path unavailable");
    case 0x0B:
        return QStringLiteral("gateway target device failed to respond");
    default:
        return std::nullopt;
    }
}

DeviceProbe::DeviceProbe(ProbeTarget target, QThreadPool& echoThreads, QObject* parent)
    : QObject(parent), target_(std::move(target)), echoThreads_(echoThreads) {
    report_.table.resize(target_.table.size());
}

DeviceProbe::~DeviceProbe() = default;

void DeviceProbe::start() {
    startEcho();
    client_ = new QModbusTcpClient(this);
    client_->setConnectionParameter(QModbusDevice::NetworkAddressParameter, target_.host);
    client_->setConnectionParameter(QModbusDevice::NetworkPortParameter, target_.port);
    client_->setTimeout(target_.timeoutMs);
    client_->setNumberOfRetries(0);
    connectTimer_ = new QTimer(this);
    connectTimer_->setSingleShot(true);
    connect(connectTimer_, &QTimer::timeout, this, [this] {
        connectionFailed(ProbeReport::TcpTimedOut,
                         QStringLiteral("no connection within %1 ms").arg(target_.timeoutMs));
    });
    connect(client_, &QModbusDevice::stateChanged, this, [this](QModbusDevice::State state) {
        if (state == QModbusDevice::ConnectedState && report_.tcp == ProbeReport::TcpPending)
            connected();
    });
    connect(client_, &QModbusDevice::errorOccurred, this, [this](QModbusDevice::Error error) {
        if (error != QModbusDevice::ConnectionError || report_.tcp != ProbeReport::TcpPending)
            return;
        const QString reason = client_->errorString();
        connectionFailed(reason.contains(QLatin1String("refused"), Qt::CaseInsensitive)
                             ? ProbeReport::TcpRefused
                             : ProbeReport::TcpFailed,
                         reason);
    });
    connectTimer_->start(target_.timeoutMs);
    if (!client_->connectDevice())
        connectionFailed(ProbeReport::TcpFailed, client_->errorString());
}

// The echo client blocks until the reply or the time-out, so it runs on a pool thread
// and hands its outcome back to this object's thread.
void DeviceProbe::startEcho() {
    const QString host = target_.host;
    const int timeoutMs = target_.timeoutMs;
    QPointer<DeviceProbe> self(this);
    echoThreads_.start([self, host, timeoutMs] {
        QElapsedTimer timer;
        timer.start();
        ProbeReport::Echo echo = ProbeReport::EchoNoAnswer;
        QString detail;
        try {
            const std::unique_ptr<IcmpEcho> client = createSystemIcmpEcho();
            client->ping(host, host, timeoutMs, [&](const IcmpReplyStatus& status) {
                echo = status.BytesReceived > 0 ? ProbeReport::EchoAnswers : ProbeReport::EchoNoAnswer;
            });
        } catch (const IcmpEchoError& error) {
            echo = ProbeReport::EchoError;
            detail = QString::fromStdString(error.what());
        }
        const qint64 ms = timer.elapsed();
        QMetaObject::invokeMethod(
            self, [self, echo, detail, ms] { self->echoEnded(echo, detail, ms); }, Qt::QueuedConnection);
    });
}

void DeviceProbe::echoEnded(ProbeReport::Echo echo, const QString& detail, qint64 ms) {
    report_.echo = echo;
    report_.echoDetail = detail;
    report_.echoMs = ms;
    echoDone_ = true;
    checkFinished();
}

void DeviceProbe::connected() {
    connectTimer_->stop();
    report_.tcp = ProbeReport::TcpOpen;
    sendRead(-1);
}

void DeviceProbe::connectionFailed(ProbeReport::Tcp tcp, const QString& detail) {
    if (report_.tcp != ProbeReport::TcpPending)
        return;
    connectTimer_->stop();
    report_.tcp = tcp;
    report_.tcpDetail = detail;
    modbusEnded();
}

void DeviceProbe::sendRead(int index) {
    const bool first = index < 0;
    const QModbusDataUnit unit =
        first ? QModbusDataUnit(QModbusDataUnit::HoldingRegisters, 0, 1)
              : QModbusDataUnit(target_.table[index].type, target_.table[index].address,
                                static_cast<quint16>(target_.table[index].count));
    QModbusReply* reply = client_->sendReadRequest(unit, target_.unit);
    if (!reply) {
        ReadOutcome& outcome = first ? report_.read : report_.table[index];
        outcome.kind = ReadOutcome::NoAnswer;
        outcome.detail = client_->errorString();
        readEnded(index, nullptr);
        return;
    }
    if (reply->isFinished())
        readEnded(index, reply);
    else
        connect(reply, &QModbusReply::finished, this, [this, index, reply] { readEnded(index, reply); });
}

namespace {
// The exception code of an exception answer. The answer's bytes are taken as the
// library serialises them: the function code of an exception answer is no value of
// QModbusPdu's enumeration, so the header's inline accessors may not load it.
std::optional<int> exceptionCodeOf(const QModbusReply& reply) {
    if (reply.error() != QModbusDevice::ProtocolError)
        return std::nullopt;
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << static_cast<const QModbusPdu&>(reply.rawResult());
    if (bytes.size() != 2 || (quint8(bytes[0]) & 0x80) == 0)
        return std::nullopt;
    return quint8(bytes[1]);
}
} // namespace

void DeviceProbe::readEnded(int index, QModbusReply* reply) {
    if (reply) {
        ReadOutcome& outcome = index < 0 ? report_.read : report_.table[index];
        if (reply->error() == QModbusDevice::NoError) {
            outcome.kind = ReadOutcome::Answer;
            outcome.values = reply->result().values();
        } else if (const std::optional<int> code = exceptionCodeOf(*reply)) {
            outcome.kind = ReadOutcome::Exception;
            outcome.exceptionCode = *code;
        } else {
            outcome.kind = ReadOutcome::NoAnswer;
            outcome.detail = reply->errorString();
        }
        // The client may report the same reply once more, aborted, when it is
        // disconnected from within this signal: the first report holds.
        disconnect(reply, nullptr, this, nullptr);
        reply->deleteLater();
    }
    // The next step runs once the client has finished with this reply.
    QMetaObject::invokeMethod(
        this,
        [this, index] {
            const int next = index + 1;
            if (next < target_.table.size() && client_->state() == QModbusDevice::ConnectedState)
                sendRead(next);
            else
                modbusEnded();
        },
        Qt::QueuedConnection);
}

void DeviceProbe::modbusEnded() {
    if (modbusDone_)
        return;
    modbusDone_ = true;
    if (client_->state() != QModbusDevice::UnconnectedState)
        client_->disconnectDevice();
    checkFinished();
}

void DeviceProbe::checkFinished() {
    if (!isFinished() || announced_)
        return;
    announced_ = true;
    emit finished();
}

} // namespace tessaly::cli
