// Many ICMP echoes at once on POSIX systems: one non-blocking socket for all of them,
// read when the event loop says it is readable. The echoes are told apart by their
// sequence numbers and the address that answers, so a thousand devices take one
// descriptor and no thread.
#include "platform/IcmpEchoes.h"
#include "platform/IcmpPacketsPosix.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <deque>
#include <optional>
#include <sys/socket.h>
#include <unordered_map>

namespace tessaly {

namespace {

using namespace icmp;

// Requests go out in bursts of this many per turn of the event loop, so that their
// replies are read before they overflow the socket's buffer (on a raw socket each
// request to this computer comes back too).
constexpr std::size_t SendBurst = 32;
constexpr int ReceiveBufferBytes = 1 << 20;

const QString NotSentInTimeText = QStringLiteral("The echo request to %1 could not be sent within %2 ms");
const QString TooManyEchoesText = QStringLiteral("More than 65536 echoes at once");

class PosixIcmpEchoes final : public IcmpEchoes {
public:
    explicit PosixIcmpEchoes(IcmpSocketKind kind)
        : kind_(kind), identifier_(static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(0x10000))),
          nextSequence_(static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(0x10000))) {
        deadline_.setSingleShot(true);
        deadline_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline_, &QTimer::timeout, &context_, [this] { expire(); });
    }

    void send(const QString& address, int timeoutMs, Done done) override {
        Pending echo;
        echo.host = address;
        echo.timeoutMs = timeoutMs;
        echo.done = std::move(done);
        echo.clock.start();
        try {
            echo.address = resolveIPv4(address);
            openSocket();
        } catch (const IcmpEchoError& error) {
            reportLater(std::move(echo.done), {Outcome::Error, 0, QString::fromStdString(error.what())});
            return;
        }
        if (pending_.size() >= 0x10000) {
            reportLater(std::move(echo.done), {Outcome::Error, 0, TooManyEchoesText});
            return;
        }
        while (pending_.contains(nextSequence_))
            ++nextSequence_;
        const std::uint16_t sequence = nextSequence_++;
        pending_.emplace(sequence, std::move(echo));
        unsent_.push_back(sequence);
        scheduleBurst();
        if (!deadline_.isActive() || deadline_.remainingTime() > timeoutMs)
            deadline_.start(timeoutMs);
    }

