#pragma once

#include "modbus/RtuLink.h"
#include "modbus/SimulatedUnits.h"

#include <QTimer>

namespace tessaly::modbus {

// The serial side answered by simulated units, as a bus would: a listed unit answers
// after `delayMs` (at once for 0), any other unit stays silent for the time-out of
// every try, a broadcast is carried out by all and answered by none.
class SimulatedRtuLink final : public RtuLink {
public:
    SimulatedRtuLink(SimulatedUnits& units, int delayMs, int timeoutMs, int retries);

    void send(std::uint8_t unit, const QByteArray& pdu, Done done) override;
    void cancel() override;
    QString description() const override;

private:
    SimulatedUnits& units_;
    int delayMs_;
    int silenceMs_;
    QTimer timer_;
    Done done_;
    RtuOutcome outcome_;
};

} // namespace tessaly::modbus
