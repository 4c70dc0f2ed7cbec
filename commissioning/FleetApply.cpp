#include "commissioning/FleetApply.h"

#include "commissioning/ProjectSteps.h"
#include "firmware/BuiltFiles.h"
#include "image/BankFiles.h"
#include "platform/AtomicFile.h"
#include "platform/OrderedWork.h"
#include "platform/PathForms.h"
#include "workspace/Workspace.h"

#include <QFile>
#include <QThread>
#include <algorithm>

namespace tessaly {

namespace {

// Keeps what a step would have shown, for the device's result line.
class CollectedMessages final : public Messages {
public:
    void plain(const QString& text) override { texts << text; }
    void error(const QString& text) override { texts << text; }
    QStringList texts;
};

// Most of a device's time goes to waiting for the disk to confirm each atomic write,
// so several devices are written at once; each works in its own project directory.
int workerCount() {
    return std::clamp(QThread::idealThreadCount() * 4, 4, 16);
}

bool fileHolds(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.size() == bytes.size() && file.readAll() == bytes;
}

// One device. Each file is made again only when it is not current, and what is made
// again makes what is built from it stale in turn.
class DeviceWork {
public:
    DeviceWork(Workspace workspace, const FleetDevice& device, const Clock& clock)
        : workspace_(std::move(workspace)), device_(device), clock_(clock) {}

    FleetDeviceResult run() {
        const bool ok = apply();
        if (!ok)
            return {FleetDeviceResult::Failed, messages_.texts.join(QStringLiteral("; "))};
        return {wrote_ ? FleetDeviceResult::Done : FleetDeviceResult::Unchanged, {}};
    }

private:
    bool apply() {
        if (device_.isNew) {
            wrote_ = true;
            if (!createProject(workspace_, messages_, device_.name, device_.parameters))
                return false;
        } else {
            workspace_.selectProjectDirectory(joinPath(workspace_.paths().ProjectsDir, device_.name));
        }
        const ProjectPaths& paths = workspace_.paths();
        if (!fileHolds(paths.PargenFile, device_.document) &&
            !written(writeFileAtomically(paths.PargenFile, device_.document)))
            return false;
        const ComposeRequest compose = composeRequest(paths, std::nullopt, std::nullopt);
        const BuiltFiles built = examineBuiltFiles(paths.ProjectDir, compose.settings.OutputName);
        bool composeAgain = built.firmware.state != BuiltState::Current;
        if (built.bank.state != BuiltState::Current) {
            ConfigImage image;
            if (!written(BuildBankFiles(image, paths, clock_)))
                return false;
            composeAgain = true;
        } else if (built.source.state != BuiltState::Current &&
                   !written(WriteBankSource(*built.bankImage, paths.ProjectDir))) {
            return false;
        }
        if (!composeAgain)
            return true;
        wrote_ = true;
        return composeFirmware(compose, messages_).cleared;
    }

    // Whether a write succeeded; its failure goes to the messages.
    bool written(const std::optional<QString>& failure) {
        wrote_ = true;
        if (failure)
            messages_.error(*failure);
        return !failure;
    }

    Workspace workspace_;
    const FleetDevice& device_;
    const Clock& clock_;
    CollectedMessages messages_;
    bool wrote_ = false;
};

} // namespace

QString FleetDeviceResult::text() const {
    switch (outcome) {
    case Done:
        return DeviceDoneText;
    case Unchanged:
        return DeviceUnchangedText;
    case Failed:
        break;
    }
    return DeviceFailedText.arg(reasons);
}

void applyFleet(const FleetPlan& plan, const Workspace& workspace, const Clock& clock,
                const std::function<void(const FleetDevice&, const FleetDeviceResult&)>& report) {
    runInOrder<FleetDeviceResult>(
        plan.devices.size(), workerCount(),
        [&](std::size_t i) { return DeviceWork(workspace, plan.devices[i], clock).run(); },
        [&](std::size_t i, FleetDeviceResult& result) { report(plan.devices[i], result); });
}

} // namespace tessaly
