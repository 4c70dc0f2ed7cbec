#include "tools/flashwrite/FlashWriteJob.h"

#include "firmware/FlashToolCall.h"
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
const QString PortHungUp =
    QStringLiteral("Transfer to %1 (%2) failed: the port hung up (adapter unplugged or "
                   "device closed) after %3 of %4 records");
const QString PortInUse = QStringLiteral("%1 (%2) is %3");
const QString StoppedDuringTransfer =
    QStringLiteral("Transfer to %1 (%2) stopped (%3) after %4 of %5 records");
const QString StoppedBeforeTransfer = QStringLiteral("Stopped (%1) before anything was sent");
const QString Done = QStringLiteral("%1 records sent to %2 (%3)");
// A user outside the group that owns the device (dialout on Debian, Ubuntu and Fedora).
const QString PortPermissionDenied =
    QStringLiteral("Cannot open %1 (%2): permission denied. Add your user to the %3 group "
                   "(sudo usermod -aG %3 $USER), then log out and in again.");

constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
constexpr int DefaultStallMilliseconds = 10000;

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

FlashWriteJob::FlashWriteJob(QByteArray parameter, QStringList portMapFiles,
                             const SerialPortScanner* serialPorts, QObject* parent)
    : QObject(parent), parameter_(std::move(parameter)), portMapFiles_(std::move(portMapFiles)),
      serialPorts_(serialPorts ? *serialPorts : systemPorts_) {
    stall_.setSingleShot(true);
    stall_.setTimerType(Qt::PreciseTimer);
    stall_.setInterval(DefaultStallMilliseconds);
    connect(&stall_, &QTimer::timeout, this, &FlashWriteJob::onStall);
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
    const SerialDevice device = serialDeviceFor(call.portIndex, portMapFiles_, serialPorts_);
    for (const QString& text : device.warnings)
        emit warning(text);
    if (!device.ok())
        return finish(PortFailure, device.error);
    // Before the port is opened: opening changes the settings of a port in use.
    if (const std::optional<QString> holder = claim_.claim(device.device))
        return finish(PortFailure, PortInUse.arg(name, device.device, *holder));
    emit progress(0, int(records_.size()));
    portLabel_ = name;
    device_ = device.device;
    port_.setPortName(device_);
    port_.setBaudRate(FlashLineBaudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // Opened for reading too, though nothing is read: setting a port up through a
    // write-only handle is refused by some serial drivers (Wine's among them).
    if (!port_.open(QIODevice::ReadWrite)) {
        if (port_.error() == QSerialPort::PermissionError) {
            if (accessDenied(device.device))
                return finish(PortFailure,
                              PortPermissionDenied.arg(name, device.device, deviceGroup(device.device)));
            // Busy: a lock or an exclusive hold that appeared after the claim.
            return finish(PortFailure, PortInUse.arg(name, device.device, InUseByAnotherProgram));
        }
        return finish(PortFailure, CannotOpenPort.arg(name, device.device, port_.errorString()));
    }
    emit portOpened(name, device.description);
    sinceProgress_.start();
    writeNext();
}

void FlashWriteJob::writeNext() {
    if (done_)
        return;
    if (next_ == records_.size()) {
        // Closing restores the port's earlier settings at once, and a real UART would
        // send what is still queued at the restored rate: nothing is over until the
        // last byte has left.
        if (const std::optional<QString> failure = drain_(port_))
            return fail(*failure);
        port_.close();
        return finish(Sent, Done.arg(records_.size()).arg(portLabel_, device_));
    }
    const QByteArray line = records_[next_].toByteArray() + "\r\n";
    ++next_;
    stall_.start();
    if (port_.write(line) != line.size())
        return fail(port_.errorString());
    port_.flush();
}

void FlashWriteJob::onBytesWritten() {
    if (done_)
        return;
    sinceProgress_.start();
    stall_.start();
    if (port_.bytesToWrite() > 0)
        return;
    confirmed_ = next_;
    emit progress(int(next_), int(records_.size()));
    // Queued, so that a write completing inside flush() does not nest the next one.
    QMetaObject::invokeMethod(this, &FlashWriteJob::writeNext, Qt::QueuedConnection);
}

void FlashWriteJob::onPortError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || !port_.isOpen() || done_)
        return;
    fail(port_.errorString());
}

void FlashWriteJob::onStall() {
    if (done_)
        return;
    if (port_.isOpen() && hungUp(port_))
        return fail({});
    // The time since the port last took a byte, which is what the user waited.
    const QString waited = QString::number(sinceProgress_.elapsed() / 1000.0, 'f', 1);
    finish(TransferFailed, PortStalled.arg(portLabel_, device_, waited));
}

void FlashWriteJob::fail(const QString& reason) {
    // A hang-up leaves the system's last error behind, which tells nothing about it.
    if (port_.isOpen() && hungUp(port_))
        return finish(TransferFailed,
                      PortHungUp.arg(portLabel_, device_).arg(confirmed_).arg(records_.size()));
    finish(TransferFailed, PortFailed.arg(portLabel_, device_, reason));
}

void FlashWriteJob::stop(const QString& why) {
    if (done_)
        return;
    if (!port_.isOpen())
        return finish(Interrupted, StoppedBeforeTransfer.arg(why));
    port_.clear(QSerialPort::Output); // what is queued goes nowhere
    finish(Interrupted,
           StoppedDuringTransfer.arg(portLabel_, device_, why).arg(confirmed_).arg(records_.size()));
}

void FlashWriteJob::finish(Outcome outcome, const QString& message) {
    if (done_)
        return;
    done_ = true;
    stall_.stop();
    if (port_.isOpen())
        port_.close();
    claim_.release();
    emit finished(outcome, message);
}

} // namespace tessaly::flashwrite
