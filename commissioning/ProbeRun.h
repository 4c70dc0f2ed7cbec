#pragma once

#include "commissioning/ProbeReport.h"
#include "commissioning/ProbeTarget.h"

#include <QObject>
#include <deque>
#include <functional>
#include <vector>

namespace tessaly {
class IcmpEchoes;
}

namespace tessaly::commissioning {

class ModbusProbe;

// Probes devices at once: for each, an ICMP echo and, at the same time, a Modbus TCP
// connection with its reads. The echoes all go out at once; the connections as many
// at once as `concurrent` allows, the others in turn as connections close. A device
// is never reported failed for a limit of this process: a connection refused a
// descriptor waits for the next one to close.
class ProbeRun : public QObject {
    Q_OBJECT
public:
    ProbeRun(std::vector<ProbeTarget> targets, IcmpEchoes& echoes, int concurrent, QObject* parent = nullptr);
    ~ProbeRun() override;

    void start();
    bool isFinished() const { return finished_ == targets_.size(); }
    const std::vector<ProbeTarget>& targets() const { return targets_; }
    // One per target, in order; complete once the target's deviceFinished came.
    const std::vector<ProbeReport>& reports() const { return reports_; }

signals:
    void deviceFinished(std::size_t index);
    void finished();

private:
    void echoEnded(std::size_t index, EchoOutcome outcome);
    void modbusEnded(std::size_t index);
    void lackedDescriptor(std::size_t index);
    void startWaiting();
    void checkDevice(std::size_t index);

    std::vector<ProbeTarget> targets_;
    std::vector<ProbeReport> reports_;
    std::vector<ModbusProbe*> probes_;
    std::vector<bool> modbusDone_;
    IcmpEchoes& echoes_;
    std::size_t limit_;
    std::deque<std::size_t> waiting_;
    std::size_t running_ = 0;
    std::size_t finished_ = 0;
};

// How many connections may be open at once: what the open file limit leaves, less a
// reserve for the rest of the program.
int concurrentProbes();

// Probes every target as ProbeRun does, as many at once as concurrentProbes() allows,
// and waits for the last; `onDevice` is called as each device's probe ends.
std::vector<ProbeReport> probeDevices(std::vector<ProbeTarget> targets, IcmpEchoes& echoes,
                                      const std::function<void()>& onDevice = {});

} // namespace tessaly::commissioning
