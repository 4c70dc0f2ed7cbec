// compose, flash and update: the firmware dialog's "Execute update firmware" without
// the window, for scripts that configure many devices.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/PortMapOfProgram.h"
#include "commissioning/ProjectSteps.h"
#include "firmware/ComposeFirmware.h"
#include "firmware/FlashToolCall.h"
#include "image/BankFiles.h"
#include "platform/Clock.h"
#include "platform/PathForms.h"
#include "platform/SystemProgramLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <variant>

namespace tessaly::cli {

namespace {

const QString StaleBankMessage = QStringLiteral("%1 is older than pargen.xml: run build first");

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
    const MappedPort port = current.map.port(choice.index);
    if (current.iniError.isEmpty() && port.present)
        return;
    QString why = current.iniError;
    if (why.isEmpty())
        why = port.origin == PortOrigin::Nowhere
                  ? QStringLiteral("no %1 entry, %2 port(s) detected")
                        .arg(PortMapFileName)
                        .arg(current.map.detectedCount())
                  : QStringLiteral("%1 names %2, which is missing").arg(PortMapFileName, port.device);
    context.err << "Warning: " << comPortName(choice.index) << " leads to no serial port (" << why << "); "
                << FlashToolFileName << " is started all the same" << Qt::endl;
}

// The compose pass; true when the new firmware may be flashed.
bool compose(CliContext& context, const ComposeRequest& request) {
    const ComposeRun run = composeFirmware(request, context.messages);
    if (run.outcome.merge.written)
        context.out << request.settings.OutputDirectory + request.settings.OutputName << '\n'
                    << "result " << run.outcome.merge.result << Qt::endl;
    return run.cleared;
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
    if (!wait) {
        if (const auto failure = createSystemProgramLauncher()->start(tool, parameter)) {
            context.messages.error(*failure);
            return 1;
        }
        context.out << FlashToolFileName << " started for " << SerialPortNames[portIndex] << Qt::endl;
        return 0;
    }
    // Waiting makes sense only when the tool ends by itself; without a display it
    // draws its window off screen.
    if (!qEnvironmentVariableIsSet("FLASHWRITE_EXIT_WHEN_DONE"))
        qputenv("FLASHWRITE_EXIT_WHEN_DONE", "1");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    context.out.flush();
    const std::variant<int, QString> ended = runProgramAndWait(tool, parameter);
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

// The bank file is older than the parameters when the last build failed or never ran;
// the GUI always builds first, the command line leaves it to the user.
void warnIfBankIsStale(CliContext& context) {
    const ProjectPaths& paths = context.workspace.paths();
    const QFileInfo bank(bankBinPath(paths.ProjectDir));
    const QFileInfo pargen(paths.PargenFile);
    if (bank.isFile() && pargen.isFile() && pargen.lastModified() > bank.lastModified())
        context.messages.plain(
            StaleBankMessage.arg(QDir::toNativeSeparators(QStringLiteral("bin/bank1.bin"))));
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
    warnIfBankIsStale(context);
    return flash(context, composeRequest(context.workspace.paths(), std::nullopt, output).settings, port,
                 wait);
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
