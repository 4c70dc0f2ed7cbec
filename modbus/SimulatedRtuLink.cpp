#include "modbus/SimulatedRtuLink.h"

namespace tessaly::modbus {

SimulatedRtuLink::SimulatedRtuLink(SimulatedUnits& units, int delayMs, int timeoutMs, int retries)
    : units_(units), delayMs_(delayMs), silenceMs_(rtuTimeoutMs(timeoutMs) * (retries + 1)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (Done done = std::exchange(done_, {}))
            done(outcome_);
    });
}

void SimulatedRtuLink::send(std::uint8_t unit, const QByteArray& pdu, Done done) {
    int wait = delayMs_;
    if (unit == 0) {
        units_.broadcast(pdu);
        outcome_ = {RtuOutcome::Broadcast, {}, {}};
    } else if (units_.answers(unit)) {
        outcome_ = {RtuOutcome::Answer, units_.answer(unit, pdu), {}};
    } else {
        outcome_ = {RtuOutcome::NoAnswer, {}, {}};
        wait = silenceMs_;
    }
    if (wait == 0) {
        done(outcome_);
        return;
    }
    done_ = std::move(done);
    timer_.start(wait);
}

void SimulatedRtuLink::cancel() {
    timer_.stop();
    done_ = {};
}

QString SimulatedRtuLink::description() const {
    QString text = QStringLiteral("simulated units ") + unitListText(units_.units());
    if (delayMs_ > 0)
        text += QStringLiteral(", answering after %1 ms").arg(delayMs_);
    return text;
}

} // namespace tessaly::modbus
