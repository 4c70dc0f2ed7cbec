// fleet apply: one table row per device; every row is checked before anything is
// written, then each device is written, built and composed on its own.

#include "cli/CliContext.h"
#include "cli/Fleet.h"
#include "cli/FleetTable.h"
#include "cli/OrderedWork.h"
#include "cli/ProgressLine.h"
#include "cli/ProjectSteps.h"
#include "image/BankFiles.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/PathForms.h"

#include <QFile>
#include <QThread>

namespace tessaly::cli {

namespace {
const QString DoneText = QStringLiteral("done");
const QString FailedText = QStringLiteral("failed: %1");
const QString SummaryText = QStringLiteral("%1 of %2 devices done");

// Most of a device's time goes to waiting for the disk to confirm each atomic write,
// so several devices are written at once; each works in its own project directory.
int workerCount() {
    return std::clamp(QThread::idealThreadCount() * 4, 4, 16);
}

struct DeviceResult {
    bool ok = false;
    QString reasons;
};

QString refusalLine(const FleetRefusal& refusal) {
    QString line = refusal.row == 0 ? QStringLiteral("header") : QStringLiteral("row %1").arg(refusal.row);
    if (!refusal.column.isEmpty())
        line += QStringLiteral(", column %1").arg(refusal.column);
    if (!refusal.value.isEmpty())
        line += QStringLiteral(", value \"%1\"").arg(refusal.value);
    return line + QStringLiteral(": ") + refusal.message;
}

// The current pargen.xml, unless it already holds these very bytes: a table that
// changes nothing leaves the file, and its time, alone.
std::optional<QString> writeDocument(const QString& path, const QByteArray& document) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.size() == document.size() && file.readAll() == document)
        return std::nullopt;
    return writeFileAtomically(path, document);
}

// One device: its project (made when new), pargen.xml, the bank files and the new
// firmware. False after the reasons went to `messages`.
bool applyDevice(Workspace& workspace, const FleetDevice& device, const Clock& clock, Messages& messages) {
    if (device.isNew) {
        if (!createProject(workspace, messages, device.name, device.parameters))
            return false;
    } else {
        workspace.selectProjectDirectory(joinPath(workspace.paths().ProjectsDir, device.name));
    }
    const ProjectPaths& paths = workspace.paths();
    if (const auto failure = writeDocument(paths.PargenFile, device.document)) {
        messages.error(*failure);
        return false;
    }
    ConfigImage image;
    if (const auto failure = BuildBankFiles(image, paths, clock)) {
        messages.error(*failure);
        return false;
    }
    return composeFirmware(composeRequest(paths, std::nullopt, std::nullopt), messages).cleared;
}
} // namespace

int runFleetApply(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("fleet apply takes one CSV file"));
    QFile file(args.first());
    if (!file.open(QIODevice::ReadOnly)) {
        context.messages.error(cannotOpenFileMessage(args.first(), file.errorString()));
        return 1;
    }
    const FleetPlan plan = planFleet(file.readAll(), context.workspace.paths());
    if (!plan.refusals.empty()) {
        for (const FleetRefusal& refusal : plan.refusals)
            context.messages.error(refusalLine(refusal));
        context.messages.error(QStringLiteral("Nothing was written."));
        return 1;
    }
    const SystemClock clock;
    ProgressLine progress(context.err, static_cast<int>(plan.devices.size()));
    int done = 0;
    runInOrder<DeviceResult>(
        plan.devices.size(), workerCount(),
        [&](std::size_t i) {
            Workspace workspace = context.workspace;
            CollectedMessages messages;
            const bool ok = applyDevice(workspace, plan.devices[i], clock, messages);
            return DeviceResult{ok, messages.joined()};
        },
        [&](std::size_t i, DeviceResult& result) {
            done += result.ok ? 1 : 0;
            progress.wipe();
            context.out << plan.devices[i].name << ": "
                        << (result.ok ? DoneText : FailedText.arg(result.reasons)) << Qt::endl;
            progress.advance();
        });
    progress.wipe();
    context.out << SummaryText.arg(done).arg(plan.devices.size()) << Qt::endl;
    return done == static_cast<int>(plan.devices.size()) ? 0 : 1;
}

} // namespace tessaly::cli
