// fleet check: what is stale in each project, and which addresses clash across them.

#include "cli/CliContext.h"
#include "cli/Fleet.h"
#include "cli/OrderedWork.h"
#include "documents/GeneralParameters.h"
#include "documents/ParseInt32.h"
#include "documents/ValidateGeneralParameters.h"
#include "firmware/ComposeFirmware.h"
#include "image/BankFiles.h"
#include "firmware/BankWindow.h"
#include "platform/AtomicFile.h"
#include "platform/PathForms.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QThread>
#include <array>

namespace tessaly::cli {

namespace {
const QString NewFirmwareName = NewFirmwarePrefix + ReferenceFirmwareName;
const QString BankBinName = BinDirectoryName + QLatin1Char('/') + BankBinFileName;

std::uint32_t addressOf(const std::array<const QString*, 4>& texts) {
    std::uint32_t address = 0;
    for (const QString* text : texts)
        address = (address << 8) | static_cast<std::uint32_t>(ParseInt32(*text).value_or(0));
    return address;
}

QString dotted(std::uint32_t address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

// What one project's files and values say; the address joins the check across projects.
struct ProjectFindings {
    QStringList lines;
    std::optional<std::uint32_t> address;
};

class ProjectCheck {
public:
    explicit ProjectCheck(const QString& directory) : directory_(directory) {}

    ProjectFindings run() {
        const QFileInfo pargen(joinPath(directory_, PargenFileName));
        const QFileInfo bank(bankBinPath(directory_));
        const QFileInfo firmware(joinPath(directory_, NewFirmwareName));
        if (!bank.isFile())
            findings_.lines << QStringLiteral("%1 missing").arg(BankBinName);
        else if (pargen.isFile() && bank.lastModified() < pargen.lastModified())
            findings_.lines << QStringLiteral("%1 older than %2").arg(BankBinName, PargenFileName);
        if (!firmware.isFile())
            findings_.lines << QStringLiteral("%1 missing").arg(NewFirmwareName);
        else if (bank.isFile())
            checkFirmware(bank, firmware);
        checkAddress(pargen.filePath());
        return std::move(findings_);
    }

private:
    void checkFirmware(const QFileInfo& bank, const QFileInfo& firmware) {
        if (firmware.lastModified() < bank.lastModified()) {
            findings_.lines << QStringLiteral("%1 older than %2").arg(NewFirmwareName, BankBinName);
            return;
        }
        QFile bankFile(bank.filePath());
        QFile firmwareFile(firmware.filePath());
        if (!bankFile.open(QIODevice::ReadOnly) || !firmwareFile.open(QIODevice::ReadOnly)) {
            findings_.lines << (bankFile.isOpen()
                                    ? cannotOpenFileMessage(firmware.filePath(), firmwareFile.errorString())
                                    : cannotOpenFileMessage(bank.filePath(), bankFile.errorString()));
            return;
        }
        const BankWindowRead window = readBank1Window(firmwareFile, firmware.filePath());
        if (!window.ok())
            findings_.lines << window.error;
        else if (!windowHoldsBank(window, bankFile.readAll()))
            findings_.lines << QStringLiteral("%1 holds a bank window different from %2")
                                   .arg(NewFirmwareName, BankBinName);
    }

    // The address must be one a device may have in its own subnet: neither the
    // network's nor its broadcast address.
    void checkAddress(const QString& pargenPath) {
        const LoadedGeneralParameters loaded = ReadGeneralParameters(pargenPath);
        if (!loaded.ok()) {
            findings_.lines << loaded.error;
            return;
        }
        const GeneralParameters& p = loaded.parameters;
        if (const std::optional<QString> refusal = ValidateGeneralParameters(p)) {
            findings_.lines << *refusal;
            return;
        }
        const std::uint32_t address = addressOf({&p.TCP_IP1, &p.TCP_IP2, &p.TCP_IP3, &p.TCP_IP4});
        const std::uint32_t mask = addressOf({&p.TCP_SUB1, &p.TCP_SUB2, &p.TCP_SUB3, &p.TCP_SUB4});
        findings_.address = address;
        const std::uint32_t hostBits = ~mask;
        // A /31 or /32 subnet has no network or broadcast address to avoid.
        if (hostBits < 3)
            return;
        const QString subnet = dotted(address & mask) + QLatin1Char('/') + dotted(mask);
        if ((address & hostBits) == 0)
            findings_.lines << QStringLiteral("%1 is the network address of %2").arg(dotted(address), subnet);
        else if ((address & hostBits) == hostBits)
            findings_.lines
                << QStringLiteral("%1 is the broadcast address of %2").arg(dotted(address), subnet);
    }

    const QString directory_;
    ProjectFindings findings_;
};
} // namespace

int runFleetCheck(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("fleet check takes no arguments"));
    const QStringList names = fleetProjectNames(context.workspace.paths());
    const QString projectsDir = context.workspace.paths().ProjectsDir;
    QMap<std::uint32_t, QStringList> projectsAt;
    int found = 0;
    runInOrder<ProjectFindings>(
        static_cast<std::size_t>(names.size()), std::max(1, QThread::idealThreadCount()),
        [&](std::size_t i) {
            return ProjectCheck(joinPath(projectsDir, names[static_cast<qsizetype>(i)])).run();
        },
        [&](std::size_t i, ProjectFindings& findings) {
            const QString& name = names[static_cast<qsizetype>(i)];
            for (const QString& line : findings.lines)
                context.out << name << ": " << line << '\n';
            found += static_cast<int>(findings.lines.size());
            if (findings.address)
                projectsAt[*findings.address] << name;
        });
    // Every address given to more than one project.
    for (auto it = projectsAt.cbegin(); it != projectsAt.cend(); ++it) {
        if (it.value().size() > 1) {
            context.out << dotted(it.key()) << " is used by " << it.value().join(QStringLiteral(", "))
                        << '\n';
            ++found;
        }
    }
    context.out << QStringLiteral("%1 projects checked, %2 found").arg(names.size()).arg(found) << Qt::endl;
    return found == 0 ? 0 : 1;
}

} // namespace tessaly::cli
