#include "firmware/BuiltFiles.h"

#include "documents/GeneralParameters.h"
#include "firmware/BankWindow.h"
#include "image/BankFiles.h"
#include "image/BuildConfigImage.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/PathForms.h"

#include <QFile>

namespace tessaly {

namespace {

const QString BankName = BinDirectoryName + QLatin1Char('/') + BankBinFileName;
const QString SourceName = BinDirectoryName + QLatin1Char('/') + BankSourceFileName;

// The build time and date are not compared, so any valid moment serves.
class AnyMoment final : public Clock {
public:
    QDateTime localNow() const override { return QDateTime(QDate(2000, 1, 1), QTime(0, 0)); }
};

BuiltFile current() {
    return {BuiltState::Current, {}};
}

// Up to `limit` bytes of the file at `path`; `file` says missing or unreadable.
std::optional<QByteArray> readUpTo(const QString& path, qint64 limit, BuiltFile& file, const QString& name) {
    QFile device(path);
    if (!device.exists()) {
        file = {BuiltState::Missing, BuiltFileMissingMessage.arg(name)};
        return std::nullopt;
    }
    if (!device.open(QIODevice::ReadOnly)) {
        file = {BuiltState::Damaged, cannotOpenFileMessage(path, device.errorString())};
        return std::nullopt;
    }
    return device.read(limit);
}

void examineFirmware(BuiltFiles& built, const QString& path, const QString& name,
                     const std::optional<QByteArray>& bank) {
    QFile device(path);
    if (!device.exists()) {
        built.firmware = {BuiltState::Missing, BuiltFileMissingMessage.arg(name)};
        return;
    }
    if (!device.open(QIODevice::ReadOnly)) {
        built.firmware = {BuiltState::Damaged, cannotOpenFileMessage(path, device.errorString())};
        return;
    }
    const BankWindowRead window = readBank1Window(device, path);
    if (!window.ok())
        built.firmware = {BuiltState::Damaged, window.error};
    else if (!window.cutShort.isEmpty())
        built.firmware = {BuiltState::Damaged, window.cutShort};
    else if (!bank)
        built.firmware = {};
    else if (!windowHoldsBank(window, *bank))
        built.firmware = {BuiltState::Different, WindowNotOfBankMessage.arg(name, BankName)};
    else
        built.firmware = current();
}

} // namespace

bool BuiltFiles::current() const {
    return bank.state == BuiltState::Current && source.state == BuiltState::Current &&
           firmware.state == BuiltState::Current;
}

QStringList BuiltFiles::findings() const {
    QStringList lines;
    for (const BuiltFile* file : {&bank, &source, &firmware}) {
        if (!file->finding.isEmpty())
            lines << file->finding;
    }
    return lines;
}

BuiltFiles examineBuiltFiles(const QString& projectDir, const QString& firmwareName) {
    BuiltFiles built;
    const std::optional<QByteArray> bank =
        readUpTo(bankBinPath(projectDir), ConfigImageSize, built.bank, BankName);
    if (bank) {
        built.bankImage = ConfigImage::fromBytes(*bank);
        ConfigImage image;
        const AnyMoment moment;
        if (const auto failure = BuildConfigImage(image, joinPath(projectDir, PargenFileName), moment))
            built.imageFailure = *failure;
        else if (!sameImageApartFromBuildStamp(image, *bank))
            built.bank = {BuiltState::Different, BankNotBuiltFromMessage.arg(BankName, PargenFileName)};
        else
            built.bank = current();
    }
    if (built.bankImage) {
        // One byte more than a rendering tells a longer file from it.
        const std::optional<QByteArray> source =
            readUpTo(bankSourcePath(projectDir), BankSourceSize + 1, built.source, SourceName);
        if (source)
            built.source =
                *source == renderBankSource(*built.bankImage)
                    ? current()
                    : BuiltFile{BuiltState::Different, SourceNotOfBankMessage.arg(SourceName, BankName)};
    }
    examineFirmware(built, joinPath(projectDir, firmwareName), firmwareName, bank);
    return built;
}

} // namespace tessaly
