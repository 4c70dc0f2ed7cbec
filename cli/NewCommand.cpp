#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "commissioning/ProjectSteps.h"

namespace tessaly::cli {

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
