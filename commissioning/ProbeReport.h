#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace tessaly::commissioning {

struct EchoOutcome {
    enum Kind { Pending, Answers, NoAnswer, Error };
    Kind kind = Pending;
    qint64 ms = 0;
    QString detail; // Error: why no echo went out
};

struct ConnectionOutcome {
    enum Kind { Pending, Open, Refused, TimedOut, Failed };
    Kind kind = Pending;
    QString detail; // the system's reason, or the time waited
};

// How one read through the gateway ended.
struct ReadOutcome {
    enum Kind {
        NotSent,          // no connection, or a fault of the table row (in detail)
        Answer,           // the points asked for, in values
        Exception,        // a Modbus exception answer, exceptionCode
        NoAnswer,         // not a byte within the time-out
        Incomplete,       // part of an answer within the time-out
        NotModbus,        // bytes that are no Modbus answer
        OtherTransaction, // a Modbus answer, but to another request
        OtherUnit,        // a Modbus answer, but from another unit
        OtherFunction,    // a Modbus answer, but for another function
        Closed,           // the device closed or reset the connection
    };
    Kind kind = NotSent;
    QList<std::uint16_t> values;
    int exceptionCode = 0;
    QString detail; // what came, or why nothing did

    // A Modbus answer to our request came back: its values or an exception.
    bool answered() const { return kind == Answer || kind == Exception; }
};

struct ProbeReport {
    EchoOutcome echo;
    ConnectionOutcome connection;
    ReadOutcome read;         // unit N, holding register 0
    QList<ReadOutcome> table; // one per row read, in order
    int tableNotRead = 0;     // the rows after the table was given up
    QString tableStopped;     // why it was

    bool answered() const { return read.answered(); }
};

// The outcomes in the words the command line and the guide use.
QString echoWords(const EchoOutcome& echo);
QString connectionWords(const ConnectionOutcome& connection);
QString readWords(const ReadOutcome& read);
// "7 8 9"
QString valuesText(const QList<std::uint16_t>& values);

} // namespace tessaly::commissioning
