#include "firmware/BankWindow.h"

#include "firmware/BankTable.h"

#include <QFile>
#include <algorithm>

namespace tessaly {

static_assert(Bank1WindowEnd - Bank1WindowStart + 1 == BankSize);

BankWindowRead readBank1Window(QByteArrayView text, const QString& fileName) {
    return readSxWindow(text, Bank1WindowStart, BankSize, fileName);
}

BankWindowRead readBank1Window(QIODevice& device, const QString& fileName) {
    return readSxWindow(device, Bank1WindowStart, BankSize, fileName);
}

bool windowHoldsBank(const BankWindowRead& window, QByteArrayView bankFile) {
    return window.ok() &&
           QByteArrayView(window.bytes) == bankFile.first(std::min(bankFile.size(), qsizetype(BankSize)));
}

bool firmwareHoldsBankFile(const QString& firmwarePath, const QString& bankPath) {
    QFile firmware(firmwarePath);
    QFile bank(bankPath);
    if (!firmware.open(QIODevice::ReadOnly) || !bank.open(QIODevice::ReadOnly))
        return false;
    return windowHoldsBank(readBank1Window(firmware, firmwarePath), bank.read(BankSize));
}

} // namespace tessaly
