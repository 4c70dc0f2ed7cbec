#include "firmware/BankMerge.h"

#include "firmware/BankTable.h"
#include "firmware/srecord/LineReader.h"
#include "firmware/srecord/SRecord.h"
#include "platform/AtomicFile.h"
#include "platform/BackgroundRelease.h"
#include "platform/IncrementalSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace tessaly {

namespace {

constexpr int RenderedLines = static_cast<int>(BankSize) / SxDataBytes;

QString cannotOpenFile(const QString& path, const QString& reason) {
    return cannotOpenFileMessage(path, reason);
}

// The first refusal of the merge's checks, in the order a user meets them.
std::optional<QString> refusal(const Bank& bank, const QString& inputFirmware,
                               const MergeSettings& settings) {
    if (!QFileInfo(inputFirmware).isFile())
        return SxFileNotFoundMessage;
    if (settings.OutputName.isEmpty())
        return NewSxNameMissingMessage;
    if (settings.BinDirectory.isEmpty() || !QFileInfo(settings.BinDirectory).isDir())
        return BinDirectoryNotFoundMessage;
    const QFileInfo bankFile(settings.BinDirectory + bank.fileName);
    if (!bankFile.isFile())
        return BankFileNotFoundMessage.arg(bank.fileName);
    if (bankFile.size() < BankSize)
        return BankFileTooShortMessage.arg(bank.fileName).arg(bankFile.size());
    return std::nullopt;
}

// The bank file as 512 S224 records, each line ending in CR LF.
struct Rendering {
    QByteArray text;
    std::optional<QString> error;   // the file could not be read
    std::optional<QString> refusal; // it shrank below a bank's size since it was checked
};

Rendering renderBank(const Bank& bank, const QString& bankPath) {
    QFile file(bankPath);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, cannotOpenFile(bankPath, file.errorString()), {}};
    const QByteArray bytes = file.read(BankSize);
    if (bytes.size() < qsizetype(BankSize)) {
        if (file.error() != QFileDevice::NoError)
            return {{}, cannotOpenFile(bankPath, file.errorString()), {}};
        return {{}, {}, BankFileTooShortMessage.arg(bank.fileName).arg(bytes.size())};
    }
    Rendering rendering;
    rendering.text.reserve(RenderedLines * (SxRecordLength + 2));
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (int line = 0; line < RenderedLines; ++line) {
        const auto offset = static_cast<std::uint32_t>(line * SxDataBytes);
        rendering.text += FormS224Record(bank.windowStart + offset, data + offset);
        rendering.text += "\r\n";
    }
    return rendering;
}

// Writes lines so that the file sees few large writes: lines that already end in
// CR LF go out straight from the reader's buffer, in runs as long as they lie side by
// side there; the others are completed with CR LF in a buffer of the writer's own.
class LineWriter {
public:
    explicit LineWriter(QFileDevice& file) : file_(file), staged_(new char[Capacity]), sync_(file.handle()) {}

    void write(const LineReader::Piece& piece) {
        if (!piece.endsLine || piece.raw.size() == piece.bytes.size() + 2)
            keep(piece.raw);
        else
            complete(piece.bytes);
    }

    // Before the reader's buffer changes under the current run.
    void flushRun() {
        put(run_);
        run_ = {};
    }

    bool finish() {
        flushRun();
        flushStaged();
        sync_.finish();
        return ok_ && !sync_.failed();
    }

    bool ok() const { return ok_; }
    // Why a write failed: the system's reason.
    const std::optional<QString>& failure() const { return failure_; }

private:
    static constexpr qsizetype Capacity = qsizetype(1) << 18;
    static constexpr qint64 SyncStep = qint64(4) << 20;

    void keep(QByteArrayView raw) {
        flushStaged();
        if (!run_.isEmpty() && run_.data() + run_.size() == raw.data()) {
            run_ = QByteArrayView(run_.data(), run_.size() + raw.size());
            return;
        }
        flushRun();
        run_ = raw;
    }

    void complete(QByteArrayView line) {
        flushRun();
        if (used_ + line.size() + 2 > Capacity)
            flushStaged();
        if (line.size() + 2 > Capacity) {
            put(line);
        } else {
            std::memcpy(staged_.get() + used_, line.data(), size_t(line.size()));
            used_ += line.size();
        }
        staged_[used_++] = '\r';
        staged_[used_++] = '\n';
    }

    void flushStaged() {
        put(QByteArrayView(staged_.get(), used_));
        used_ = 0;
    }

    void put(QByteArrayView bytes) {
        if (!ok_ || bytes.isEmpty())
            return;
        failure_ = writeWhole(file_, bytes);
        ok_ = !failure_;
        written_ += bytes.size();
        // The new firmware is synced to disk before it replaces the old one; syncing
        // the written part as we go lets that sync overlap the merge.
        if (written_ - synced_ >= SyncStep) {
            sync_.request();
            synced_ = written_;
        }
    }

    QFileDevice& file_;
    QByteArrayView run_;
    std::unique_ptr<char[]> staged_;
    qsizetype used_ = 0;
    IncrementalSync sync_;
    qint64 written_ = 0;
    qint64 synced_ = 0;
    bool ok_ = true;
    std::optional<QString> failure_;
};

// Deletes the bank rendering however the merge ends.
class RenderingFile {
public:
    explicit RenderingFile(QString path) : path_(std::move(path)) {}
    ~RenderingFile() { QFile::remove(path_); }
    RenderingFile(const RenderingFile&) = delete;
    RenderingFile& operator=(const RenderingFile&) = delete;
    const QString& path() const { return path_; }

