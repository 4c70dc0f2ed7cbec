#pragma once

#include "image/ConfigImage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// What examineBuiltFiles finds, each text naming files by their place in the project
// with the platform's separator.
inline const QString BuiltFileMissingMessage = QStringLiteral("%1 missing");
inline const QString BankNotBuiltFromMessage = QStringLiteral("%1 does not hold what %2 builds now");
inline const QString SourceNotOfBankMessage = QStringLiteral("%1 does not hold the bytes of %2");
inline const QString WindowNotOfBankMessage = QStringLiteral("%1 does not hold %2 in bank 1");

// How one built file stands against what it is made from. Unknown: what it is made
// from is missing or unusable, so there is nothing to hold it against.
enum class BuiltState { Current, Missing, Different, Damaged, Unknown };

struct BuiltFile {
    BuiltState state = BuiltState::Unknown;
    QString finding; // what to tell, for every state but Current and Unknown
};

// bin/bank1.bin against the image pargen.xml builds now, apart from its build time and
// date.
struct BuiltBank {
    BuiltFile file;
    QString imageFailure;           // why pargen.xml builds no image now; `file` is Unknown then
    std::optional<QByteArray> held; // its first ConfigImageSize bytes, when it could be read

    // Why the bank file is not current (its finding, or why pargen.xml builds no image);
    // empty when it is.
    QString fault() const;
};

// The files that building and composing make for a project, each judged by its
// content against what it is made from, never by file times (a copy keeps contents,
// not times):
// - bin/bank1.bin holds the image pargen.xml builds now, apart from its build time
//   and date;
// - bin/bankg.c renders bin/bank1.bin byte for byte;
// - the new firmware's bank window holds bin/bank1.bin (as compose's read-back asks),
//   and the firmware ends in a sound end record.
// This is the one rule for "current": whatever may rebuild, recompose, warn of or
// refuse to send a stale file asks it.
struct BuiltFiles {
    QString imageFailure;                 // why pargen.xml builds no image now; `bank` is Unknown then
    std::optional<ConfigImage> bankImage; // what bin/bank1.bin holds, when it holds an image
    BuiltFile bank;
    BuiltFile source;
    BuiltFile firmware;

    bool current() const;
    // The findings of the three files, in that order.
    QStringList findings() const;
};

// Examines the files of the project in `projectDir`, the new firmware being
// `firmwareName` there. Reads pargen.xml, bank1.bin and bankg.c whole (all small) and
// the firmware line by line, so any file is read in bounded memory; writes nothing.
BuiltFiles examineBuiltFiles(const QString& projectDir, const QString& firmwareName);

// The parts of it, for those that need only some files: bin/bank1.bin alone; the new
// firmware `firmwareName` of `projectDir` against the bank file's bytes (`bank`,
// nothing when it could not be read: Unknown then, unless the firmware is missing or
// damaged in itself).
BuiltBank examineBankFile(const QString& projectDir);
BuiltFile examineFirmwareFile(const QString& projectDir, const QString& firmwareName,
                              const std::optional<QByteArray>& bank);

} // namespace tessaly
