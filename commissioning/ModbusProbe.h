#pragma once

#include "commissioning/ProbeReport.h"
#include "commissioning/ProbeTarget.h"
#include "modbus/Mbap.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QTimer>

class QTcpSocket;

namespace tessaly::commissioning {

// The Modbus half of a probe: a TCP connection to the device, then the first read and
// the table's rows through it, one after another. Each step has its own timer of the
// target's time-out, which no byte the device sends extends: the connection, and each
// read from its request to the last byte of its answer.
class ModbusProbe : public QObject {
    Q_OBJECT
public:
    // Fills the connection, read and table of `report`, which must outlive the probe.
    ModbusProbe(const ProbeTarget& target, ProbeReport& report, QObject* parent = nullptr);

    void start();
    // After outOfDescriptors, when no other connection of this process is left to close:
    // the system itself is out of descriptors, which is reported as the connection's failure.
    void failForLackOfDescriptors();

    // After two reads in a row without a byte of answer, the rest of the table is not
    // read: a silent gateway would otherwise take a time-out per row.
    static constexpr int SilentReadsBeforeGivingUp = 2;

signals:
    void finished();
    // No socket could be opened for a limit of this process's (open files). Nothing was
    // sent and nothing is reported: start() again when a probe has ended.
    void outOfDescriptors();

private:
    enum class Step { Idle, Connecting, Reading, Done };

    void connected();
    void socketFailed();
    void stepTimedOut();
    void connectionEnded(ConnectionOutcome::Kind kind, const QString& detail);
    void sendRead(int row); // -1: the first read
    void receive();
    void readEnded(ReadOutcome outcome);
    void giveUpTable(int nextRow, const QString& reason);
    void finish();

    const ProbeTarget& target_;
    ProbeReport& report_;
    QTcpSocket* socket_ = nullptr;
    QTimer timer_;
    Step step_ = Step::Idle;
    int row_ = -1;
    modbus::ReadRequest read_;
    modbus::Adu request_;
    std::uint16_t nextTransaction_ = 1;
    QSet<std::uint16_t>
        unanswered_; // reads that timed out without a byte: their late answers are passed over
    QByteArray received_;
    int silentInRow_ = 0;
    QString resourceError_;
};

} // namespace tessaly::commissioning
