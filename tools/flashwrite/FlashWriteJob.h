#pragma once

#include "firmware/SystemSerialPorts.h"
#include "tools/flashwrite/PortSystem.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace tessaly::flashwrite {

// Exit statuses of the tool.
enum Outcome : int {
    Sent = 0,          // every record left the port
    Interrupted = 1,   // the run was stopped (window closed, stop signal) before its end
    BadParameter = 2,  // the parameter string was not understood
    BadFile = 3,       // the file is missing, unreadable or not a sound S-record file
    PortFailure = 4,   // the port could not be mapped or opened, or is in use
    TransferFailed = 5 // the port failed, hung up or stalled during the transfer
};

// One run of the tool: understands the parameter, checks the whole S-record file, and
// only then opens the serial port (115200 8N1, no flow control) and writes the records
// one by one, each followed by CR LF. Runs on the event loop; ends with finished().
class FlashWriteJob : public QObject {
    Q_OBJECT
public:
    // `portMapFiles`: the FlashWrite.ini files that map ports to devices, earlier ones
    // first (need not exist); `serialPorts`: the ports unmapped COM names fall to, the
    // machine's when null.
    FlashWriteJob(QByteArray parameter, QStringList portMapFiles,
                  const SerialPortScanner* serialPorts = nullptr, QObject* parent = nullptr);

    // How long the port may accept no data before the transfer counts as failed.
    void setStallTimeout(int milliseconds) { stall_.setInterval(milliseconds); }

    // Waits until the bytes written have left the port; the reason when that fails.
    // The system's drain unless a test puts the pace of a slow line in its place.
    using Drain = std::function<std::optional<QString>(QSerialPort&)>;
    void setDrain(Drain drain) { drain_ = std::move(drain); }

    // Starts the run; finished() follows, possibly before start() returns.
    void start();

    // Ends the run at once, `why` saying what asked for it ("the window was closed"):
    // what the port has not yet sent is discarded, and finished() reports Interrupted
    // with how far the transfer got. Nothing happens once the run is over.
    void stop(const QString& why);

signals:
    void fileNamed(const QString& fileName);
    // A line of the port map that was not understood.
    void warning(const QString& text);
    // The port is open: COMn and what it leads to.
    void portOpened(const QString& port, const QString& description);
    void progress(int sent, int total);
    void finished(int outcome, const QString& message);

private:
    void writeNext();
    void onBytesWritten();
    void onPortError(QSerialPort::SerialPortError error);
    void onStall();
    // The transfer failed with `reason`, or with the hang-up when the line hung up.
    void fail(const QString& reason);
    void finish(Outcome outcome, const QString& message);

    QByteArray parameter_;
    QStringList portMapFiles_;
    SystemSerialPorts systemPorts_;
    const SerialPortScanner& serialPorts_;
    QString portLabel_; // COMn
    QString device_;
    PortClaim claim_;
    QSerialPort port_;
    QTimer stall_;
    QElapsedTimer sinceProgress_;
    Drain drain_ = drainOutput;
    QByteArray content_; // the file, which records_ point into
    QList<QByteArrayView> records_;
    qsizetype next_ = 0;
    qsizetype confirmed_ = 0; // records the port has taken whole
    bool done_ = false;
};

} // namespace tessaly::flashwrite
