// Many ICMP echoes at once where the system's echo call blocks (Windows' IcmpSendEcho2):
// each waits on a pool thread of its own, up to MaxWaitingEchoes at once; their
// outcomes come back on the event loop of the thread that made the client.
#include "platform/IcmpEchoes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>

namespace tessaly {

namespace {

constexpr int MaxWaitingEchoes = 1024;
// An echo call needs little stack; a thousand threads then reserve 256 MB, not 1 GB.
constexpr uint EchoThreadStackBytes = 256 * 1024;

class ThreadedIcmpEchoes final : public IcmpEchoes {
public:
    ThreadedIcmpEchoes() {
        pool_.setStackSize(EchoThreadStackBytes);
        pool_.setMaxThreadCount(1);
    }
    ~ThreadedIcmpEchoes() override { pool_.waitForDone(); }

    void send(const QString& address, int timeoutMs, Done done) override {
        pool_.setMaxThreadCount(std::min(MaxWaitingEchoes, ++inFlight_));
        pool_.start([this, address, timeoutMs, done = std::move(done)] {
            QElapsedTimer clock;
            clock.start();
            Outcome outcome;
            try {
                createSystemIcmpEcho()->ping(address, address, timeoutMs, [&](const IcmpReplyStatus& status) {
                    outcome.kind = status.BytesReceived > 0 ? Outcome::Answers : Outcome::NoAnswer;
                });
            } catch (const IcmpEchoError& error) {
                outcome.kind = Outcome::Error;
                outcome.error = QString::fromStdString(error.what());
            }
            outcome.ms = clock.elapsed();
            QMetaObject::invokeMethod(
                &context_,
                [this, done, outcome] {
                    --inFlight_;
                    done(outcome);
                },
                Qt::QueuedConnection);
        });
    }

private:
    QThreadPool pool_;
    int inFlight_ = 0; // read and written on the client's thread only
    QObject context_;  // ends the calls still queued when the client goes
};

} // namespace

std::unique_ptr<IcmpEchoes> createSystemIcmpEchoes(IcmpSocketKind) {
    return std::make_unique<ThreadedIcmpEchoes>();
}

} // namespace tessaly
