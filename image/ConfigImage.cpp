#include "image/ConfigImage.h"

#include <QtGlobal>
#include <algorithm>

namespace tessaly {

void ConfigImage::putByte(int offset, std::int32_t value) {
    Q_ASSERT(offset >= 0 && offset < ConfigImageSize);
    bytes_[offset] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

void ConfigImage::putWord(int offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    putByte(offset, static_cast<std::int32_t>(bits & 0xFFu));
    putByte(offset + 1, static_cast<std::int32_t>((bits >> 8) & 0xFFu));
}

void ConfigImage::putBytes(int offset, std::span<const std::uint8_t> data) {
    Q_ASSERT(offset >= 0 && offset + static_cast<int>(data.size()) <= ConfigImageSize);
    std::copy(data.begin(), data.end(), bytes_.begin() + offset);
}

std::uint8_t ConfigImage::byte(int offset) const {
    Q_ASSERT(offset >= 0 && offset < ConfigImageSize);
    return bytes_[offset];
}

std::uint16_t ConfigImage::word(int offset) const {
    return static_cast<std::uint16_t>(byte(offset) | (byte(offset + 1) << 8));
}

QByteArray ConfigImage::toByteArray() const {
    return QByteArray(reinterpret_cast<const char*>(bytes_.data()), ConfigImageSize);
}

std::optional<ConfigImage> ConfigImage::fromBytes(QByteArrayView data) {
    if (data.size() != ConfigImageSize)
        return std::nullopt;
    ConfigImage image;
    std::copy(data.begin(), data.end(), image.bytes_.begin());
    return image;
}

bool sameImageApartFromBuildStamp(const ConfigImage& image, QByteArrayView bytes) {
    static_assert(ImageOffset::BuildDate == ImageOffset::BuildTime + 2);
    constexpr qsizetype StampStart = ImageOffset::BuildTime;
    constexpr qsizetype StampEnd = ImageOffset::BuildDate + 2;
    if (bytes.size() < ConfigImageSize)
        return false;
    const QByteArrayView built(image.bytes().data(), ConfigImageSize);
    return bytes.first(StampStart) == built.first(StampStart) &&
           bytes.sliced(StampEnd, ConfigImageSize - StampEnd) == built.sliced(StampEnd);
}

std::uint16_t packBuildTime(const QTime& time) {
    return static_cast<std::uint16_t>(time.hour() | (time.minute() << 5) | ((time.second() / 2) << 11));
}

std::uint16_t packBuildDate(const QDate& date) {
    const int yearOfCentury = (date.year() % 100 + 100) % 100; // QDate counts years before 1 negative
    return static_cast<std::uint16_t>(yearOfCentury | (date.month() << 7) | (date.day() << 11));
}

BuildStamp unpackBuildStamp(std::uint16_t buildTime, std::uint16_t buildDate) {
    BuildStamp stamp;
    stamp.hour = buildTime & 0x1F;
    stamp.minute = (buildTime >> 5) & 0x3F;
    stamp.second = ((buildTime >> 11) & 0x1F) * 2;
    stamp.year = 2000 + (buildDate & 0x7F);
    stamp.month = (buildDate >> 7) & 0x0F;
    stamp.day = (buildDate >> 11) & 0x1F;
    return stamp;
}

} // namespace tessaly
