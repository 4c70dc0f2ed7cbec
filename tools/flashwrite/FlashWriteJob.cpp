#include "tools/flashwrite/FlashWriteJob.h"

#include "firmware/srecord/SxFileCheck.h"
#include "tools/flashwrite/FlashWriteCall.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tessaly::flashwrite {

namespace {

const QString CannotReadFile = QStringLiteral("Cannot read file \"%1\": %2");
const QString FileTooLarge = QStringLiteral("File \"%1\" is too large for an S-record firmware");
const QString InvalidFile = QStringLiteral("File \"%1\" is not a valid S-record file. %2");
const QString CannotOpenPort = QStringLiteral("Cannot open %1 (%2): %3");
const QString PortFailed = QStringLiteral("Transfer to %1 (%2) failed: %3");
const QString PortStalled = QStringLiteral("Transfer to %1 (%2) failed: the port accepted no data for %3 s");
const QString Done = QStringLiteral("%1 records sent to %2 (%3)");
// A user outside the group that owns the device (dialout on Debian, Ubuntu and Fedora).
const QString PortPermissionDenied =
    QStringLiteral("Cannot open %1 (%2): permission denied. Add your user to the %3 group "
                   "(sudo usermod -aG %3 $USER), then log out and in again.");

constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
constexpr int DefaultStallMilliseconds = 10000;
constexpr qint32 BaudRate = 115200;

// Whether this process lacks the right to read and write `device`. QSerialPort reports
// a busy device as a permission error too; only EACCES is a matter of groups.
bool accessDenied(const QString& device) {
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(device);
    return false;
#endif
}

QString deviceGroup(const QString& device) {
    const QString group = QFileInfo(device).group();
    return group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
}

} // namespace

FlashWriteJob::FlashWriteJob(QByteArray parameter, QString portMapPath, const SerialPortScanner* serialPorts,
                             QObject* parent)
    : QObject(parent), parameter_(std::move(parameter)), portMapPath_(std::move(portMapPath)),
      serialPorts_(serialPorts ? *serialPorts : systemPorts_) {
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
    content_ = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return finish(BadFile, CannotReadFile.arg(call.fileName, file.errorString()));
    SRecordCheck check = checkSRecordFile(content_);
    if (!check.ok())
        return finish(BadFile, InvalidFile.arg(call.fileName, check.error));
    records_ = std::move(check.records);

    const QString name = portName(call.portIndex);
    const SerialDevice device = serialDeviceFor(call.portIndex, portMapPath_, serialPorts_);
    if (!device.ok())
        return finish(PortFailure, device.error);
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
    if (!port_.open(QIODevice::ReadWrite)) {
        if (port_.error() == QSerialPort::PermissionError && accessDenied(device.device))
            return finish(PortFailure,
                          PortPermissionDenied.arg(name, device.device, deviceGroup(device.device)));
        return finish(PortFailure, CannotOpenPort.arg(name, device.device, port_.errorString()));
    }
    emit portOpened(name, device.description);
    writeNext();
}

void FlashWriteJob::writeNext() {
    if (done_)
        return;
    if (next_ == records_.size()) {
        port_.close();
        return finish(Sent, Done.arg(records_.size()).arg(portLabel_, device_));
    }
    const QByteArray line = records_[next_].toByteArray() + "\r\n";
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
