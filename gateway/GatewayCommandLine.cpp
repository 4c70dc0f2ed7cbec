#include "gateway/GatewayCommandLine.h"

#include "cli/CliContext.h"
#include "cli/PortMapOfProgram.h"
#include "documents/ParseInt32.h"
#include "firmware/ComposeFirmware.h"
#include "firmware/SerialPortMap.h"
#include "modbus/SimulatedUnits.h"
#include "platform/PathForms.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

namespace tessaly::gateway {

using cli::CliContext;
using cli::UsageError;

namespace {

const QString NumberText = QStringLiteral("%1 takes %2 to %3, not %4");
const QString ListenText = QStringLiteral("--listen takes ADDRESS or ADDRESS:PORT (127.0.0.1:1502), not %1");
const QString PortLeadsNowhereText = QStringLiteral("%1 leads to no serial port (%2)");

int number(QStringList& args, const QString& option, int lowest, int highest, int fallback) {
    const std::optional<QString> text = CliContext::takeOption(args, option);
    if (!text)
        return fallback;
    const std::optional<std::int32_t> value = ParseInt32(*text);
    if (!value || *value < lowest || *value > highest)
        throw UsageError(NumberText.arg(option).arg(lowest).arg(highest).arg(*text));
    return *value;
}

void takeListen(QStringList& args, commissioning::GatewayOptions& options) {
    const std::optional<QString> text = CliContext::takeOption(args, QStringLiteral("--listen"));
    if (!text)
        return;
    // One colon parts address and port; more are an IPv6 address alone.
    QString address = *text;
    if (text->count(QLatin1Char(':')) == 1) {
        address = text->section(QLatin1Char(':'), 0, 0);
        const std::optional<std::int32_t> port = ParseInt32(text->section(QLatin1Char(':'), 1));
        if (!port || *port < 0 || *port > 65535)
            throw UsageError(ListenText.arg(*text));
        options.listenPort = quint16(*port);
    }
    const QHostAddress host(address);
    if (host.isNull())
        throw UsageError(ListenText.arg(*text));
    options.listenAddress = host;
}

// A device path as it stands; COMn as the port map of the program directory's flashing
// tool has it (FlashWrite.ini, then the detected ports). The map is read the first time
// a COM name needs it: a system scan costs tens of milliseconds.
QString serialDevice(const CliContext& context, const QString& port, std::optional<CurrentPortMap>& map) {
    const std::optional<int> index = comPortIndex(port);
    if (!index)
        return port;
    if (!map)
        map = cli::programPortMap(context);
    const CurrentPortMap& current = *map;
    if (!current.iniError.isEmpty())
        throw std::runtime_error(current.iniError.toStdString());
    const MappedPort mapped = current.map.port(*index);
    if (mapped.device.isEmpty() || mapped.fault != PortFault::None)
        throw std::runtime_error(
            PortLeadsNowhereText
                .arg(port, mapped.fault != PortFault::None ? portFaultText(mapped) : NoPortText)
                .toStdString());
    return mapped.device;
}

std::optional<QString> takePort(const CliContext& context, QStringList& args, const QString& option,
                                std::optional<CurrentPortMap>& map) {
    const std::optional<QString> port = CliContext::takeOption(args, option);
    if (port)
        return serialDevice(context, *port, map);
    return std::nullopt;
}

bool namesProject(const QStringList& args) {
    for (const QString& arg : args)
        if (arg == QLatin1String("--project") || arg.startsWith(QLatin1String("--project=")))
            return true;
    return false;
}

} // namespace

GatewayRequest parseGatewayArguments(CliContext& context, QStringList args) {
    GatewayRequest request;
    commissioning::GatewayOptions& o = request.options;
    const std::optional<QString> firmware = CliContext::takeOption(args, QStringLiteral("--firmware"));
    const bool project = namesProject(args);
    if (firmware && project)
        throw UsageError(QStringLiteral("--firmware and --project both name a firmware: give one"));
    if (project) {
        context.selectProject(args);
        const ProjectPaths& paths = context.workspace.paths();
        // Where compose and update write it: the project directory itself.
        request.firmware = joinPath(paths.ProjectDir, NewFirmwarePrefix + ReferenceFirmwareName);
        o.tableFile = paths.VarFile;
    } else if (firmware) {
        request.firmware = QDir::toNativeSeparators(*firmware);
    }
    if (const auto table = CliContext::takeOption(args, QStringLiteral("--table")))
        o.tableFile = QDir::toNativeSeparators(*table);
    if (const auto state = CliContext::takeOption(args, QStringLiteral("--state")))
        o.stateDir = QDir::toNativeSeparators(QFileInfo(*state).absoluteFilePath());
    if (request.firmware.isEmpty() && o.stateDir.isEmpty())
        throw UsageError(
            QStringLiteral("give a firmware to boot: --firmware FILE, --project P or --state DIR"));

    takeListen(args, o);
    o.maxClients = number(args, QStringLiteral("--max-clients"), 1, 10000, o.maxClients);
    o.idleMs = 1000 * number(args, QStringLiteral("--idle"), 1, 86400, o.idleMs / 1000);
    o.stopBits = number(args, QStringLiteral("--stop-bits"), 1, 2, 1) == 2 ? QSerialPort::TwoStop
                                                                           : QSerialPort::OneStop;
    o.retries = number(args, QStringLiteral("--retries"), 0, 10, 0);
    o.simulateDelayMs = number(args, QStringLiteral("--simulate-delay"), 0, 60000, 0);
    if (const auto units = CliContext::takeOption(args, QStringLiteral("--simulate"))) {
        auto parsed = modbus::parseUnitList(*units);
        if (const QString* refusal = std::get_if<QString>(&parsed))
            throw UsageError(*refusal);
        o.simulatedUnits = std::get<QList<int>>(parsed);
    }
    std::optional<CurrentPortMap> portMap;
    const std::optional<QString> rtu = takePort(context, args, QStringLiteral("--rtu"), portMap);
    if (rtu && o.simulatedUnits)
        throw UsageError(QStringLiteral("--rtu and --simulate both name the serial side: give one"));
    o.rtuDevice = rtu.value_or(QString());
    o.flashDevice = takePort(context, args, QStringLiteral("--flash-port"), portMap).value_or(QString());
    o.log = CliContext::takeFlag(args, QStringLiteral("--log"));
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("unexpected argument %1").arg(args.first()));
    return request;
}

