#include "firmware/FirmwareLoader.h"

#include "firmware/BankWindow.h"
#include "firmware/srecord/SRecord.h"
#include "firmware/srecord/SxFileCheck.h"
#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

namespace tessaly {

namespace {
// The longest record: type, byte count 255 and its bytes; blanks after it are allowed.
constexpr qsizetype MaxLineLength = 2 + 2 * SxMaxRecordBytes + 64;

const QString OverlongLineText = QStringLiteral("Line %1: longer than any S-record (%2 characters at most)");
const QString EmptyLineText = QStringLiteral("Line %1: empty line inside the transfer");
const QString OutsideMemoryText =
    QStringLiteral("Line %1: data for %2 to %3 lies outside the device's memory (0x000000 to %4)");
const QString TooLargeText = QStringLiteral("the transfer is larger than %1 MiB, more than the device takes");
const QString RestartedText = QStringLiteral("a new transfer began at line %1, before the end record");
const QString NoConfigurationText = QStringLiteral("it holds no configuration: %1");
const QString TooLargeFileText = QStringLiteral("\"%1\" is larger than %2 MiB, more than the device takes");
const QString NoEndText = QStringLiteral("it ends before its end record (S7, S8 or S9)");
const QString EmptyFileText = QStringLiteral("it holds no S-records");
} // namespace

FirmwareLoader::FirmwareLoader(QString sourceName) : sourceName_(std::move(sourceName)) {}

void FirmwareLoader::feed(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const qsizetype lf = bytes.indexOf('\n');
        const QByteArrayView piece = lf < 0 ? bytes : bytes.first(lf);
        if (!overlong_ && partial_.size() + piece.size() <= MaxLineLength)
            partial_.append(piece);
        else
            overlong_ = true;
        if (lf < 0)
            return;
        bytes = bytes.sliced(lf + 1);
        QByteArrayView line(partial_);
        if (line.endsWith('\r'))
            line.chop(1);
        if (overlong_) {
            ++lineNumber_;
            if (state_ == State::Receiving)
                refuse(OverlongLineText.arg(lineNumber_).arg(MaxLineLength));
        } else {
            takeLine(line);
        }
        partial_.clear();
        overlong_ = false;
    }
}

void FirmwareLoader::cutOff(const QString& why, bool takePartialLine) {
    if (takePartialLine && (!partial_.isEmpty() || overlong_))
        feed("\n");
    partial_.clear();
    overlong_ = false;
    if (state_ == State::Receiving)
        refuse(why);
    state_ = State::Idle;
}

void FirmwareLoader::takeLine(QByteArrayView line) {
    const QByteArrayView record = withoutTrailingBlanks(line);
    const int type = sxRecordType(record);
    if (state_ != State::Receiving) {
        // Between transfers: blank lines are passed over; after a refusal, the rest of
        // that transfer too, up to its end record or a new header.
        if (record.isEmpty() || (state_ == State::Skipping && type != 0)) {
            if (isSxTerminatorType(type))
                state_ = State::Idle;
            return;
        }
        state_ = State::Receiving;
        text_.clear();
        lineNumber_ = 0;
        if (onStarted)
            onStarted();
    } else if (type == 0 && lineNumber_ > 0) {
        refuse(RestartedText.arg(lineNumber_ + 1));
        state_ = State::Idle;
        takeLine(line);
        return;
    }
    ++lineNumber_;
    if (record.isEmpty())
        return refuse(EmptyLineText.arg(lineNumber_));
    if (const QString fault = sxRecordFault(record, lineNumber_); !fault.isEmpty())
        return refuse(fault);
    if (isSxDataType(type)) {
        unsigned char bytes[SxMaxRecordBytes];
        SxRecord decoded;
        decodeSxRecord(record, type, bytes, decoded);
        const std::uint64_t end = std::uint64_t(decoded.address) + std::uint64_t(decoded.dataSize);
        if (end > DeviceMemoryEnd)
            return refuse(
                OutsideMemoryText.arg(lineNumber_)
                    .arg(hexAddress(decoded.address), hexAddress(end - 1), hexAddress(DeviceMemoryEnd - 1)));
    }
    if (text_.size() + record.size() + 2 > MaxFirmwareBytes)
        return refuse(TooLargeText.arg(MaxFirmwareBytes >> 20));
    text_.append(record);
    text_.append("\r\n");
    if (isSxTerminatorType(type))
        complete();
}

void FirmwareLoader::refuse(const QString& why, State next) {
    state_ = next;
    text_.clear();
    if (onRefused)
        onRefused(why);
}

void FirmwareLoader::complete() {
    state_ = State::Idle;
    const BankWindowRead window = readBank1Window(text_, sourceName_);
    if (!window.ok())
        return refuse(window.error, State::Idle);
    LoadedFirmware firmware;
    firmware.image = *ConfigImage::fromBytes(window.bytes);
    auto configuration = readDeviceConfiguration(firmware.image);
    if (const QString* none = std::get_if<QString>(&configuration))
        return refuse(NoConfigurationText.arg(*none), State::Idle);
    firmware.configuration = std::get<DeviceConfiguration>(configuration);
    firmware.text = std::exchange(text_, {});
    if (onLoaded)
        onLoaded(firmware);
}

std::variant<LoadedFirmware, QString> loadFirmwareFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotOpenFileMessage(path, file.errorString());
    const QString name = QFileInfo(path).fileName();
    if (file.size() > MaxFirmwareBytes)
        return TooLargeFileText.arg(name).arg(MaxFirmwareBytes >> 20);
    FirmwareLoader loader(name);
    std::optional<LoadedFirmware> loaded;
    QString refusal;
    loader.onLoaded = [&loaded](const LoadedFirmware& firmware) {
        if (!loaded)
            loaded = firmware;
    };
    loader.onRefused = [&refusal](const QString& why) {
        if (refusal.isEmpty())
            refusal = why;
    };
    loader.feed(file.read(MaxFirmwareBytes));
    loader.cutOff(NoEndText, true);
    if (!refusal.isEmpty())
        return refusal;
    if (!loaded)
        return EmptyFileText;
    return *std::move(loaded);
}

} // namespace tessaly
