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

// Names as users see them, with the platform's separator.
const QString BankName = joinPath(BinDirectoryName, BankBinFileName);
const QString SourceName = joinPath(BinDirectoryName, BankSourceFileName);

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

} // namespace

QString BuiltBank::fault() const {
    return file.state == BuiltState::Unknown ? imageFailure : file.finding;
}

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

BuiltBank examineBankFile(const QString& projectDir) {
    BuiltBank bank;
    bank.held = readUpTo(bankBinPath(projectDir), ConfigImageSize, bank.file, BankName);
    if (!bank.held)
        return bank;
    ConfigImage image;
    const AnyMoment moment;
    if (const auto failure = BuildConfigImage(image, joinPath(projectDir, PargenFileName), moment))
        bank.imageFailure = *failure;
    else if (!sameImageApartFromBuildStamp(image, *bank.held))
        bank.file = {BuiltState::Different, BankNotBuiltFromMessage.arg(BankName, PargenFileName)};
    else
        bank.file = current();
    return bank;
}

BuiltFile examineFirmwareFile(const QString& projectDir, const QString& firmwareName,
                              const std::optional<QByteArray>& bank) {
    const QString path = joinPath(projectDir, firmwareName);
    QFile device(path);
    if (!device.exists())
        return {BuiltState::Missing, BuiltFileMissingMessage.arg(firmwareName)};
    if (!device.open(QIODevice::ReadOnly))
        return {BuiltState::Damaged, cannotOpenFileMessage(path, device.errorString())};
    const BankWindowRead window = readBank1Window(device, path);
    if (!window.ok())
        return {BuiltState::Damaged, window.error};
    if (!window.cutShort.isEmpty())
        return {BuiltState::Damaged, window.cutShort};
    if (!bank)
        return {};
    if (!windowHoldsBank(window, *bank))
        return {BuiltState::Different, WindowNotOfBankMessage.arg(firmwareName, BankName)};
    return current();
}

BuiltFiles examineBuiltFiles(const QString& projectDir, const QString& firmwareName) {
    BuiltFiles built;
    BuiltBank bank = examineBankFile(projectDir);
    built.bank = bank.file;
    built.imageFailure = std::move(bank.imageFailure);
    if (bank.held)
        built.bankImage = ConfigImage::fromBytes(*bank.held);
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
    built.firmware = examineFirmwareFile(projectDir, firmwareName, bank.held);
    return built;
}

} // namespace tessaly
