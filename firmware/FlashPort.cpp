#include "firmware/FlashPort.h"

#include "firmware/FlashToolCall.h"

namespace tessaly {

namespace {
constexpr int ReopenIntervalMs = 1000;
const QString CannotOpenText = QStringLiteral("%1 cannot be opened: %2");
const QString QuietText = QStringLiteral("the transfer was cut off: nothing came for %1 s after line %2");
const QString HungUpText = QStringLiteral("the transfer was cut off: %1 failed after line %2 (%3)");
} // namespace

FlashPort::FlashPort(QString device, QObject* parent)
    : QObject(parent), device_(std::move(device)), loader_(device_) {
    port_.setPortName(device_);
    gap_.setSingleShot(true);
    gap_.setInterval(DefaultGapMs);
    reopen_.setInterval(ReopenIntervalMs);
    loader_.onStarted = [this] { emit started(); };
    loader_.onLoaded = [this](const LoadedFirmware& firmware) { emit loaded(firmware); };
    loader_.onRefused = [this](const QString& why) { emit refused(why); };
    connect(&port_, &QSerialPort::readyRead, this, &FlashPort::received);
    connect(&port_, &QSerialPort::errorOccurred, this, &FlashPort::failed);
    connect(&gap_, &QTimer::timeout, this,
            [this] { loader_.cutOff(QuietText.arg(gap_.interval() / 1000.0).arg(loader_.linesReceived())); });
    connect(&reopen_, &QTimer::timeout, this, &FlashPort::reopen);
}

std::optional<QString> FlashPort::open() {
    if (!port_.open(QIODevice::ReadWrite))
        return CannotOpenText.arg(device_, port_.errorString());
    port_.setBaudRate(FlashLineBaudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clear();
    return std::nullopt;
}

void FlashPort::received() {
    loader_.feed(port_.readAll());
    if (loader_.receiving())
        gap_.start();
    else
        gap_.stop();
}

void FlashPort::failed(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !port_.isOpen())
        return;
    const QString why = port_.errorString();
    gap_.stop();
    loader_.cutOff(HungUpText.arg(device_).arg(loader_.linesReceived()).arg(why));
    port_.close();
    emit lost(why);
    reopen_.start();
}

void FlashPort::reopen() {
    if (!open()) {
        reopen_.stop();
        emit reopened();
    }
}

} // namespace tessaly
