#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "image/BankFiles.h"
#include "platform/Clock.h"

namespace tessaly::cli {

int runBuild(CliContext& context, QStringList args) {
    context.selectProject(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("build takes no arguments"));
    if (!context.workspace.RequireProject(context.messages))
        return 1;
    ConfigImage image;
    const SystemClock clock;
    const ProjectPaths& paths = context.workspace.paths();
    if (const auto failure = BuildBankFiles(image, paths, clock)) {
        context.messages.error(*failure);
        return 1;
    }
    context.out << bankBinPath(paths.ProjectDir) << '\n' << bankSourcePath(paths.ProjectDir) << Qt::endl;
    return 0;
}

} // namespace tessaly::cli
