// ports: which device each COM name leads to, as the firmware dialog and the flashing
// tool see it.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/PortMapOfProgram.h"
#include "firmware/ComposeFirmware.h"

namespace tessaly::cli {

namespace {

// The detected port's description and maker, "-" when there is none; for an entry
// leading to no serial device, why.
QString about(const MappedPort& port) {
    switch (port.fault) {
    case PortFault::Missing:
        return QStringLiteral("missing");
    case PortFault::NotSerial:
        return QStringLiteral("not a serial port");
    case PortFault::NotUnderstood:
        return QStringLiteral("entry not understood");
    case PortFault::None:
        break;
    }
    if (!port.detected)
        return port.origin == PortOrigin::Nowhere ? NoPortText : QStringLiteral("-");
    QStringList parts;
    if (!port.detected->description.isEmpty())
        parts << port.detected->description;
    if (!port.detected->manufacturer.isEmpty() &&
        !port.detected->description.contains(port.detected->manufacturer, Qt::CaseInsensitive))
        parts << port.detected->manufacturer;
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(QStringLiteral(", "));
}

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

int runPorts(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("ports takes no arguments"));
    const CurrentPortMap current = programPortMap(context);
    if (!current.iniError.isEmpty())
        context.messages.error(current.iniError);
    warnOfPortMapLines(context, current);
    // The names the configurator offers always, and any further one that leads somewhere.
    const int count = std::max(int(SerialPortNames.size()), current.map.size());
    for (int index = 0; index < count; ++index) {
        const MappedPort port = current.map.port(index);
        if (index >= SerialPortNames.size() && port.origin == PortOrigin::Nowhere)
            continue;
        context.out << comPortName(index) << '\t' << orDash(port.device) << '\t' << about(port) << '\t'
                    << orDash(portOriginName(port.origin)) << '\n';
    }
    context.out.flush();
    return current.iniError.isEmpty() && current.warnings.isEmpty() ? 0 : 1;
}

} // namespace tessaly::cli
