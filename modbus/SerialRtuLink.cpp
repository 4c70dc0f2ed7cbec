#include "modbus/SerialRtuLink.h"

#include "modbus/ModbusProtocol.h"

#include <QModbusReply>
#include <QModbusRequest>
#include <QVariant>

namespace tessaly::modbus {

namespace {
constexpr int ReopenIntervalMs = 1000;
const QString CannotOpenText = QStringLiteral("%1 cannot be opened: %2");
} // namespace

QString frameText(QSerialPort::Parity parity, QSerialPort::StopBits stopBits) {
    const char letter = parity == QSerialPort::EvenParity  ? 'E'
                        : parity == QSerialPort::OddParity ? 'O'
                                                           : 'N';
    return QStringLiteral("8") + QLatin1Char(letter) +
           (stopBits == QSerialPort::TwoStop ? QLatin1Char('2') : QLatin1Char('1'));
}

SerialRtuLink::SerialRtuLink(SerialSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
    client_.setConnectionParameter(QModbusDevice::SerialPortNameParameter, settings_.device);
    client_.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, settings_.baudRate);
    client_.setConnectionParameter(QModbusDevice::SerialParityParameter, settings_.parity);
    client_.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    client_.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, settings_.stopBits);
    client_.setTimeout(rtuTimeoutMs(settings_.timeoutMs));
    client_.setNumberOfRetries(settings_.retries);
}

SerialRtuLink::~SerialRtuLink() {
    cancel();
    client_.disconnectDevice();
}

std::optional<QString> SerialRtuLink::open() {
    sinceOpenTried_.start();
    if (client_.state() == QModbusDevice::ConnectedState)
        return std::nullopt;
    client_.disconnectDevice();
    if (client_.connectDevice() && client_.state() == QModbusDevice::ConnectedState) {
        openFailure_.clear();
        return std::nullopt;
    }
    openFailure_ = CannotOpenText.arg(settings_.device, client_.errorString());
    client_.disconnectDevice();
    return openFailure_;
}

void SerialRtuLink::send(std::uint8_t unit, const QByteArray& pdu, Done done) {
    if (client_.state() != QModbusDevice::ConnectedState &&
        (!sinceOpenTried_.isValid() || sinceOpenTried_.hasExpired(ReopenIntervalMs)))
        open();
    if (client_.state() != QModbusDevice::ConnectedState) {
        done({RtuOutcome::Unavailable, {}, openFailure_});
        return;
    }
    const QModbusRequest request{QModbusPdu::FunctionCode(quint8(pdu[0])), pdu.mid(1)};
    QModbusReply* reply = client_.sendRawRequest(request, unit);
    if (reply == nullptr) {
        done({RtuOutcome::Unavailable, {}, client_.errorString()});
        return;
    }
    reply_ = reply;
    function_ = quint8(pdu[0]);
    done_ = std::move(done);
    if (reply->isFinished())
        replied();
    else
        connect(reply, &QModbusReply::finished, this, &SerialRtuLink::replied);
}

void SerialRtuLink::replied() {
    QModbusReply* reply = reply_;
    reply_ = nullptr;
    if (reply == nullptr)
        return;
    reply->deleteLater();
    Done done = std::exchange(done_, {});
    if (!done)
        return;
    RtuOutcome outcome;
    switch (reply->error()) {
    case QModbusDevice::NoError:
    case QModbusDevice::ProtocolError: // an exception answer, in the raw result
        if (reply->type() == QModbusReply::Broadcast) {
            outcome.kind = RtuOutcome::Broadcast;
            break;
        }
        // From the request's function code and the answer's data alone: Qt keeps an
        // exception's function code in its enum type, where it is out of range.
        outcome.kind = RtuOutcome::Answer;
        outcome.pdu =
            QByteArray(
                1, char(function_ | (reply->error() == QModbusDevice::ProtocolError ? ExceptionBit : 0))) +
            reply->rawResult().data();
        break;
    case QModbusDevice::TimeoutError:
        outcome.kind = RtuOutcome::NoAnswer;
        break;
    default:
        outcome.kind = RtuOutcome::Unavailable;
        outcome.detail = reply->errorString();
        break;
    }
    done(outcome);
}

void SerialRtuLink::cancel() {
    done_ = {};
    if (reply_)
        reply_->disconnect(this);
    reply_ = nullptr;
}

QString SerialRtuLink::description() const {
    return QStringLiteral("%1 at %2 %3")
        .arg(settings_.device)
        .arg(settings_.baudRate)
        .arg(frameText(settings_.parity, settings_.stopBits));
}

} // namespace tessaly::modbus
