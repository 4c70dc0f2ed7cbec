#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

// The serial side of a gateway: one request at a time to an RTU device, and what came of it.
namespace tessaly::modbus {

struct RtuOutcome {
    enum Kind {
        Answer,      // `pdu` is the device's answer: values, an echo or an exception
        NoAnswer,    // nothing sound within the time-out, after the retries
        Broadcast,   // sent to address 0: nobody answers
        Unavailable, // the serial side cannot send (no port, a port that failed)
    };
    Kind kind = NoAnswer;
    QByteArray pdu;
    QString detail; // Unavailable: why
};

class RtuLink {
public:
    using Done = std::function<void(const RtuOutcome&)>;
    virtual ~RtuLink() = default;
    // Sends `pdu` to the device at `unit` (0: a broadcast). `done` is called once, maybe
    // before send() returns; the caller sends the next request only after that.
    virtual void send(std::uint8_t unit, const QByteArray& pdu, Done done) = 0;
    // Forgets the request under way: its `done` is never called.
    virtual void cancel() = 0;
    // "simulated units 1-3", "/dev/ttyUSB0 at 19200 8E1".
    virtual QString description() const = 0;
};

// The time-out an RTU master waits for an answer: the configured one, but at least what
// the master can wait (a shorter one, 0 included, waits this long).
inline constexpr int MinRtuTimeoutMs = 50;
inline int rtuTimeoutMs(int configuredMs) {
    return configuredMs < MinRtuTimeoutMs ? MinRtuTimeoutMs : configuredMs;
}

// A gateway without a serial side: every request is Unavailable.
class NoRtuLink final : public RtuLink {
public:
    void send(std::uint8_t, const QByteArray&, Done done) override {
        done({RtuOutcome::Unavailable, {}, QStringLiteral("no serial side")});
    }
    void cancel() override {}
    QString description() const override { return QStringLiteral("none"); }
};

} // namespace tessaly::modbus
