// compose, flash and update: the firmware dialog's "Execute update firmware" without
// the window, for scripts that configure many devices.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/PortMapOfProgram.h"
#include "commissioning/ProjectSteps.h"
#include "firmware/BuiltFiles.h"
#include "firmware/ComposeFirmware.h"
#include "firmware/FlashToolCall.h"
#include "firmware/SerialDeviceCheck.h"
#include "image/BankFiles.h"
#include "platform/Clock.h"
#include "platform/DisplayCheck.h"
#include "platform/PathForms.h"
#include "platform/StopSignals.h"
#include "platform/SystemProgramLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <variant>

namespace tessaly::cli {

namespace {

const QString StaleBankWarning = QStringLiteral("%1: run build first");
const QString StaleBankRefusal = QStringLiteral("%1: run update, which builds, composes and flashes");
const QString StaleFirmwareRefusal = QStringLiteral("%1: run update, or compose before flash");
const QString NotASerialPort = QStringLiteral("%1 is not a serial port");
const QString NoDisplayNote = QStringLiteral("No display: %1 runs without a window, and %2 waits for it as "
                                             "with --wait");
const QString TransferStopped = QStringLiteral("Stopped by %1: %2");
const QString ToolEndedWithStatus = QStringLiteral("%1 ended with status %2");

// "FINDING: what mends it"; a finding that is a sentence gives up its full stop.
QString withRemedy(const QString& remedy, QString finding) {
    if (finding.endsWith(QLatin1Char('.')))
        finding.chop(1);
    return remedy.arg(finding);
}

std::optional<QString> takeOutputName(QStringList& args) {
    const std::optional<QString> output = CliContext::takeOption(args, QStringLiteral("--output"));
    if (output && (output->contains(QLatin1Char('/')) || output->contains(QLatin1Char('\\'))))
        throw UsageError(QStringLiteral("--output takes a file name, not a path"));
    return output;
}

// The port of "--port COMn" or "--port DEVICE", and the port map when reading it took
// one: a system scan costs tens of milliseconds, so the flash step reuses it.
struct PortChoice {
    int index = 0;
    std::optional<CurrentPortMap> map;
};

// A device path becomes the COM name the port map gives it, so the tool opens that
// very device.
PortChoice takePort(const CliContext& context, QStringList& args) {
    const std::optional<QString> port = CliContext::takeOption(args, QStringLiteral("--port"));
    if (!port)
        throw UsageError(QStringLiteral("--port COMn is required"));
    if (const std::optional<int> index = serialPortIndex(*port))
        return {*index, std::nullopt};
#ifdef Q_OS_WIN
    // Windows names its ports itself: COM12 and \\.\COM12 are the port it calls COM12,
    // which the tool opens by that name.
    constexpr int WindowsComPorts = 256; // COM1 to COM256
    if (const std::optional<int> index = nativeComIndex(*port); index && *index < WindowsComPorts)
        return {*index, std::nullopt};
#endif
    if (!port->contains(QLatin1Char('/')))
        throw UsageError(QStringLiteral("--port takes COM1 to COM8 or a device path, not %1").arg(*port));
    if (QFileInfo::exists(*port) && !isSerialDevice(*port))
        throw std::runtime_error(NotASerialPort.arg(*port).toStdString());
    CurrentPortMap current = programPortMap(context);
    if (!current.iniError.isEmpty())
        throw std::runtime_error(current.iniError.toStdString());
    const std::optional<int> index = current.map.indexOfDevice(*port);
    if (!index)
        throw std::runtime_error(
            QStringLiteral("%1 is not in the port map (see tessaly-cli ports)").arg(*port).toStdString());
    if (*index >= SerialPortNames.size())
        throw std::runtime_error(QStringLiteral("%1 is %2; the flashing tool is offered COM1 to COM8 only")
                                     .arg(*port, comPortName(*index))
                                     .toStdString());
    return {*index, std::move(current)};
}

// A port leading nowhere is worth a warning, not a refusal: the tool may know better.
void warnUnlessPortLeadsSomewhere(CliContext& context, const PortChoice& choice) {
    const CurrentPortMap current = choice.map ? *choice.map : programPortMap(context);
    warnOfPortMapLines(context, current);
    const MappedPort port = current.map.port(choice.index);
    if (current.iniError.isEmpty() && port.present)
        return;
    QString why = current.iniError;
    if (why.isEmpty())
        why = port.origin == PortOrigin::Nowhere ? QStringLiteral("no %1 entry, %2 port(s) detected")
                                                       .arg(PortMapFileName)
                                                       .arg(current.map.detectedCount())
                                                 : portFaultText(port);
    context.err << "Warning: " << comPortName(choice.index) << " leads to no serial port (" << why << "); "
                << FlashToolFileName << " is started all the same" << Qt::endl;
}

// What `flash` sends must be what `update` would send: a firmware whose bank window
// holds bin/bank1.bin, which in turn holds what pargen.xml builds now. The text that
// refuses it, naming the command that mends it.
std::optional<QString> outdatedFirmware(const ProjectPaths& paths, const MergeSettings& settings) {
    const BuiltBank bank = examineBankFile(paths.ProjectDir);
    if (const QString fault = bank.fault(); !fault.isEmpty())
        return withRemedy(StaleBankRefusal, fault);
    const BuiltFile firmware = examineFirmwareFile(paths.ProjectDir, settings.OutputName, bank.held);
    if (firmware.state != BuiltState::Current)
        return withRemedy(StaleFirmwareRefusal, firmware.finding);
    return std::nullopt;
}

// The compose pass; true when the new firmware may be flashed.
bool compose(CliContext& context, const ComposeRequest& request) {
    const ComposeRun run = composeFirmware(request, context.messages);
    if (run.outcome.merge.written)
        context.out << request.settings.OutputDirectory + request.settings.OutputName << '\n'
                    << "result " << run.outcome.merge.result << Qt::endl;
    return run.cleared;
}

// The tool ends by itself and draws its window off screen when there is no display.
void prepareToolToRunAlone() {
    if (!qEnvironmentVariableIsSet("FLASHWRITE_EXIT_WHEN_DONE"))
        qputenv("FLASHWRITE_EXIT_WHEN_DONE", "1");
    if (!displayAvailable())
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the tool to its end. A stop signal to this process is passed to the tool, which
// stops the transfer and says how far it got; then this process ends as stopped.
int runToolAndWait(CliContext& context, const QString& tool, const QByteArray& parameter) {
    prepareToolToRunAlone();
    context.out.flush();
    const StopForwarding stops;
    const std::variant<int, QString> ended = runProgramAndWait(tool, parameter);
    if (const int signal = stops.received()) {
        const QString* failure = std::get_if<QString>(&ended);
        context.err << TransferStopped.arg(
                           stopSignalName(signal),
                           failure ? *failure
                                   : ToolEndedWithStatus.arg(FlashToolFileName).arg(std::get<int>(ended)))
                    << Qt::endl;
        return 128 + signal;
    }
    if (const QString* failure = std::get_if<QString>(&ended)) {
        context.messages.error(*failure);
        return 1;
    }
    // A tool that could not run (a library missing) ends without a word of its own.
    if (const auto undocumented = undocumentedFlashToolStatus(std::get<int>(ended))) {
        context.messages.error(*undocumented);
        return 1;
    }
    return std::get<int>(ended);
}

// The flash step. With `wait`, the tool's exit status; otherwise 0 once it runs.
int flash(CliContext& context, const MergeSettings& settings, const PortChoice& port, bool wait) {
    const ProjectPaths& paths = context.workspace.paths();
    if (const auto refusal = flashStepRefusal(paths.ProgramDir, settings)) {
        context.messages.plain(*refusal);
        return 1;
    }
    // The tool runs in the reference firmware's folder, as it does from the dialog.
    if (QFileInfo(paths.MasterDir).isDir())
        QDir::setCurrent(paths.MasterDir);
    warnUnlessPortLeadsSomewhere(context, port);
    const int portIndex = port.index;
    const QString tool = flashToolPath(paths.ProgramDir);
    const QByteArray parameter = flashToolParameter(settings.OutputDirectory, settings.OutputName, portIndex);
    // A tool started without a display ends at once without a word: with none, it
    // runs off screen and is waited for, so that what is reported is what happened.
    if (!wait && !displayAvailable()) {
        context.err << NoDisplayNote.arg(FlashToolFileName, QStringLiteral("tessaly-cli")) << Qt::endl;
        wait = true;
    }
    if (wait)
        return runToolAndWait(context, tool, parameter);
    if (const auto failure = createSystemProgramLauncher()->start(tool, parameter)) {
        context.messages.error(*failure);
        return 1;
    }
    context.out << FlashToolFileName << " started for " << SerialPortNames[portIndex] << Qt::endl;
    return 0;
}

bool requireProject(CliContext& context) {
    return context.workspace.RequireProject(context.messages);
}

// Whether the flashing tool can receive the paths of this call; says why not. Asked
// before anything is built or composed.
bool flashToolCanBeCalled(CliContext& context, const MergeSettings& settings) {
    const auto refusal = flashToolCallRefusal(context.workspace.paths().ProgramDir,
                                              settings.OutputDirectory + settings.OutputName);
    if (refusal)
        context.messages.plain(*refusal);
    return !refusal;
}

// The bank file differs from what the parameters build when the last build failed or
// never ran; the GUI always builds first, the command line leaves it to the user.
void warnIfBankIsStale(CliContext& context) {
    const BuiltBank bank = examineBankFile(context.workspace.paths().ProjectDir);
    if (bank.file.state == BuiltState::Missing)
        return; // the merge says so in its own words
    if (const QString fault = bank.fault(); !fault.isEmpty())
        context.messages.plain(withRemedy(StaleBankWarning, fault));
}

} // namespace

int runCompose(CliContext& context, QStringList args) {
    context.selectProject(args);
    const std::optional<QString> reference = CliContext::takeOption(args, QStringLiteral("--reference"));
    const std::optional<QString> output = takeOutputName(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("compose takes no arguments"));
    if (!requireProject(context))
        return 1;
    warnIfBankIsStale(context);
    return compose(context, composeRequest(context.workspace.paths(), reference, output)) ? 0 : 1;
}

int runFlash(CliContext& context, QStringList args) {
    context.selectProject(args);
    const PortChoice port = takePort(context, args);
    const bool wait = CliContext::takeFlag(args, QStringLiteral("--wait"));
    const std::optional<QString> output = takeOutputName(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("flash takes no arguments"));
    if (!requireProject(context))
        return 1;
    const MergeSettings settings = composeRequest(context.workspace.paths(), std::nullopt, output).settings;
    // A path the tool cannot be handed is refused first, as update does: the update the
    // staleness refusal names would stop there too.
    if (!flashToolCanBeCalled(context, settings))
        return 1;
    // A missing firmware is the flash step's own refusal.
    if (QFileInfo(settings.OutputDirectory + settings.OutputName).isFile())
        if (const std::optional<QString> refusal = outdatedFirmware(context.workspace.paths(), settings)) {
            context.messages.plain(*refusal);
            return 1;
        }
    return flash(context, settings, port, wait);
}

int runUpdate(CliContext& context, QStringList args) {
    context.selectProject(args);
    const PortChoice port = takePort(context, args);
    const bool wait = CliContext::takeFlag(args, QStringLiteral("--wait"));
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("update takes no arguments"));
    if (!requireProject(context))
        return 1;
    const ComposeRequest request = composeRequest(context.workspace.paths(), std::nullopt, std::nullopt);
    if (!flashToolCanBeCalled(context, request.settings))
        return 1;
    ConfigImage image;
    const SystemClock clock;
    if (const auto failure = BuildBankFiles(image, context.workspace.paths(), clock)) {
        context.messages.error(*failure);
        return 1;
    }
    if (!compose(context, request))
        return 1;
    return flash(context, request.settings, port, wait);
}

} // namespace tessaly::cli
