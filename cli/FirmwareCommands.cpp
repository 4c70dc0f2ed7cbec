// compose, flash and update: the firmware dialog's "Execute update firmware" without
// the window, for scripts that configure many devices.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
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

struct ComposeRequest {
    QString reference; // absolute path
    bool fromMaster = false;
    MergeSettings settings;
};

// The compose pass's names for the current project, as the firmware dialog sets them.
ComposeRequest composeRequest(const CliContext& context, const std::optional<QString>& reference,
                              const std::optional<QString>& output) {
    const ProjectPaths& paths = context.workspace.paths();
    ComposeRequest request;
    request.fromMaster = !reference;
    request.reference = reference ? QFileInfo(*reference).absoluteFilePath()
                                  : joinPath(paths.MasterDir, ReferenceFirmwareName);
    request.settings.BinDirectory = withTrailingSeparator(joinPath(paths.ProjectDir, BinDirectoryName));
    request.settings.OutputDirectory = withTrailingSeparator(paths.ProjectDir);
    request.settings.OutputName =
        output.value_or(NewFirmwarePrefix + QFileInfo(request.reference).fileName());
    return request;
}

std::optional<QString> takeOutputName(QStringList& args) {
    const std::optional<QString> output = CliContext::takeOption(args, QStringLiteral("--output"));
    if (output && (output->contains(QLatin1Char('/')) || output->contains(QLatin1Char('\\'))))
        throw UsageError(QStringLiteral("--output takes a file name, not a path"));
    return output;
}

int takePort(QStringList& args) {
    const std::optional<QString> port = CliContext::takeOption(args, QStringLiteral("--port"));
    if (!port)
        throw UsageError(QStringLiteral("--port COMn is required"));
    const std::optional<int> index = serialPortIndex(*port);
    if (!index)
        throw UsageError(QStringLiteral("--port takes COM1 to COM8, not %1").arg(*port));
    return *index;
}

// The compose pass; true when the new firmware may be flashed.
bool compose(CliContext& context, const ComposeRequest& request) {
    if (request.fromMaster && !QFileInfo(request.reference).isFile()) {
        context.messages.error(ReferenceNotFoundMessage);
        return false;
    }
    NoMergeProgress progress;
    const ComposeOutcome outcome =
        composeBank1(request.reference, request.settings, true, context.messages, progress);
    if (outcome.merge.error) {
        context.messages.error(*outcome.merge.error);
        return false;
    }
    const FlashClearance clearance = clearForFlashing(outcome, request.settings);
    if (!clearance.refusal.isEmpty())
        context.messages.plain(clearance.refusal);
    if (outcome.merge.written)
        context.out << request.settings.OutputDirectory + request.settings.OutputName << '\n'
                    << "result " << outcome.merge.result << Qt::endl;
    return clearance.cleared;
}

// The flash step. With `wait`, the tool's exit status; otherwise 0 once it runs.
int flash(CliContext& context, const MergeSettings& settings, int portIndex, bool wait) {
    const ProjectPaths& paths = context.workspace.paths();
    if (const auto refusal = flashStepRefusal(paths.ProgramDir, settings)) {
        context.messages.plain(*refusal);
        return 1;
    }
    // The tool runs in the reference firmware's folder, as it does from the dialog.
    if (QFileInfo(paths.MasterDir).isDir())
        QDir::setCurrent(paths.MasterDir);
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
    return std::get<int>(ended);
}

bool requireProject(CliContext& context) {
    return context.workspace.RequireProject(context.messages);
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
    return compose(context, composeRequest(context, reference, output)) ? 0 : 1;
}

int runFlash(CliContext& context, QStringList args) {
    context.selectProject(args);
    const int port = takePort(args);
    const bool wait = CliContext::takeFlag(args, QStringLiteral("--wait"));
    const std::optional<QString> output = takeOutputName(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("flash takes no arguments"));
    if (!requireProject(context))
        return 1;
    return flash(context, composeRequest(context, std::nullopt, output).settings, port, wait);
}

int runUpdate(CliContext& context, QStringList args) {
    context.selectProject(args);
    const int port = takePort(args);
    const bool wait = CliContext::takeFlag(args, QStringLiteral("--wait"));
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("update takes no arguments"));
    if (!requireProject(context))
        return 1;
    ConfigImage image;
    const SystemClock clock;
    if (const auto failure = BuildBankFiles(image, context.workspace.paths(), clock)) {
        context.messages.error(*failure);
        return 1;
    }
    const ComposeRequest request = composeRequest(context, std::nullopt, std::nullopt);
    if (!compose(context, request))
        return 1;
    return flash(context, request.settings, port, wait);
}

} // namespace tessaly::cli
