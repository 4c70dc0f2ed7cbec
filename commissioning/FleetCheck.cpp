#include "commissioning/FleetCheck.h"

#include "documents/DottedValues.h"
#include "documents/ValidateGeneralParameters.h"
#include "firmware/BuiltFiles.h"
#include "firmware/ComposeFirmware.h"
#include "platform/OrderedWork.h"
#include "platform/PathForms.h"
#include "workspace/ProjectList.h"
#include "workspace/ProjectPaths.h"

#include <QMap>
#include <QThread>

namespace tessaly {

namespace {
const QString NewFirmwareName = NewFirmwarePrefix + ReferenceFirmwareName;

// What one project's files and values say; the address joins the check across projects.
struct ProjectFindings {
    QStringList lines;
    int warnings = 0;
    std::optional<std::uint32_t> address;
};

class ProjectCheck {
public:
    explicit ProjectCheck(const QString& directory) : directory_(directory) {}

    ProjectFindings run() {
        QStringList documentLines;
        checkDocument(joinPath(directory_, PargenFileName), documentLines);
        const BuiltFiles built = examineBuiltFiles(directory_, NewFirmwareName);
        // A document already found faulty says why it builds no image.
        if (!built.imageFailure.isEmpty() && documentLines.isEmpty())
            documentLines << built.imageFailure;
        findings_.lines << documentLines << built.findings();
        return std::move(findings_);
    }

private:
    // The values must be ones the dialog accepts, and the address one a device may
    // have in its own subnet: neither the network's nor its broadcast address.
    void checkDocument(const QString& pargenPath, QStringList& lines) {
        const auto parameters = deviceParameters(pargenPath);
        if (const QString* why = std::get_if<QString>(&parameters)) {
            lines << *why;
            return;
        }
        const GeneralParameters& p = std::get<GeneralParameters>(parameters);
        const std::uint32_t address = ipv4Value(p, IpAddressOctets);
        const std::uint32_t mask = ipv4Value(p, SubnetMaskOctets);
        findings_.address = address;
        const std::uint32_t hostBits = ~mask;
        // Host bits below network bits only: 255.255.255.0, never 0.255.255.255. A
        // device may take such a mask, so this is worth a look rather than a fault.
        if ((hostBits & (hostBits + 1)) != 0) {
            lines << MaskNotContiguousText.arg(ipv4Text(mask));
            ++findings_.warnings;
            return;
        }
        // A /31 or /32 subnet has no network or broadcast address to avoid.
        if (hostBits < 3)
            return;
        const QString subnet = ipv4Text(address & mask) + QLatin1Char('/') + ipv4Text(mask);
        if ((address & hostBits) == 0)
            lines << NetworkAddressText.arg(ipv4Text(address), subnet);
        else if ((address & hostBits) == hostBits)
            lines << BroadcastAddressText.arg(ipv4Text(address), subnet);
    }

    const QString directory_;
    ProjectFindings findings_;
};
} // namespace

QString FleetCheckSummary::text() const {
    QString text = FleetCheckedText.arg(projects).arg(found);
    if (warnings > 0)
        text += FleetWarningsText.arg(warnings);
    return text;
}

FleetCheckSummary checkFleet(const ProjectPaths& paths, const std::function<void(const QString&)>& print) {
    const QStringList names = projectFolderNames(paths);
    FleetCheckSummary summary;
    summary.projects = static_cast<int>(names.size());
    QMap<std::uint32_t, QStringList> projectsAt;
    runInOrder<ProjectFindings>(
        static_cast<std::size_t>(names.size()), std::max(1, QThread::idealThreadCount()),
        [&](std::size_t i) {
            return ProjectCheck(joinPath(paths.ProjectsDir, names[static_cast<qsizetype>(i)])).run();
        },
        [&](std::size_t i, ProjectFindings& findings) {
            const QString& name = names[static_cast<qsizetype>(i)];
            for (const QString& line : findings.lines)
                print(name + QStringLiteral(": ") + line);
            summary.warnings += findings.warnings;
            summary.found += static_cast<int>(findings.lines.size()) - findings.warnings;
            if (findings.address)
                projectsAt[*findings.address] << name;
        });
    // Every address given to more than one project.
    for (auto it = projectsAt.cbegin(); it != projectsAt.cend(); ++it) {
        if (it.value().size() > 1) {
            print(AddressSharedText.arg(ipv4Text(it.key()), it.value().join(QStringLiteral(", "))));
            ++summary.found;
        }
    }
    return summary;
}

} // namespace tessaly