QString gatewayHelp() {
    return QString::fromLatin1(GatewayUsage) + QStringLiteral(R"(
The Tessaly gateway in software: boots from a firmware's configuration bank, serves
Modbus TCP at the configured address and port, and passes each request to its serial
side, an RTU master at the configured baud rate, parity and time-out (routing or NAT
mode as configured), or to simulated RTU devices.

  --firmware FILE          boot this S-record firmware
  --project P              boot the project's New_sx48316.sx, as update composes it (P a
                           folder of PROJECTS or a project directory); NAT mode reads
                           its var.xml
  --state DIR              keep each firmware received in DIR; without --firmware and
                           --project, boot the one stored there last
  --listen ADDRESS[:PORT]  serve there instead of the configured address (and port;
                           port 0: one the system chooses)
  --max-clients N          clients served at once (32)
  --idle SECONDS           close a client after this long without a request (60)
  --rtu PORT               the serial side's port: a device path, or COMn through
                           FlashWrite.ini's port map as the flashing tool has it
  --stop-bits 1|2          stop bits on the serial side (1)
  --retries N              tries after an RTU time-out before exception 0x0B (0)
  --simulate UNITS         simulated RTU devices instead of a port, as 1,2,5-7
  --simulate-delay MS      how long the simulated devices take to answer (0)
  --table FILE             the translate table for NAT mode (a var.xml)
  --flash-port PORT        wait for firmwares from the flashing tool there (115200 8N1),
                           as the device's loader; a firmware received is booted
  --log                    one line per transaction, and clients coming and going
  --program-dir DIR        the program directory (MASTER, PROJECTS, FlashWrite.ini)

SIGINT and SIGTERM end it: clients closed, ports released.
Exit status: 0 ended by a signal, 1 did not boot or cannot serve, 2 usage error.
)");
}

} // namespace tessaly::gateway
