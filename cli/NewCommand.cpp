#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "documents/TranslateTableFile.h"
#include "workspace/NewProject.h"

namespace tessaly::cli {

int runNew(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("new takes one project name"));
    NewProjectCommand command(context.workspace, context.messages);
    command.setDefaultDocumentsWriter([&context] {
        if (const auto failure = WriteEmptyTranslateTable(context.workspace.paths().VarFile))
            context.messages.error(*failure);
    });
    command.prepare();
    command.onShow();
    if (!command.confirm(args.first()))
        return 1;
    command.finish();
    context.out << context.workspace.paths().ProjectDir << Qt::endl;
    return 0;
}

} // namespace tessaly::cli
