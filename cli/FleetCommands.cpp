// fleet apply, export and check: their command lines. The work is the fleet core's.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/ProgressLine.h"
#include "commissioning/FleetApply.h"
#include "commissioning/FleetCheck.h"
#include "commissioning/FleetExport.h"
#include "commissioning/FleetTable.h"
#include "documents/Csv.h"
#include "platform/Clock.h"

#include <QFile>

namespace tessaly::cli {

namespace {
const QString NothingWrittenMessage = QStringLiteral("Nothing was written.");

int runFleetApply(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("fleet apply takes one CSV file"));
    const CsvFile table = readCsvFile(args.first());
    if (!table.ok()) {
        context.messages.error(table.error);
        return 1;
    }
    const FleetPlan plan = planFleet(table.bytes, context.workspace.paths());
    if (!plan.refusals.empty()) {
        for (const FleetRefusal& refusal : plan.refusals)
            context.messages.error(describeRefusal(refusal));
        context.messages.error(NothingWrittenMessage);
        return 1;
    }
    const SystemClock clock;
    ProgressLine progress(context.err, static_cast<int>(plan.devices.size()));
    int done = 0;
    int unchanged = 0;
    applyFleet(plan, context.workspace, clock,
               [&](const FleetDevice& device, const FleetDeviceResult& result) {
                   done += result.outcome != FleetDeviceResult::Failed ? 1 : 0;
                   unchanged += result.outcome == FleetDeviceResult::Unchanged ? 1 : 0;
                   progress.wipe();
                   context.out << device.name << ": " << result.text() << Qt::endl;
                   progress.advance();
               });
    progress.wipe();
    const auto total = static_cast<int>(plan.devices.size());
    context.out << FleetAppliedText.arg(done).arg(total)
                << (unchanged > 0 ? FleetUnchangedText.arg(unchanged) : QString()) << Qt::endl;
    return done == total ? 0 : 1;
}

int runFleetExport(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("fleet export takes no arguments"));
    const FleetExport exported = exportFleet(context.workspace.paths());
    for (const QString& error : exported.errors)
        context.messages.error(error);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(exported.csv) < 0 || !out.flush()) {
        context.messages.error(out.errorString());
        return 1;
    }
    return exported.errors.isEmpty() ? 0 : 1;
}

int runFleetCheck(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("fleet check takes no arguments"));
    const FleetCheckSummary summary =
        checkFleet(context.workspace.paths(), [&](const QString& line) { context.out << line << '\n'; });
    context.out << summary.text() << Qt::endl;
    return summary.found == 0 ? 0 : 1;
}
} // namespace

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
