#include "app/DevicePing.h"
#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "platform/IcmpEcho.h"
#include "platform/TickClock.h"

#include <QCoreApplication>

namespace tessaly::cli {

namespace {
IcmpSocketKind socketKind(const std::optional<QString>& name) {
    if (!name || *name == QLatin1String("auto"))
        return IcmpSocketKind::Any;
    if (*name == QLatin1String("datagram"))
        return IcmpSocketKind::Datagram;
    if (*name == QLatin1String("raw"))
        return IcmpSocketKind::Raw;
    throw UsageError(QStringLiteral("--socket takes auto, datagram or raw"));
}
} // namespace

int runPing(CliContext& context, QStringList args) {
    const IcmpSocketKind kind = socketKind(CliContext::takeOption(args, QStringLiteral("--socket")));
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("ping takes one host"));
    const std::unique_ptr<IcmpEcho> echo = createSystemIcmpEcho(kind);
    SystemTickClock ticks;
    DevicePing ping(*echo, ticks, [] { QCoreApplication::processEvents(); });
    const PingResult result = ping.PingDevice(args.first());
    context.out << result.label << Qt::endl;
    if (!result.reason.isEmpty())
        context.messages.error(result.reason);
    return result.kind == PingResultKind::Found ? 0 : 1;
}

} // namespace tessaly::cli
