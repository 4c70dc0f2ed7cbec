#include "firmware/InspectFile.h"

#include "firmware/BankWindow.h"
#include "image/ConfigImage.h"
#include "image/ImageDescription.h"

#include <QDir>

namespace tessaly {

InspectedFile inspectImageFile(QIODevice& device, const QString& fileName) {
    InspectedFile inspected;
    // One byte more than an image tells an image from a longer file.
    const QByteArray head = device.read(ConfigImageSize + 1);
    std::optional<ConfigImage> image;
    if (looksLikeSRecords(head)) {
        if (!device.seek(0)) {
            inspected.error = NotAnImageMessage.arg(QDir::toNativeSeparators(fileName));
            return inspected;
        }
        const BankWindowRead window = readBank1Window(device, fileName);
        if (!window.ok()) {
            inspected.error = window.error;
            return inspected;
        }
        image = ConfigImage::fromBytes(window.bytes);
        inspected.cutShort = window.cutShort;
    } else {
        image = ConfigImage::fromBytes(head);
    }
    if (!image) {
        inspected.error = NotAnImageMessage.arg(QDir::toNativeSeparators(fileName));
        return inspected;
    }
    inspected.lines = describeConfigImage(*image);
    return inspected;
}

} // namespace tessaly
