// fleet: the single-project commands over every project of PROJECTS at once.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/Fleet.h"
#include "cli/FleetTable.h"
#include "documents/Csv.h"
#include "documents/GeneralParameters.h"
#include "platform/PathForms.h"

#include <QFile>

namespace tessaly::cli {

int runFleetExport(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("fleet export takes no arguments"));
    QString text = FleetProjectColumn;
    for (const QString& element : GeneralParameterElements)
        text += QLatin1Char(',') + element;
    text += CsvLineEnd;
    bool allRead = true;
    for (const QString& name : fleetProjectNames(context.workspace.paths())) {
        const QString pargen =
            joinPath(joinPath(context.workspace.paths().ProjectsDir, name), PargenFileName);
        const LoadedGeneralParameters loaded = ReadGeneralParameters(pargen);
        if (!loaded.ok()) {
            context.messages.error(loaded.error);
            allRead = false;
            continue;
        }
        text += csvField(name);
        for (const auto& [element, value] : generalParameterTexts(loaded.parameters))
            text += QLatin1Char(',') + csvField(value);
        text += CsvLineEnd;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.flush()) {
        context.messages.error(out.errorString());
        return 1;
    }
    return allRead ? 0 : 1;
}

int runFleet(CliContext& context, QStringList args) {
    if (args.isEmpty())
        throw UsageError(QStringLiteral("fleet needs apply, export, check or probe"));
    const QString action = args.takeFirst();
    if (action == QLatin1String("apply"))
        return runFleetApply(context, args);
    if (action == QLatin1String("export"))
        return runFleetExport(context, args);
    if (action == QLatin1String("check"))
        return runFleetCheck(context, args);
    throw UsageError(QStringLiteral("unknown fleet command %1").arg(action));
}

} // namespace tessaly::cli
