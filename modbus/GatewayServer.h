#pragma once

#include "modbus/Mbap.h"
#include "modbus/RequestRouter.h"
#include "modbus/RtuLink.h"
#include "modbus/TransactionLog.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>
#include <optional>

class QTcpSocket;

namespace tessaly::modbus {

// The network side of the gateway: a Modbus TCP server whose requests go, one at a
// time in order of arrival whichever client sent them, to the serial side.
//
// Each client is bounded: up to MaxWaitingPerClient of its requests wait for their
// turn, and further bytes wait in its connection (the system's buffers, then the
// client); a client whose answers pile up unsent beyond MaxUnsentBytes (it does not
// read them) is closed, as is one that sends a frame that is no Modbus TCP frame (a
// protocol identifier other than 0, a length field that fits no frame), and one that
// sends nothing for the idle time. Other clients are served on. The transaction and
// unit identifiers of each request come back in its answer.
class GatewayServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxWaitingPerClient = 16;
    static constexpr qint64 MaxUnsentBytes = 64 * 1024;
    static constexpr int DefaultMaxClients = 32;
    static constexpr int DefaultIdleMs = 60000;

    GatewayServer(RtuLink& link, RequestRouter router, QObject* parent = nullptr);
    ~GatewayServer() override;

    void setMaxClients(int clients) { maxClients_ = clients; }
    void setIdleTime(int milliseconds);
    // Whether transaction() is emitted.
    void setLogging(bool on) { logging_ = on; }

    // Why the server cannot listen there, or nothing.
    std::optional<QString> listen(const QHostAddress& address, quint16 port);
    QHostAddress address() const { return server_.serverAddress(); }
    quint16 port() const { return server_.serverPort(); }
    int clientCount() const { return int(clients_.size()); }
    // Closes every client and the server; the request under way is forgotten.
    void close();

signals:
    void transaction(const tessaly::modbus::Transaction& transaction);
    // A client came, was refused, or was closed, and why: "127.0.0.1:40312 closed: ...".
    void clientEvent(const QString& text);

private:
    struct Client;
    struct Waiting {
        quint64 client = 0;
        Adu request;
        QElapsedTimer arrived;
        QDateTime at; // only when logging
    };

    void accept();
    void readFrom(quint64 id);
    void drop(quint64 id, const QString& why);
    void pump();
    void finished(const RtuOutcome& outcome);
    void complete(const Waiting& waiting, const QByteArray& answer, Transaction::Outcome outcome, int code,
                  const std::optional<RoutedRequest>& routed);
    void closeIdle();

    RtuLink& link_;
    RequestRouter router_;
    QTcpServer server_;
    QTimer idleSweep_;
    int maxClients_ = DefaultMaxClients;
    int idleMs_ = DefaultIdleMs;
    bool logging_ = false;
    quint64 nextId_ = 1;
    std::map<quint64, std::unique_ptr<Client>> clients_;
    std::deque<Waiting> queue_;
    Waiting current_;
    std::optional<RoutedRequest> currentRoute_;
    bool busy_ = false;
    bool pumping_ = false;
};

} // namespace tessaly::modbus
