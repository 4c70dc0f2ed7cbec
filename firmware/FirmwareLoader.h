#pragma once

#include "image/ConfigImage.h"
#include "image/DeviceConfiguration.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <functional>
#include <variant>

namespace tessaly {

// The device's memory, which every data record must lie in: the program and its five
// configuration banks (0x388000 to 0x3CBFFF) within 4 MiB.
inline constexpr std::uint32_t DeviceMemoryEnd = 0x400000; // one past the last address
// The most a transfer may carry: a firmware that fills the memory with S2 records of
// 16 bytes, with room to spare.
inline constexpr qsizetype MaxFirmwareBytes = qsizetype(64) << 20;

// A firmware a device would take: its records, and the configuration its bank 1 holds.
struct LoadedFirmware {
    QByteArray text; // every record as received, each followed by CR LF
    ConfigImage image;
    DeviceConfiguration configuration;
};

// Takes firmwares as a device's loader does, from a stream of text that may carry one
// transfer after another: a transfer starts at the first line that is not blank and ends
// with its end record (S7, S8 or S9). Every line of it must be a sound record (type,
// digits, byte count against its length, checksum) whose data, if any, lies within the
// device's memory. At the end record the bank 1 window is read from the records and
// must hold a configuration. A faulty line refuses the transfer at once, and the
// lines after it are passed over up to its end record, a new header record (S0) or
// a cut (cutOff()). Blank lines between transfers are passed over.
class FirmwareLoader {
public:
    // `sourceName` names the source in messages ("/dev/ttyUSB0").
    explicit FirmwareLoader(QString sourceName);

    std::function<void()> onStarted;
    std::function<void(const LoadedFirmware&)> onLoaded;
    std::function<void(const QString& why)> onRefused;

    void feed(QByteArrayView bytes);
    // The stream stopped (quiet for too long, hung up, at its end: `why`): a transfer
    // under way is refused, and a new one may start afterwards. A line not yet ended is
    // taken first when `takePartialLine`.
    void cutOff(const QString& why, bool takePartialLine = false);
    bool receiving() const { return state_ == State::Receiving; }
    qint64 linesReceived() const { return lineNumber_; }

private:
    enum class State { Idle, Receiving, Skipping };

    void takeLine(QByteArrayView line);
    // Refuses the transfer under way; `next` is Skipping when the rest of it is still to come.
    void refuse(const QString& why, State next = State::Skipping);
    void complete();

    QString sourceName_;
    State state_ = State::Idle;
    QByteArray partial_;
    bool overlong_ = false; // the line under way is longer than any record
    QByteArray text_;
    qint64 lineNumber_ = 0;
};

// The firmware file at `path`, read whole through a FirmwareLoader: what the device
// would run, or why it would stay in its loader (which names the file where the bank
// is at fault; a faulty line is named by its number).
std::variant<LoadedFirmware, QString> loadFirmwareFile(const QString& path);

} // namespace tessaly
