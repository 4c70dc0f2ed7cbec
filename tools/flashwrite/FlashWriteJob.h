#pragma once

#include "firmware/SystemSerialPorts.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

namespace tessaly::flashwrite {

// Exit statuses of the tool.
enum Outcome : int {
    Sent = 0,          // every record reached the port
    Interrupted = 1,   // the window was closed before the run ended
    BadParameter = 2,  // the parameter string was not understood
    BadFile = 3,       // the file is missing, unreadable or not a sound S-record file
    PortFailure = 4,   // the port could not be mapped or opened
    TransferFailed = 5 // the port failed or stalled during the transfer
};

// One run of the tool: understands the parameter, checks the whole S-record file, and
// only then opens the serial port (115200 8N1, no flow control) and writes the records
// one by one, each followed by CR LF. Runs on the event loop; ends with finished().
class FlashWriteJob : public QObject {
    Q_OBJECT
public:
    // `portMapPath`: the FlashWrite.ini that maps ports to devices (need not exist);
    // `serialPorts`: the ports unmapped COM names fall to, the machine's when null.
    FlashWriteJob(QByteArray parameter, QString portMapPath, const SerialPortScanner* serialPorts = nullptr,
                  QObject* parent = nullptr);

    // How long the port may accept no data before the transfer counts as failed.
    void setStallTimeout(int milliseconds) { stall_.setInterval(milliseconds); }

    // Starts the run; finished() follows, possibly before start() returns.
    void start();

signals:
    void fileNamed(const QString& fileName);
    // The port is open: COMn and what it leads to.
    void portOpened(const QString& port, const QString& description);
    void progress(int sent, int total);
    void finished(int outcome, const QString& message);

private:
    void writeNext();
    void onBytesWritten();
    void onPortError(QSerialPort::SerialPortError error);
    void finish(Outcome outcome, const QString& message);

    QByteArray parameter_;
    QString portMapPath_;
    SystemSerialPorts systemPorts_;
    const SerialPortScanner& serialPorts_;
    QString portLabel_; // COMn
    QString device_;
    QSerialPort port_;
    QTimer stall_;
    QByteArray content_; // the file, which records_ point into
    QList<QByteArrayView> records_;
    qsizetype next_ = 0;
    bool done_ = false;
};

} // namespace tessaly::flashwrite
