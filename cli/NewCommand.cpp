#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "documents/GeneralParameters.h"
#include "documents/TranslateTableFile.h"
#include "workspace/NewProject.h"

namespace tessaly::cli {

namespace {
// Whether a default document was written; a failure goes to stderr.
bool written(CliContext& context, const std::optional<QString>& failure) {
    if (failure)
        context.messages.error(*failure);
    return !failure;
}
} // namespace

int runNew(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("new takes one project name"));
    NewProjectCommand command(context.workspace, context.messages);
    bool documentsWritten = true;
    // The same default documents as the configurator's New project.
    command.setDefaultDocumentsWriter([&] {
        const ProjectPaths& paths = context.workspace.paths();
        documentsWritten = written(context, WriteGeneralParameters(GeneralParameters{}, paths.PargenFile)) &&
                           written(context, WriteEmptyTranslateTable(paths.VarFile));
    });
    command.prepare();
    command.onShow();
    if (!command.confirm(args.first()))
        return 1;
    command.finish();
    if (!documentsWritten)
        return 1;
    context.out << context.workspace.paths().ProjectDir << Qt::endl;
    return 0;
}

} // namespace tessaly::cli
