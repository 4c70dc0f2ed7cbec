#pragma once

#include "firmware/BankMerge.h"
#include "platform/Messages.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The reference firmware in MASTER and the name the new firmware gets from it.
inline const QString ReferenceFirmwareName = QStringLiteral("sx48316.sx");
inline const QString NewFirmwarePrefix = QStringLiteral("New_");

// The serial ports the flashing tool is offered, in list order: index 0 is "COM1".
inline const QStringList SerialPortNames = {
    QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4"),
    QStringLiteral("COM5"), QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8")};

// Shown when MASTER holds no reference firmware.
inline const QString ReferenceNotFoundMessage = QStringLiteral("Error file sx48316.sx not found");

// Messages of the flash step.
inline const QString FlashToolNotFoundMessage = QStringLiteral("FlashWrite.exe Not Found, Procedure Aborted");
// Why a freshly composed firmware is not handed to the flashing tool.
inline const QString BankNotInsertedMessage = QStringLiteral("Bank 1 Not Inserted,Abort Procedure");
inline const QString NewSxNotVerifiedMessage = QStringLiteral("File New Sx Not Verified,Abort Procedure");

// The outcome of one compose pass.
struct ComposeOutcome {
    bool bankSelected = false; // Bank 1 was asked for; otherwise nothing was merged
    MergeOutcome merge;        // result 0 when nothing was merged
};

// The compose pass: merges bank 1 from BinDirectory into `referenceFirmware` (opened
// as given: a bare name lies in the current directory) as OutputDirectory +
// OutputName, when `bank1Selected`. Afterwards bank renderings that older versions
// left in the output directory are removed, unless the merge ended in an error.
ComposeOutcome composeBank1(const QString& referenceFirmware, const MergeSettings& settings,
                            bool bank1Selected, Messages& messages, MergeProgress& progress);

// Whether the firmware of `outcome` may go to the device: bank 1 was merged (result 1)
// and the new file, read back, holds the bank file byte for byte in the bank 1 window.
// A refusal carries the text to show; an empty text when the merge itself has already
// told the user why it stopped.
struct FlashClearance {
    bool cleared = false;
    QString refusal;
};
FlashClearance clearForFlashing(const ComposeOutcome& outcome, const MergeSettings& settings);

// The flash step's checks before the tool is started: the text of the plain message
// that stops it, or nothing when the new firmware and the tool are both there and the
// tool can receive their paths (flashToolCallRefusal).
std::optional<QString> flashStepRefusal(const QString& programDir, const MergeSettings& settings);

// The list index of a port name such as "COM3" (case-insensitive), nothing for others.
std::optional<int> serialPortIndex(const QString& portName);

} // namespace tessaly
