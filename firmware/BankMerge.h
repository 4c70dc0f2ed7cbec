#pragma once

#include "firmware/MergeProgress.h"
#include "platform/Messages.h"

#include <QString>
#include <optional>

namespace tessaly {

// Where a merge finds the bank files and puts the new firmware; the firmware dialog
// and the command line keep these between runs. Both directories end in a separator.
struct MergeSettings {
    QString BinDirectory;
    QString OutputDirectory;
    QString OutputName; // only tested for being empty: the merge is given the name to write
};

struct MergeOutcome {
    // -1: nothing merged (a check failed, no "S9" line, or reading stopped before one);
    // 0: the last "S9" line came before any line of the bank's window; 1: after it.
    int result = -1;
    // The output file now holds the complete new firmware. A merge that stops early
    // leaves the previous file under the output name, or none.
    bool written = false;
    // A file could not be created, opened or read: the text, with the system's reason,
    // for an error box. The merge stopped there and no bank rendering is left behind.
    std::optional<QString> error;
};

// Texts of the refusals and failures the merge shows in plain message boxes.
inline const QString SxFileNotFoundMessage = QStringLiteral("File *.Sx Not Found,Abort Procedure");
inline const QString NewSxNameMissingMessage = QStringLiteral("File New *.Sx Not Found,Abort Procedure");
inline const QString BinDirectoryNotFoundMessage = QStringLiteral("Directory Bin Not Found,Abort Procedure");
inline const QString BankFileNotFoundMessage = QStringLiteral("File %1 Not Found,Abort Procedure");
inline const QString BankFileTooShortMessage = QStringLiteral("File %1 Too Short (%2 bytes),Abort Procedure");
inline const QString NewSxNotCreatedMessage = QStringLiteral("File New Sx Not Create,Abort Procedure");
// The same when a file could not be read or written: the system's reason on a line of its own.
inline const QString NewSxNotCreatedBecauseMessage = NewSxNotCreatedMessage + QStringLiteral("\n%1");
// Error texts that end the command.
inline const QString NoSuchBankMessage = QStringLiteral("Bank %1 does not exist");

// The rendering of the bank file as S-records, in the bin directory while a merge runs.
inline const QString BankRenderingName = QStringLiteral("Bin.sx");

// Writes OutputDirectory + `outputName`: the firmware `inputFirmware` (opened as given,
// a bare name in the current directory) with every S1/S2 line of bank `bankIndex`'s
// window left out and the bank file's 512 records standing where the first such line
// stood. Each line ends in CR LF. The new file replaces the old one only once the
// merge has run to its end.
MergeOutcome MergeBankSx(int bankIndex, const QString& inputFirmware, const QString& outputName,
                         const MergeSettings& settings, Messages& messages, MergeProgress& progress);

} // namespace tessaly
