#include "modbus/GatewayServer.h"

#include "modbus/ReadExchange.h"

#include <QTcpSocket>
#include <algorithm>

namespace tessaly::modbus {

namespace {
// What a client may have received and not yet parsed: a frame and the start of the next.
constexpr qint64 ReadBufferSize = 4096;
constexpr int LongestSweepMs = 1000;

const QString ConnectedText = QStringLiteral("%1 connected");
const QString RefusedText = QStringLiteral("%1 refused: %2 clients are connected, the most allowed");
const QString ClosedByClientText = QStringLiteral("%1 closed the connection");
const QString ClosedText = QStringLiteral("%1 closed: %2");
const QString MalformedText = QStringLiteral("no Modbus TCP frame (%1)");
const QString NotReadingText = QStringLiteral("it does not read its answers (%1 bytes unsent)");
const QString IdleText = QStringLiteral("idle for %1 s");

QString peerName(const QTcpSocket& socket) {
    return socket.peerAddress().toString() + QLatin1Char(':') + QString::number(socket.peerPort());
}
} // namespace

struct GatewayServer::Client {
    QTcpSocket* socket = nullptr;
    QString name;
    QByteArray received; // not yet split into frames
    int waiting = 0;     // requests in the queue or under way
    QElapsedTimer sinceRequest;
};

GatewayServer::GatewayServer(RtuLink& link, RequestRouter router, QObject* parent)
    : QObject(parent), link_(link), router_(std::move(router)) {
    connect(&server_, &QTcpServer::newConnection, this, &GatewayServer::accept);
    connect(&idleSweep_, &QTimer::timeout, this, &GatewayServer::closeIdle);
    setIdleTime(DefaultIdleMs);
}

GatewayServer::~GatewayServer() {
    close();
}

void GatewayServer::setIdleTime(int milliseconds) {
    idleMs_ = milliseconds;
    idleSweep_.setInterval(std::clamp(milliseconds / 4, 1, LongestSweepMs));
}

std::optional<QString> GatewayServer::listen(const QHostAddress& address, quint16 port) {
    if (!server_.listen(address, port))
        return server_.errorString();
    idleSweep_.start();
    return std::nullopt;
}

void GatewayServer::close() {
    if (busy_)
        link_.cancel();
    busy_ = false;
    queue_.clear();
    idleSweep_.stop();
    server_.close();
    // The caller knows why they all go: no event for each.
    for (auto& [id, client] : std::exchange(clients_, {})) {
        client->socket->disconnect(this);
        client->socket->abort();
        client->socket->deleteLater();
    }
}

void GatewayServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        const QString name = peerName(*socket);
        if (int(clients_.size()) >= maxClients_) {
            emit clientEvent(RefusedText.arg(name).arg(clients_.size()));
            socket->close();
            socket->deleteLater();
            continue;
        }
        const quint64 id = nextId_++;
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->name = name;
        client->sinceRequest.start();
        socket->setReadBufferSize(ReadBufferSize);
        // Each answer is one small segment that the client waits for.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id, {}); });
        clients_.emplace(id, std::move(client));
        emit clientEvent(ConnectedText.arg(name));
        readFrom(id);
    }
}

void GatewayServer::readFrom(quint64 id) {
    const auto found = clients_.find(id);
    if (found == clients_.end())
        return;
    Client& client = *found->second;
    for (;;) {
        while (client.waiting < MaxWaitingPerClient) {
            const FrameScan scan = scanFrame(client.received);
            if (scan.status == FrameScan::Malformed) {
                drop(id, MalformedText.arg(frameFaultText(scan.fault, scan.field)));
                return;
            }
            if (scan.status == FrameScan::Incomplete)
                break;
            Waiting waiting{id, decodeAdu(client.received, scan.size), {}, {}};
            waiting.arrived.start();
            if (logging_)
                waiting.at = QDateTime::currentDateTime();
            client.received.remove(0, scan.size);
            ++client.waiting;
            client.sinceRequest.start();
            queue_.push_back(std::move(waiting));
        }
        const qint64 room = ReadBufferSize - client.received.size();
        if (client.waiting >= MaxWaitingPerClient || room <= 0 || client.socket->bytesAvailable() == 0)
            break;
        client.received += client.socket->read(room);
    }
    pump();
}

