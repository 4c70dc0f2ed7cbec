#include "firmware/ComposeFirmware.h"

#include "firmware/BankTable.h"
#include "firmware/BankWindow.h"
#include "firmware/FlashToolCall.h"

#include <QFile>
#include <QFileInfo>

namespace tessaly {

namespace {

// Bank renderings of older versions, "°B1°.sx" to "°B5°.sx".
void deleteLeftoverBankRenderings(const QString& outputDirectory) {
    for (int bank = 1; bank <= BankCount; ++bank)
        QFile::remove(outputDirectory + QStringLiteral("\u00B0B%1\u00B0.sx").arg(bank));
}

} // namespace

ComposeOutcome composeBank1(const QString& referenceFirmware, const MergeSettings& settings,
                            bool bank1Selected, Messages& messages, MergeProgress& progress) {
    ComposeOutcome outcome;
    outcome.bankSelected = bank1Selected;
    if (bank1Selected)
        outcome.merge = MergeBankSx(0, referenceFirmware, settings.OutputName, settings, messages, progress);
    else
        outcome.merge.result = 0;
    if (!outcome.merge.error)
        deleteLeftoverBankRenderings(settings.OutputDirectory);
    return outcome;
}

FlashClearance clearForFlashing(const ComposeOutcome& outcome, const MergeSettings& settings) {
    const MergeOutcome& merge = outcome.merge;
    if (outcome.bankSelected && !merge.written)
        return {false, {}}; // the merge refused or stopped, and said so
    if (merge.result == 0)
        return {false, BankNotInsertedMessage};
    if (merge.result != 1)
        return {false, NewSxNotVerifiedMessage};
    if (!firmwareHoldsBankFile(settings.OutputDirectory + settings.OutputName,
                               settings.BinDirectory + bankAt(0)->fileName))
        return {false, NewSxNotVerifiedMessage};
    return {true, {}};
}

std::optional<QString> flashStepRefusal(const QString& programDir, const MergeSettings& settings) {
    if (!QFileInfo(settings.OutputDirectory + settings.OutputName).isFile())
        return SxFileNotFoundMessage;
    if (!QFileInfo(flashToolPath(programDir)).isFile())
        return FlashToolNotFoundMessage;
    return flashToolCallRefusal(programDir, settings.OutputDirectory + settings.OutputName);
}

std::optional<int> serialPortIndex(const QString& portName) {
    for (int index = 0; index < SerialPortNames.size(); ++index)
        if (SerialPortNames[index].compare(portName, Qt::CaseInsensitive) == 0)
            return index;
    return std::nullopt;
}

} // namespace tessaly
