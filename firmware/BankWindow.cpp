#include "firmware/BankWindow.h"

#include "firmware/BankTable.h"

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

} // namespace tessaly
