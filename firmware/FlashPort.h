#pragma once

#include "firmware/FirmwareLoader.h"

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <optional>

namespace tessaly {

// A serial port on which a device's loader waits for firmwares from the flashing tool,
// at the tool's line settings. A transfer that goes quiet for the gap, or whose line
// hangs up, is refused as cut off. A port that fails is opened again every second.
class FlashPort : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultGapMs = 5000;

    explicit FlashPort(QString device, QObject* parent = nullptr);

    void setGap(int milliseconds) { gap_.setInterval(milliseconds); }
    // Why the port cannot be opened, or nothing.
    std::optional<QString> open();
    const QString& device() const { return device_; }

signals:
    void started();
    void loaded(const tessaly::LoadedFirmware& firmware);
    void refused(const QString& why);
    // The port failed (`why`); it is opened again as soon as it can be.
    void lost(const QString& why);
    void reopened();

private:
    void received();
    void failed(QSerialPort::SerialPortError error);
    void reopen();

    QString device_;
    QSerialPort port_;
    FirmwareLoader loader_;
    QTimer gap_;
    QTimer reopen_;
};

} // namespace tessaly
