#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/ProjectSteps.h"
#include "documents/GeneralParameters.h"
#include "documents/TranslateTableFile.h"
#include "workspace/NewProject.h"

namespace tessaly::cli {

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

int runNew(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("new takes one project name"));
    if (!createProject(context.workspace, context.messages, args.first()))
        return 1;
    context.out << context.workspace.paths().ProjectDir << Qt::endl;
    return 0;
}

} // namespace tessaly::cli
