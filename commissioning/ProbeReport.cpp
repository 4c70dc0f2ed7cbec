#include "commissioning/ProbeReport.h"

#include "modbus/ModbusProtocol.h"

#include <QStringList>

namespace tessaly::commissioning {

QString echoWords(const EchoOutcome& echo) {
    switch (echo.kind) {
    case EchoOutcome::Answers:
        return QStringLiteral("answers");
    case EchoOutcome::NoAnswer:
        return QStringLiteral("no answer");
    case EchoOutcome::Error:
        return QStringLiteral("error");
    case EchoOutcome::Pending:
        break;
    }
    return QStringLiteral("not sent");
}

QString connectionWords(const ConnectionOutcome& connection) {
    switch (connection.kind) {
    case ConnectionOutcome::Open:
        return QStringLiteral("open");
    case ConnectionOutcome::Refused:
        return QStringLiteral("refused");
    case ConnectionOutcome::TimedOut:
        return QStringLiteral("timed out");
    case ConnectionOutcome::Failed:
    case ConnectionOutcome::Pending:
        break;
    }
    return QStringLiteral("failed");
}

QString readWords(const ReadOutcome& read) {
    switch (read.kind) {
    case ReadOutcome::NotSent:
        return QStringLiteral("not sent");
    case ReadOutcome::Answer:
        return QStringLiteral("answer");
    case ReadOutcome::Exception:
        return modbus::exceptionWords(read.exceptionCode);
    case ReadOutcome::NoAnswer:
        return QStringLiteral("no answer");
    case ReadOutcome::Incomplete:
        return QStringLiteral("incomplete answer");
    case ReadOutcome::NotModbus:
        return QStringLiteral("no Modbus answer");
    case ReadOutcome::OtherTransaction:
        return QStringLiteral("answer to another request");
    case ReadOutcome::OtherUnit:
        return QStringLiteral("answer from another unit");
    case ReadOutcome::OtherFunction:
        return QStringLiteral("answer for another function");
    case ReadOutcome::Closed:
        return QStringLiteral("connection closed");
    }
    return {};
}

QString valuesText(const QList<std::uint16_t>& values) {
    QStringList texts;
    for (const std::uint16_t value : values)
        texts << QString::number(value);
    return texts.join(QLatin1Char(' '));
}

} // namespace tessaly::commissioning
