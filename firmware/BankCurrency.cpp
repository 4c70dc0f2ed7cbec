#include "firmware/BankCurrency.h"

#include "documents/GeneralParameters.h"
#include "image/BankFiles.h"
#include "image/BuildConfigImage.h"
#include "image/ConfigImage.h"
#include "platform/Clock.h"
#include "platform/PathForms.h"

#include <QDir>
#include <QFile>

namespace tessaly {

namespace {

const QString BankMissing = QStringLiteral("%1 is missing");
const QString BankDiffers = QStringLiteral("%1 does not hold what %2 builds now");

// Any valid time will do: the stamp is left out of the comparison.
class StampClock final : public Clock {
public:
    QDateTime localNow() const override { return {QDate(2000, 1, 1), QTime(0, 0)}; }
};

} // namespace

QString bankFileShownName() {
    return QDir::toNativeSeparators(BinDirectoryName + QLatin1Char('/') + BankBinFileName);
}

std::optional<QString> bankFileOutdated(const QString& projectDir) {
    QFile bank(bankBinPath(projectDir));
    if (!bank.open(QIODevice::ReadOnly))
        return BankMissing.arg(bankFileShownName());
    const QByteArray held = bank.read(ConfigImageSize);
    ConfigImage image;
    if (const std::optional<QString> failure =
            BuildConfigImage(image, joinPath(projectDir, PargenFileName), StampClock()))
        return failure;
    const QByteArray built = image.toByteArray();
    constexpr int StampStart = ImageOffset::BuildTime;
    constexpr int StampEnd = ImageOffset::BuildDate + 2;
    const bool same = held.size() == built.size() && held.first(StampStart) == built.first(StampStart) &&
                      held.sliced(StampEnd) == built.sliced(StampEnd);
    if (same)
        return std::nullopt;
    return BankDiffers.arg(bankFileShownName(), PargenFileName);
}

} // namespace tessaly
