#include "commissioning/ModbusProbe.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>

namespace tessaly::commissioning {

namespace {
const QString NoConnectionText = QStringLiteral("no connection within %1 ms");
const QString NothingText = QStringLiteral("nothing within %1 ms");
const QString IncompleteText = QStringLiteral("%1 of %2 bytes within %3 ms");
const QString ClosedText = QStringLiteral("the device closed the connection");
const QString ClosedAfterText =
    QStringLiteral("the device closed the connection after %1 bytes of an answer");
const QString SilentGatewayText = QStringLiteral("the gateway did not answer %1 reads in a row");
const QString OutOfStepText = QStringLiteral("after that answer, where the next one begins is unknown");

ReadOutcome::Kind outcomeKind(modbus::ReadAnswer::Kind kind) {
    switch (kind) {
    case modbus::ReadAnswer::Values:
        return ReadOutcome::Answer;
    case modbus::ReadAnswer::Exception:
        return ReadOutcome::Exception;
    case modbus::ReadAnswer::OtherTransaction:
        return ReadOutcome::OtherTransaction;
    case modbus::ReadAnswer::OtherUnit:
        return ReadOutcome::OtherUnit;
    case modbus::ReadAnswer::OtherFunction:
        return ReadOutcome::OtherFunction;
    case modbus::ReadAnswer::Malformed:
        break;
    }
    return ReadOutcome::NotModbus;
}

const modbus::ReadRequest FirstRead{modbus::Function::ReadHoldingRegisters, 0, 1};
} // namespace

ModbusProbe::ModbusProbe(const ProbeTarget& target, ProbeReport& report, QObject* parent)
    : QObject(parent), target_(target), report_(report) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ModbusProbe::stepTimedOut);
}

void ModbusProbe::start() {
    socket_ = new QTcpSocket(this);
    socket_->setProxy(QNetworkProxy::NoProxy);
    connect(socket_, &QTcpSocket::connected, this, &ModbusProbe::connected);
    connect(socket_, &QTcpSocket::errorOccurred, this, &ModbusProbe::socketFailed);
    connect(socket_, &QTcpSocket::readyRead, this, &ModbusProbe::receive);
    step_ = Step::Connecting;
    timer_.start(target_.timeoutMs);
    socket_->connectToHost(QHostAddress(target_.host), static_cast<quint16>(target_.port));
}

void ModbusProbe::connected() {
    if (step_ != Step::Connecting)
        return;
    timer_.stop();
    report_.connection = {ConnectionOutcome::Open, {}};
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    sendRead(-1);
}

void ModbusProbe::socketFailed() {
    const QAbstractSocket::SocketError error = socket_->error();
    if (step_ == Step::Connecting) {
        if (error == QAbstractSocket::SocketResourceError) {
            // Handed back from the event loop: the caller may be inside start().
            timer_.stop();
            step_ = Step::Idle;
            resourceError_ = socket_->errorString();
            socket_->disconnect(this);
            socket_->deleteLater();
            socket_ = nullptr;
            QMetaObject::invokeMethod(this, &ModbusProbe::outOfDescriptors, Qt::QueuedConnection);
            return;
        }
        connectionEnded(error == QAbstractSocket::ConnectionRefusedError ? ConnectionOutcome::Refused
                                                                         : ConnectionOutcome::Failed,
                        socket_->errorString());
    } else if (step_ == Step::Reading) {
        QString detail = socket_->errorString();
        if (error == QAbstractSocket::RemoteHostClosedError)
            detail = received_.isEmpty() ? ClosedText : ClosedAfterText.arg(received_.size());
        readEnded({ReadOutcome::Closed, {}, 0, detail});
    }
}

void ModbusProbe::failForLackOfDescriptors() {
    connectionEnded(ConnectionOutcome::Failed, resourceError_);
}

