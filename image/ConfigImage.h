#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QTime>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tessaly {

// The configuration image is bank 1 of the device: 16384 bytes, all zero except the
// parameter block. The block is a plain byte layout, little-endian and without gaps;
// every field is written at its own offset, never through a struct.
inline constexpr int ConfigImageSize = 16384;
inline constexpr int ParameterBlockOffset = 15000;
inline constexpr int ParameterBlockLength = 53;
inline constexpr int CommunityNameFieldLength = 14;
inline constexpr int CommunityNameFieldChars = 13; // the 14th byte always ends the string

// Where each field of the parameter block starts.
namespace ImageOffset {
inline constexpr int Ip = 15000;         // four octets
inline constexpr int SubnetMask = 15004; // four octets
inline constexpr int Gateway = 15008;    // four octets
inline constexpr int Port = 15012;       // 16 bits
inline constexpr int PublicName = 15014; // community-name field
inline constexpr int PrivateName = 15028;
inline constexpr int Baud = 15042;
inline constexpr int Parity = 15043;
inline constexpr int TimeOut = 15044;    // 16 bits
inline constexpr int DataOffset = 15046; // 16 bits
inline constexpr int Mode = 15048;
inline constexpr int BuildTime = 15049; // 16 bits, at an odd offset
inline constexpr int BuildDate = 15051; // 16 bits, at an odd offset
} // namespace ImageOffset

static_assert(ImageOffset::Ip == ParameterBlockOffset);
static_assert(ImageOffset::BuildDate + 2 == ParameterBlockOffset + ParameterBlockLength);
static_assert(ImageOffset::PrivateName == ImageOffset::PublicName + CommunityNameFieldLength);
static_assert(ImageOffset::Baud == ImageOffset::PrivateName + CommunityNameFieldLength);

using CommunityNameField = std::array<std::uint8_t, CommunityNameFieldLength>;

class ConfigImage {
public:
    using Bytes = std::array<std::uint8_t, ConfigImageSize>;

    void clear() { bytes_.fill(0); }

    // The packing helpers store the low bits of `value`: an 8-bit field holds it
    // modulo 256, a 16-bit field modulo 65536 (negative values in two's complement).
    void putByte(int offset, std::int32_t value);
    void putWord(int offset, std::int32_t value); // least significant byte first
    void putBytes(int offset, std::span<const std::uint8_t> data);

    std::uint8_t byte(int offset) const;
    std::uint16_t word(int offset) const;
    const Bytes& bytes() const { return bytes_; }
    QByteArray toByteArray() const;

    // An image read back from its 16384 bytes; nothing for any other size.
    static std::optional<ConfigImage> fromBytes(QByteArrayView data);

private:
    Bytes bytes_{};
};

// Whether `bytes` hold `image` apart from its build time and date: an image built
// again from the same document differs from the earlier one only there. Bytes past
// the image's 16384 do not count (the merge takes the first 16384); fewer never match.
bool sameImageApartFromBuildStamp(const ConfigImage& image, QByteArrayView bytes);

// BuildTime: hour in bits 0-4, minute in bits 5-10, second / 2 in bits 11-15.
std::uint16_t packBuildTime(const QTime& time);
// BuildDate: year modulo 100 in bits 0-6, month in bits 7-10, day in bits 11-15.
std::uint16_t packBuildDate(const QDate& date);

// The fields of the two words as stored, unchecked (an unbuilt image gives zeros).
struct BuildStamp {
    int year = 0; // 2000 + the stored year of the century
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0; // always even
};
BuildStamp unpackBuildStamp(std::uint16_t buildTime, std::uint16_t buildDate);

} // namespace tessaly
