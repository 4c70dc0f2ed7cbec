#include "commissioning/ProjectSteps.h"

#include "documents/TranslateTableFile.h"
#include "image/BankFiles.h"
#include "platform/PathForms.h"
#include "workspace/NewProject.h"

#include <QFileInfo>

namespace tessaly {

namespace {
// Whether a default document was written; a failure goes to `messages`.
bool written(Messages& messages, const std::optional<QString>& failure) {
    if (failure)
        messages.error(*failure);
    return !failure;
}
} // namespace

bool createProject(Workspace& workspace, Messages& messages, const QString& name,
                   const GeneralParameters& parameters) {
    NewProjectCommand command(workspace, messages);
    bool documentsWritten = true;
    // The same default documents as the configurator's New project.
    command.setDefaultDocumentsWriter([&] {
        const ProjectPaths& paths = workspace.paths();
        documentsWritten = written(messages, WriteGeneralParameters(parameters, paths.PargenFile)) &&
                           written(messages, WriteEmptyTranslateTable(paths.VarFile));
    });
    command.prepare();
    command.onShow();
    if (!command.confirm(name))
        return false;
    command.finish();
    return documentsWritten;
}

ComposeRequest composeRequest(const ProjectPaths& paths, const std::optional<QString>& reference,
                              const std::optional<QString>& output) {
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

ComposeRun composeFirmware(const ComposeRequest& request, Messages& messages) {
    ComposeRun run;
    if (request.fromMaster && !QFileInfo(request.reference).isFile()) {
        messages.error(ReferenceNotFoundMessage);
        return run;
    }
    NoMergeProgress progress;
    run.outcome = composeBank1(request.reference, request.settings, true, messages, progress);
    if (run.outcome.merge.error) {
        messages.error(*run.outcome.merge.error);
        return run;
    }
    const FlashClearance clearance = clearForFlashing(run.outcome, request.settings);
    if (!clearance.refusal.isEmpty())
        messages.plain(clearance.refusal);
    run.cleared = clearance.cleared;
    return run;
}

} // namespace tessaly