void ModbusProbe::stepTimedOut() {
    if (step_ == Step::Connecting) {
        connectionEnded(ConnectionOutcome::TimedOut, NoConnectionText.arg(target_.timeoutMs));
    } else if (step_ == Step::Reading) {
        if (received_.isEmpty())
            readEnded({ReadOutcome::NoAnswer, {}, 0, NothingText.arg(target_.timeoutMs)});
        else
            readEnded({ReadOutcome::Incomplete,
                       {},
                       0,
                       IncompleteText.arg(received_.size())
                           .arg(modbus::scanFrame(received_).size)
                           .arg(target_.timeoutMs)});
    }
}

void ModbusProbe::connectionEnded(ConnectionOutcome::Kind kind, const QString& detail) {
    report_.connection = {kind, detail};
    finish();
}

void ModbusProbe::sendRead(int row) {
    row_ = row;
    read_ = row < 0 ? FirstRead : target_.table[row].request;
    request_ = {nextTransaction_++, static_cast<std::uint8_t>(target_.unit), modbus::readRequestPdu(read_)};
    step_ = Step::Reading;
    timer_.start(target_.timeoutMs);
    if (socket_->write(modbus::encodeAdu(request_)) < 0) {
        readEnded({ReadOutcome::Closed, {}, 0, socket_->errorString()});
        return;
    }
    receive();
}

void ModbusProbe::receive() {
    if (!socket_)
        return;
    received_ += socket_->readAll();
    while (step_ == Step::Reading) {
        const modbus::FrameScan scan = modbus::scanFrame(received_);
        if (scan.status == modbus::FrameScan::Incomplete)
            return;
        if (scan.status == modbus::FrameScan::Malformed) {
            readEnded({ReadOutcome::NotModbus, {}, 0, modbus::frameFaultText(scan.fault, scan.field)});
            return;
        }
        const modbus::Adu answer = modbus::decodeAdu(received_, scan.size);
        received_.remove(0, scan.size);
        if (answer.transactionId != request_.transactionId && unanswered_.contains(answer.transactionId))
            continue;
        const modbus::ReadAnswer checked = modbus::checkReadAnswer(request_, read_, answer);
        readEnded({outcomeKind(checked.kind), checked.values, checked.code, checked.detail});
    }
}

void ModbusProbe::readEnded(ReadOutcome outcome) {
    timer_.stop();
    if (outcome.kind == ReadOutcome::NoAnswer) {
        unanswered_.insert(request_.transactionId);
        ++silentInRow_;
    } else {
        silentInRow_ = 0;
    }
    // Why the rest of the table cannot be read on this connection, if it cannot.
    QString stop;
    if (outcome.kind == ReadOutcome::Closed)
        stop = outcome.detail;
    else if (outcome.kind == ReadOutcome::Incomplete || outcome.kind == ReadOutcome::NotModbus)
        stop = OutOfStepText;
    else if (silentInRow_ >= SilentReadsBeforeGivingUp)
        stop = SilentGatewayText.arg(silentInRow_);
    if (row_ < 0)
        report_.read = std::move(outcome);
    else
        report_.table.push_back(std::move(outcome));

    int next = row_ + 1;
    if (!stop.isEmpty() && next < target_.table.size()) {
        giveUpTable(next, stop);
        return;
    }
    // Rows the table holds in a form no request can carry are reported, not sent.
    for (; next < target_.table.size() && !target_.table[next].fault.isEmpty(); ++next)
        report_.table.push_back({ReadOutcome::NotSent, {}, 0, target_.table[next].fault});
    if (next < target_.table.size())
        sendRead(next);
    else
        finish();
}

void ModbusProbe::giveUpTable(int nextRow, const QString& reason) {
    report_.tableNotRead = static_cast<int>(target_.table.size()) - nextRow;
    report_.tableStopped = reason;
    finish();
}

void ModbusProbe::finish() {
    timer_.stop();
    step_ = Step::Done;
    if (socket_) {
        // The descriptor is free at once, for the probes that wait for one.
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    emit finished();
}

} // namespace tessaly::commissioning
