#pragma once

#include "firmware/srecord/SxWindow.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <cstdint>

namespace tessaly {

// Bank 1, where the configuration image lies in the device's memory.
inline constexpr std::uint32_t Bank1WindowStart = 0x388000;
inline constexpr std::uint32_t Bank1WindowEnd = 0x38BFFF; // inclusive

using BankWindowRead = SxWindowRead;

// The 16384 bytes of 0x388000 to 0x38BFFF from an S-record firmware, by the rules of
// readSxWindow: from the whole text, or from `device` line by line.
BankWindowRead readBank1Window(QByteArrayView text, const QString& fileName);
BankWindowRead readBank1Window(QIODevice& device, const QString& fileName);

// Whether a window read holds the bank a merge inserts from the bytes of a bank file:
// its first 16384 bytes (a longer file is no fault).
bool windowHoldsBank(const BankWindowRead& window, QByteArrayView bankFile);

// Whether the firmware file at `firmwarePath`, read line by line so that a large one
// is not held in memory, holds the bank file at `bankPath` in its bank 1 window (by
// windowHoldsBank); false when either cannot be read.
bool firmwareHoldsBankFile(const QString& firmwarePath, const QString& bankPath);

} // namespace tessaly
