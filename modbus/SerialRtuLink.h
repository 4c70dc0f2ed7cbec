#pragma once

#include "modbus/RtuLink.h"

#include <QElapsedTimer>
#include <QModbusRtuSerialClient>
#include <QPointer>
#include <QSerialPort>
#include <optional>

class QModbusReply;

namespace tessaly::modbus {

struct SerialSettings {
    QString device; // a device path, or a name the system gives its ports (COM3)
    int baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    int timeoutMs = 1000; // the configured time-out; see rtuTimeoutMs()
    int retries = 0;
};

// The serial side on a port: RTU framing, CRC and the answer time-out are Qt Serial
// Bus's, with 8 data bits. A port that cannot be opened, or fails, makes requests
// Unavailable; it is opened again at a request at most once a second.
class SerialRtuLink final : public QObject, public RtuLink {
    Q_OBJECT
public:
    explicit SerialRtuLink(SerialSettings settings, QObject* parent = nullptr);
    ~SerialRtuLink() override;

    // Why the port cannot be opened now, or nothing.
    std::optional<QString> open();

    void send(std::uint8_t unit, const QByteArray& pdu, Done done) override;
    void cancel() override;
    QString description() const override;

private:
    void replied();

    SerialSettings settings_;
    QModbusRtuSerialClient client_;
    QPointer<QModbusReply> reply_;
    quint8 function_ = 0; // of the request under way
    Done done_;
    QElapsedTimer sinceOpenTried_;
    QString openFailure_;
};

// "8N1", "8E2": data bits, parity, stop bits.
QString frameText(QSerialPort::Parity parity, QSerialPort::StopBits stopBits);

} // namespace tessaly::modbus