private:
    struct Pending {
        QString host;
        in_addr address{};
        int timeoutMs = 0;
        Done done;
        QElapsedTimer clock;
        bool sent = false;
    };

    void openSocket() {
        if (socket_)
            return;
        socket_.emplace(kind_, true);
        socket_->enlargeReceiveBuffer(ReceiveBufferBytes);
        reader_.emplace(socket_->fd(), QSocketNotifier::Read);
        QObject::connect(&*reader_, &QSocketNotifier::activated, &context_, [this] { receive(); });
        writer_.emplace(socket_->fd(), QSocketNotifier::Write);
        writer_->setEnabled(false);
        QObject::connect(&*writer_, &QSocketNotifier::activated, &context_, [this] {
            writer_->setEnabled(false);
            sendBurst();
        });
    }

    void scheduleBurst() {
        if (burstScheduled_ || writer_->isEnabled())
            return;
        burstScheduled_ = true;
        QTimer::singleShot(0, &context_, [this] {
            burstScheduled_ = false;
            sendBurst();
        });
    }

    // Sends the next requests waiting; stops when the socket's buffer is full, to go on
    // when it can be written again.
    void sendBurst() {
        for (std::size_t sent = 0; sent < SendBurst && !unsent_.empty(); ++sent) {
            const std::uint16_t sequence = unsent_.front();
            if (!transmit(sequence)) {
                writer_->setEnabled(true);
                return;
            }
            unsent_.pop_front();
        }
        if (!unsent_.empty())
            scheduleBurst();
    }

    // Sends one request; false when the socket's buffer is full. An echo that cannot be
    // sent at all ends there.
    bool transmit(std::uint16_t sequence) {
        Pending& echo = pending_.at(sequence);
        const std::vector<unsigned char> request = echoRequest(identifier_, sequence, echo.host.toUtf8());
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr = echo.address;
        ssize_t sent = 0;
        do {
            sent = ::sendto(socket_->fd(), request.data(), request.size(), MSG_DONTWAIT,
                            reinterpret_cast<const sockaddr*>(&target), sizeof target);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS))
            return false;
        if (sent < 0) {
            finish(sequence,
                   {Outcome::Error, echo.clock.elapsed(),
                    systemError(QStringLiteral("Cannot send the echo request to %1").arg(echo.host), errno)});
            return true;
        }
        echo.sent = true;
        // The kernel numbers a datagram socket's requests itself, from its first on.
        if (socket_->datagram() && !kernelIdentifier_)
            kernelIdentifier_ = socket_->kernelIdentifier();
        return true;
    }

    // Takes every packet waiting on the socket; those that are none of our replies (other
    // programs' traffic on a raw socket, our own requests looped back) are passed over.
    void receive() {
        std::vector<unsigned char> packet(65536);
        for (;;) {
            sockaddr_in source{};
            socklen_t sourceLength = sizeof source;
            const ssize_t received = ::recvfrom(socket_->fd(), packet.data(), packet.size(), MSG_DONTWAIT,
                                                reinterpret_cast<sockaddr*>(&source), &sourceLength);
            if (received < 0) {
                if (errno == EINTR || errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH)
                    continue; // an error report for one request, which then times out
                return;
            }
            const Message message =
                icmpMessage(packet.data(), static_cast<std::size_t>(received), socket_->datagram());
            const std::uint16_t sequence = sequenceOf(message);
            const auto found = pending_.find(sequence);
            if (found == pending_.end() || !found->second.sent ||
                found->second.address.s_addr != source.sin_addr.s_addr ||
                !isReplyTo(message, socket_->datagram() ? *kernelIdentifier_ : identifier_, sequence))
                continue;
            finish(sequence, {Outcome::Answers, found->second.clock.elapsed(), {}});
        }
    }

    void expire() {
        std::vector<std::uint16_t> ended;
        for (const auto& [sequence, echo] : pending_)
            if (echo.clock.elapsed() >= echo.timeoutMs)
                ended.push_back(sequence);
        for (const std::uint16_t sequence : ended) {
            const Pending& echo = pending_.at(sequence);
            if (echo.sent) {
                finish(sequence, {Outcome::NoAnswer, echo.clock.elapsed(), {}});
            } else {
                std::erase(unsent_, sequence);
                finish(sequence, {Outcome::Error, echo.clock.elapsed(),
                                  NotSentInTimeText.arg(echo.host).arg(echo.timeoutMs)});
            }
        }
        armDeadline();
    }

    void armDeadline() {
        std::optional<qint64> next;
        for (const auto& [sequence, echo] : pending_) {
            const qint64 left = std::max<qint64>(0, echo.timeoutMs - echo.clock.elapsed());
            next = next ? std::min(*next, left) : left;
        }
        if (next)
            deadline_.start(static_cast<int>(*next));
        else
            deadline_.stop();
    }

    void finish(std::uint16_t sequence, const Outcome& outcome) {
        const auto found = pending_.find(sequence);
        Done done = std::move(found->second.done);
        pending_.erase(found);
        done(outcome);
    }

    void reportLater(Done done, const Outcome& outcome) {
        QTimer::singleShot(0, &context_, [done = std::move(done), outcome] { done(outcome); });
    }

    IcmpSocketKind kind_;
    std::uint16_t identifier_;
    std::uint16_t nextSequence_;
    std::optional<std::uint16_t> kernelIdentifier_;
    std::unordered_map<std::uint16_t, Pending> pending_;
    std::deque<std::uint16_t> unsent_; // in the order they were asked for
    bool burstScheduled_ = false;
    // The socket outlives its notifiers, which are destroyed first.
    std::optional<IcmpSocket> socket_;
    std::optional<QSocketNotifier> reader_;
    std::optional<QSocketNotifier> writer_;
    QTimer deadline_;
    QObject context_; // ends the calls still queued when the client goes
};

} // namespace

std::unique_ptr<IcmpEchoes> createSystemIcmpEchoes(IcmpSocketKind kind) {
    return std::make_unique<PosixIcmpEchoes>(kind);
}

} // namespace tessaly