void GatewayServer::drop(quint64 id, const QString& why) {
    const auto found = clients_.find(id);
    if (found == clients_.end())
        return;
    const std::unique_ptr<Client> client = std::move(found->second);
    clients_.erase(found);
    client->socket->disconnect(this);
    client->socket->abort();
    client->socket->deleteLater();
    emit clientEvent(why.isEmpty() ? ClosedByClientText.arg(client->name)
                                   : ClosedText.arg(client->name, why));
}

void GatewayServer::pump() {
    if (pumping_)
        return;
    pumping_ = true;
    while (!busy_ && !queue_.empty()) {
        current_ = std::move(queue_.front());
        queue_.pop_front();
        if (clients_.count(current_.client) == 0)
            continue; // its client is gone: nobody waits for the answer
        const auto routed = router_.route(current_.request.unitId, current_.request.pdu);
        if (const ExceptionCode* refusal = std::get_if<ExceptionCode>(&routed)) {
            complete(current_, exceptionPdu(functionCode(current_.request.pdu), *refusal),
                     Transaction::Exception, int(*refusal), {});
            continue;
        }
        currentRoute_ = std::get<RoutedRequest>(routed);
        busy_ = true;
        link_.send(currentRoute_->unit, currentRoute_->pdu,
                   [this](const RtuOutcome& outcome) { finished(outcome); });
    }
    pumping_ = false;
}

void GatewayServer::finished(const RtuOutcome& outcome) {
    busy_ = false;
    const Waiting done = std::move(current_);
    const std::uint8_t function = functionCode(done.request.pdu);
    const std::optional<RoutedRequest> routed = router_.translates() ? currentRoute_ : std::nullopt;
    switch (outcome.kind) {
    case RtuOutcome::Answer: {
        const bool refused = !outcome.pdu.isEmpty() && (quint8(outcome.pdu[0]) & ExceptionBit);
        complete(done, router_.answerFor(done.request.pdu, outcome.pdu),
                 refused ? Transaction::Exception : Transaction::Answer,
                 refused && outcome.pdu.size() > 1 ? quint8(outcome.pdu[1]) : 0, routed);
        break;
    }
    case RtuOutcome::NoAnswer:
        complete(done, exceptionPdu(function, ExceptionCode::GatewayTargetDeviceFailedToRespond),
                 Transaction::NoAnswer, int(ExceptionCode::GatewayTargetDeviceFailedToRespond), routed);
        break;
    case RtuOutcome::Unavailable:
        complete(done, exceptionPdu(function, ExceptionCode::GatewayPathUnavailable),
                 Transaction::Unavailable, int(ExceptionCode::GatewayPathUnavailable), routed);
        break;
    case RtuOutcome::Broadcast:
        complete(done, {}, Transaction::Broadcast, 0, routed);
        break;
    }
    pump();
}

void GatewayServer::complete(const Waiting& waiting, const QByteArray& answer, Transaction::Outcome outcome,
                             int code, const std::optional<RoutedRequest>& routed) {
    const auto found = clients_.find(waiting.client);
    if (found != clients_.end()) {
        Client& client = *found->second;
        --client.waiting;
        if (!answer.isEmpty())
            client.socket->write(encodeAdu({waiting.request.transactionId, waiting.request.unitId, answer}));
    }
    if (logging_) {
        Transaction t{waiting.at,
                      found != clients_.end() ? found->second->name : QString(),
                      waiting.request.unitId,
                      waiting.request.pdu,
                      routed,
                      outcome,
                      code,
                      double(waiting.arrived.nsecsElapsed()) / 1e6};
        emit transaction(t);
    }
    if (found == clients_.end())
        return;
    const qint64 unsent = found->second->socket->bytesToWrite();
    if (unsent > MaxUnsentBytes) {
        drop(waiting.client, NotReadingText.arg(unsent));
        return;
    }
    readFrom(waiting.client);
}

void GatewayServer::closeIdle() {
    std::vector<quint64> idle;
    for (const auto& [id, client] : clients_)
        if (client->waiting == 0 && client->sinceRequest.hasExpired(idleMs_))
            idle.push_back(id);
    for (const quint64 id : idle)
        drop(id, IdleText.arg(idleMs_ / 1000.0));
}

} // namespace tessaly::modbus
