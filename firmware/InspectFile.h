#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace tessaly {

inline const QString NotAnImageMessage =
    QStringLiteral("\"%1\" is neither a configuration image of 16384 bytes nor an S-record firmware file.");

// What a file tells of the configuration it holds: the description lines of its
// image, or the text that says why there is none.
struct InspectedFile {
    QStringList lines;
    QString error;
    QString cutShort; // a firmware that ends before its end record: why, beside its lines
    bool ok() const { return error.isEmpty(); }
};

// Reads `device` (named `fileName` in messages) as a bank file of exactly 16384 bytes
// or as an S-record firmware holding the configuration bank. Reads at most one bank
// file's size, or the firmware line by line, so that any file is read in bounded memory.
InspectedFile inspectImageFile(QIODevice& device, const QString& fileName);

} // namespace tessaly
