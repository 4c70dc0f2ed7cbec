#pragma once

#include "modbus/RequestRouter.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace tessaly::modbus {

// One request of a Modbus TCP client and what came of it, for the traffic log.
struct Transaction {
    enum Outcome {
        Answer,      // the device's answer went back (values or an echo)
        Exception,   // an exception went back: the device's, or the gateway's own
        NoAnswer,    // the device stayed silent: exception 0x0B went back
        Unavailable, // no serial side: exception 0x0A went back
        Broadcast,   // sent to every device; nothing goes back
    };
    QDateTime arrived;
    QString client; // "127.0.0.1:40312"
    std::uint8_t unit = 0;
    QByteArray request;                  // the PDU as the client sent it
    std::optional<RoutedRequest> routed; // where NAT mode sent it
    Outcome outcome = Answer;
    int exceptionCode = 0; // Exception, NoAnswer, Unavailable
    double ms = 0;         // from the request's arrival to its answer leaving
};

// "2024-05-02 10:11:12.345 127.0.0.1:40312 unit 1 read holding registers 0+10: answer,
// 0.21 ms"; NAT mode adds where the request went (" -> unit 2 at 7"), an exception
// its code and name.
QString transactionLine(const Transaction& transaction);

} // namespace tessaly::modbus
