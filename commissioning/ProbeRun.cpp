#include "commissioning/ProbeRun.h"

#include "commissioning/ModbusProbe.h"
#include "platform/IcmpEchoes.h"
#include "platform/OpenFiles.h"

#include <QEventLoop>
#include <algorithm>
#include <limits>

namespace tessaly::commissioning {

namespace {
// Descriptors kept for the rest of the program: standard streams, the event loop, the
// echo socket, files that Qt opens.
constexpr int ReservedDescriptors = 32;

EchoOutcome echoOutcome(const IcmpEchoes::Outcome& outcome) {
    switch (outcome.kind) {
    case IcmpEchoes::Outcome::Answers:
        return {EchoOutcome::Answers, outcome.ms, {}};
    case IcmpEchoes::Outcome::NoAnswer:
        return {EchoOutcome::NoAnswer, outcome.ms, {}};
    case IcmpEchoes::Outcome::Error:
        break;
    }
    return {EchoOutcome::Error, outcome.ms, outcome.error};
}
} // namespace

ProbeRun::ProbeRun(std::vector<ProbeTarget> targets, IcmpEchoes& echoes, int concurrent, QObject* parent)
    : QObject(parent), targets_(std::move(targets)), reports_(targets_.size()), modbusDone_(targets_.size()),
      echoes_(echoes), limit_(static_cast<std::size_t>(std::max(1, concurrent))) {}

ProbeRun::~ProbeRun() = default;

void ProbeRun::start() {
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        auto* probe = new ModbusProbe(targets_[i], reports_[i], this);
        // Queued: a connection that fails at once ends inside start(), within startWaiting().
        connect(
            probe, &ModbusProbe::finished, this, [this, i] { modbusEnded(i); }, Qt::QueuedConnection);
        connect(probe, &ModbusProbe::outOfDescriptors, this, [this, i] { lackedDescriptor(i); });
        probes_.push_back(probe);
        waiting_.push_back(i);
    }
    for (std::size_t i = 0; i < targets_.size(); ++i)
        echoes_.send(targets_[i].host, targets_[i].timeoutMs,
                     [this, i](const IcmpEchoes::Outcome& outcome) { echoEnded(i, echoOutcome(outcome)); });
    startWaiting();
    if (targets_.empty())
        emit finished();
}

void ProbeRun::startWaiting() {
    while (running_ < limit_ && !waiting_.empty()) {
        const std::size_t index = waiting_.front();
        waiting_.pop_front();
        ++running_;
        probes_[index]->start();
    }
}

void ProbeRun::echoEnded(std::size_t index, EchoOutcome outcome) {
    reports_[index].echo = std::move(outcome);
    checkDevice(index);
}

void ProbeRun::modbusEnded(std::size_t index) {
    modbusDone_[index] = true;
    --running_;
    startWaiting();
    checkDevice(index);
}

void ProbeRun::lackedDescriptor(std::size_t index) {
    --running_;
    if (running_ == 0) {
        probes_[index]->failForLackOfDescriptors();
        return;
    }
    // As many connections at once as were open when the limit was met; this one goes
    // first when the next closes.
    limit_ = running_;
    waiting_.push_front(index);
}

void ProbeRun::checkDevice(std::size_t index) {
    if (reports_[index].echo.kind == EchoOutcome::Pending || !modbusDone_[index])
        return;
    ++finished_;
    emit deviceFinished(index);
    if (isFinished())
        emit finished();
}

int concurrentProbes() {
    const std::optional<int> left = openFilesLeft();
    if (!left)
        return std::numeric_limits<int>::max();
    return std::max(1, *left - ReservedDescriptors);
}

std::vector<ProbeReport> probeDevices(std::vector<ProbeTarget> targets, IcmpEchoes& echoes,
                                      const std::function<void()>& onDevice) {
    ProbeRun run(std::move(targets), echoes, concurrentProbes());
    QEventLoop loop;
    QObject::connect(&run, &ProbeRun::deviceFinished, &loop, [&onDevice] {
        if (onDevice)
            onDevice();
    });
    QObject::connect(&run, &ProbeRun::finished, &loop, &QEventLoop::quit);
    run.start();
    if (!run.isFinished())
        loop.exec();
    return run.reports();
}

} // namespace tessaly::commissioning