    // The rendering is scratch, read back at once and deleted however the merge ends,
    // so it is written in place: no temporary copy that a killed merge could leave.
    std::optional<QString> write(const QByteArray& text) const {
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return cannotCreateFileMessage(path_, file.errorString());
        if (const std::optional<QString> reason = writeWhole(file, text))
            return cannotCreateFileMessage(path_, *reason);
        return std::nullopt;
    }

private:
    QString path_;
};

class Merge {
public:
    Merge(const Bank& bank, MergeProgress& progress, int& result)
        : bank_(bank), progress_(progress), result_(result) {}

    // Copies `input` to `output` with the bank's window replaced by `rendering`'s
    // lines. False when a line cannot be read or written.
    bool run(QIODevice& input, QIODevice& rendering, QFileDevice& output) {
        LineWriter writer(output);
        LineReader reader(input, LineReader::DefaultCapacity, [&writer] { writer.flushRun(); });
        bool skipping = false;
        while (const auto piece = reader.next()) {
            if (piece->startsLine) {
                progress_.setPosition(++position_);
                const auto line = ReadSxLine(piece->bytes);
                if (!line)
                    return false;
                skipping =
                    (line->kind == SxKind::S1 || line->kind == SxKind::S2) && bank_.holds(line->address);
                if (skipping && !inserted_ && !insert(rendering, writer))
                    return false;
                if (line->kind == SxKind::S9)
                    result_ = inserted_ ? 1 : 0;
            }
            if (!skipping)
                writer.write(*piece);
            if (!writer.ok()) {
                writeFailure_ = writer.failure();
                return false;
            }
        }
        if (reader.failed())
            return false;
        const bool finished = writer.finish();
        writeFailure_ = writer.failure();
        return finished;
    }

    // Why writing the output failed, when it did: the system's reason.
    const std::optional<QString>& writeFailure() const { return writeFailure_; }

private:
    bool insert(QIODevice& rendering, LineWriter& writer) {
        LineReader reader(rendering, 64 * 1024, [&writer] { writer.flushRun(); });
        while (const auto piece = reader.next()) {
            if (piece->startsLine)
                progress_.setPosition(++position_);
            writer.write(*piece);
        }
        writer.flushRun(); // the run lies in this reader's buffer
        inserted_ = true;
        return !reader.failed();
    }

    const Bank& bank_;
    MergeProgress& progress_;
    int& result_;
    int position_ = 0;
    bool inserted_ = false;
    std::optional<QString> writeFailure_;
};

} // namespace

MergeOutcome MergeBankSx(int bankIndex, const QString& inputFirmware, const QString& outputName,
                         const MergeSettings& settings, Messages& messages, MergeProgress& progress) {
    MergeOutcome outcome;
    progress.setPosition(0);
    const std::optional<Bank> bank = bankAt(bankIndex);
    if (!bank) {
        outcome.error = NoSuchBankMessage.arg(bankIndex);
        return outcome;
    }
    if (const auto refused = refusal(*bank, inputFirmware, settings)) {
        messages.plain(*refused);
        return outcome;
    }

    const Rendering rendered = renderBank(*bank, settings.BinDirectory + bank->fileName);
    if (rendered.refusal) {
        messages.plain(*rendered.refusal);
        return outcome;
    }
    if (rendered.error) {
        outcome.error = rendered.error;
        return outcome;
    }
    const RenderingFile renderingFile(settings.BinDirectory + BankRenderingName);
    if (const auto failure = renderingFile.write(rendered.text)) {
        outcome.error = failure;
        return outcome;
    }

    QFile rendering(renderingFile.path());
    if (!rendering.open(QIODevice::ReadOnly)) {
        outcome.error = cannotOpenFile(renderingFile.path(), rendering.errorString());
        return outcome;
    }
    QFile input(inputFirmware);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        outcome.error = cannotOpenFile(inputFirmware, input.errorString());
        return outcome;
    }
    // The new firmware goes to a temporary file beside the output, which replaces the
    // output only when complete: a firmware cut short must never be flashed.
    const QString outputPath = settings.OutputDirectory + outputName;
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        outcome.error = cannotCreateFileMessage(outputPath, output.errorString());
        return outcome;
    }

    // The lines are counted first only for a progress display: that is a whole extra
    // pass over the input.
    qint64 total = RenderedLines;
    bool complete = false;
    Merge merge(*bank, progress, outcome.result);
    const std::optional<qint64> inputLines = progress.shown() ? countLines(input) : std::optional<qint64>(0);
    if (inputLines && input.seek(0)) {
        total += *inputLines;
        progress.setMaximum(static_cast<int>(std::min<qint64>(total, INT_MAX)));
        complete = merge.run(input, rendering, output);
    }
    progress.setPosition(static_cast<int>(std::min<qint64>(total, INT_MAX)));
    if (!complete) {
        output.cancelWriting();
        messages.plain(merge.writeFailure() ? NewSxNotCreatedBecauseMessage.arg(
                                                  cannotCreateFileMessage(outputPath, *merge.writeFailure()))
                                            : NewSxNotCreatedMessage);
        return outcome;
    }
    // Windows replaces no file that is still open: the output may be the input itself.
    input.close();
    rendering.close();
    if (!commitReleasingOldInBackground(output)) {
        outcome.error = cannotCreateFileMessage(outputPath, output.errorString());
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

} // namespace tessaly
