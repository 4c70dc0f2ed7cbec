#include "tools/flashwrite/FlashWriteJob.h"

#include "tools/flashwrite/FlashWriteCall.h"
#include "tools/srecord/SRecordFile.h"

#include <QFile>

namespace tessaly::flashwrite {

namespace {

const QString CannotReadFile = QStringLiteral("Cannot read file \"%1\": %2");
const QString FileTooLarge = QStringLiteral("File \"%1\" is too large for an S-record firmware");
const QString InvalidFile = QStringLiteral("File \"%1\" is not a valid S-record file. %2");
const QString CannotOpenPort = QStringLiteral("Cannot open %1 (%2): %3");
const QString PortFailed = QStringLiteral("Transfer to %1 (%2) failed: %3");
const QString PortStalled = QStringLiteral("Transfer to %1 (%2) failed: the port accepted no data for %3 s");
const QString Done = QStringLiteral("%1 records sent to %2 (%3)");

constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
constexpr int DefaultStallMilliseconds = 10000;
constexpr qint32 BaudRate = 115200;

} // namespace

FlashWriteJob::FlashWriteJob(QByteArray parameter, QString portMapPath, QObject* parent)
    : QObject(parent), parameter_(std::move(parameter)), portMapPath_(std::move(portMapPath)) {
    stall_.setSingleShot(true);
    stall_.setInterval(DefaultStallMilliseconds);
    connect(&stall_, &QTimer::timeout, this, [this] {
        finish(TransferFailed, PortStalled.arg(portLabel_, device_).arg(stall_.interval() / 1000.0));
    });
    connect(&port_, &QSerialPort::bytesWritten, this, &FlashWriteJob::onBytesWritten);
    connect(&port_, &QSerialPort::errorOccurred, this, &FlashWriteJob::onPortError);
}

void FlashWriteJob::start() {
    const FlashWriteCall call = parseParameter(parameter_);
    if (!call.ok())
        return finish(BadParameter, call.error);
    emit fileNamed(call.fileName);

    QFile file(call.fileName);
    if (!file.open(QIODevice::ReadOnly))
        return finish(BadFile, CannotReadFile.arg(call.fileName, file.errorString()));
    if (file.size() > MaxFileSize)
        return finish(BadFile, FileTooLarge.arg(call.fileName));
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return finish(BadFile, CannotReadFile.arg(call.fileName, file.errorString()));
    const tools::SRecordCheck check = tools::checkSRecordFile(content);
    if (!check.ok())
        return finish(BadFile, InvalidFile.arg(call.fileName, check.error));
    records_ = check.records;

    const QString name = portName(call.portIndex);
    const SerialDevice device = serialDeviceFor(call.portIndex, portMapPath_);
    if (!device.ok())
        return finish(PortFailure, device.error);
    emit portNamed(name, device.device);
    emit progress(0, int(records_.size()));

    portLabel_ = name;
    device_ = device.device;
    port_.setPortName(device_);
    port_.setBaudRate(BaudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // Opened for reading too, though nothing is read: setting a port up through a
    // write-only handle is refused by some serial drivers (Wine's among them).
    if (!port_.open(QIODevice::ReadWrite))
        return finish(PortFailure, CannotOpenPort.arg(name, device.device, port_.errorString()));
    writeNext();
}

void FlashWriteJob::writeNext() {
    if (done_)
        return;
    if (next_ == records_.size()) {
        port_.close();
        return finish(Sent, Done.arg(records_.size()).arg(portLabel_, device_));
    }
    const QByteArray line = records_[next_] + "\r\n";
    ++next_;
    stall_.start();
    if (port_.write(line) != line.size())
        return finish(TransferFailed, PortFailed.arg(portLabel_, device_, port_.errorString()));
    port_.flush();
}

void FlashWriteJob::onBytesWritten() {
    if (done_ || port_.bytesToWrite() > 0) {
        if (!done_)
            stall_.start();
        return;
    }
    emit progress(int(next_), int(records_.size()));
    // Queued, so that a write completing inside flush() does not nest the next one.
    QMetaObject::invokeMethod(this, &FlashWriteJob::writeNext, Qt::QueuedConnection);
}

void FlashWriteJob::onPortError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || !port_.isOpen() || done_)
        return;
    finish(TransferFailed, PortFailed.arg(portLabel_, device_, port_.errorString()));
}

void FlashWriteJob::finish(Outcome outcome, const QString& message) {
    if (done_)
        return;
    done_ = true;
    stall_.stop();
    if (port_.isOpen())
        port_.close();
    emit finished(outcome, message);
}

} // namespace tessaly::flashwrite
