#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "firmware/InspectFile.h"
#include "platform/AtomicFile.h"

#include <QFile>

namespace tessaly::cli {

int runInspect(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("inspect takes one file"));
    const QString path = args.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        context.messages.error(cannotOpenFileMessage(path, file.errorString()));
        return 1;
    }
    const InspectedFile inspected = inspectImageFile(file, path);
    if (!inspected.ok()) {
        context.messages.error(inspected.error);
        return 1;
    }
    for (const QString& line : inspected.lines)
        context.out << line << '\n';
    context.out.flush();
    // The configuration is shown, but such a file is not fit to be flashed.
    if (!inspected.cutShort.isEmpty()) {
        context.messages.error(inspected.cutShort);
        return 1;
    }
    return 0;
}

} // namespace tessaly::cli
