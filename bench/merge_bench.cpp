// Times MergeBankSx, the read-back of bank 1 from the new firmware (readBank1Window)
// and inspect's read of the input (inspectImageFile) on generated reference firmwares
// of 1, 10 and 100 MB, each from the page cache: S2 records
// of 32 bytes, ending in CR LF, with the 512 records of bank 1's window in the middle.
// The 24-bit address space holds about 40 MB of such records, so larger files sweep
// it more than once; a byte's value depends only on its address, so every repeat is
// the same data (what srec_cat, in bench/compare, accepts as redundant).
//
//   merge_bench [--dir DIR] [--sizes 1,10,100] [--runs N]
//
// DIR keeps the generated files (DIR/firmware_<size>MB.sx, DIR/bin/bank1.bin) and the
// outputs (DIR/New_<size>MB.sx); a firmware already there is used again. Without it a
// temporary directory is used and removed.

#include "firmware/BankMerge.h"
#include "firmware/BankWindow.h"
#include "firmware/InspectFile.h"
#include "firmware/ProgressBarMergeProgress.h"
#include "firmware/srecord/SRecord.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>
#include <algorithm>
#include <ctime>
#include <optional>
#include <sys/resource.h>
#include <vector>

using namespace tessaly;

namespace {

constexpr std::uint32_t WindowStart = 0x388000;
constexpr std::uint32_t WindowSize = 0x4000;
constexpr std::uint32_t AddressSpace = 0x1000000;
constexpr qint64 LineBytes = SxRecordLength + 2;

class SilentMessages final : public Messages {
public:
    void plain(const QString& text) override { shown << text; }
    void error(const QString& text) override { shown << text; }
    QStringList shown;
};

unsigned char byteAt(std::uint32_t address) {
    return static_cast<unsigned char>(address * 31 + (address >> 8) * 7 + (address >> 16));
}

// Addresses before and after the window run on from it, skipping it on every later sweep.
std::uint32_t outsideWindow(std::int64_t address) {
    auto wrapped = static_cast<std::uint32_t>(((address % AddressSpace) + AddressSpace) % AddressSpace);
    if (wrapped >= WindowStart && wrapped < WindowStart + WindowSize)
        wrapped += WindowSize;
    return wrapped;
}

bool generateFirmware(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 windowLines = WindowSize / SxDataBytes;
    const qint64 dataLines = std::max<qint64>(bytes / LineBytes - 2, windowLines);
    const qint64 before = (dataLines - windowLines) / 2;
    QByteArray chunk;
    chunk.reserve(1 << 20);
    auto put = [&](const QByteArray& line) {
        chunk += line;
        chunk += "\r\n";
        if (chunk.size() >= (1 << 20) - 128) {
            file.write(chunk);
            chunk.truncate(0);
        }
    };
    put("S00F000068656C6C6F202020202000003C");
    unsigned char data[SxDataBytes];
    for (qint64 line = 0; line < dataLines; ++line) {
        std::uint32_t address;
        if (line < before)
            address = outsideWindow(std::int64_t(WindowStart) - (before - line) * SxDataBytes);
        else if (line < before + windowLines)
            address = WindowStart + std::uint32_t(line - before) * SxDataBytes;
        else
            address = outsideWindow(std::int64_t(WindowStart + WindowSize) +
                                    (line - before - windowLines) * SxDataBytes);
        for (int i = 0; i < SxDataBytes; ++i)
            data[i] = byteAt(address + std::uint32_t(i));
        put(FormS224Record(address, data));
    }
    put("S9030000FC");
    file.write(chunk);
    return file.flush() && file.error() == QFileDevice::NoError;
}

bool generateBank(const QString& path) {
    QByteArray bytes(WindowSize, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 13 + 5);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A bar moved on every line, to show what the dialog's throttled bar saves.
class EveryLineProgress final : public MergeProgress {
public:
    explicit EveryLineProgress(QProgressBar& bar) : bar_(bar) {}
    void setMaximum(int maximum) override { bar_.setMaximum(maximum); }
    void setPosition(int position) override { bar_.setValue(position); }

private:
    QProgressBar& bar_;
};

// The best of `runs` timings of `work`, after one run that warms the page cache; false
// from `work` stops the timing.
template <typename Work> std::optional<double> bestSeconds(int runs, Work work) {
    double best = -1;
    for (int run = 0; run <= runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!work())
            return std::nullopt;
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        if (run > 0 && (best < 0 || elapsed < best))
            best = elapsed;
    }
    return best;
}

// Processor time of this process so far: on a shared machine steadier than wall time,
// and without the wait for the disk.
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

} // namespace

int main(int argc, char** argv) {
    // The progress bar variants need a GUI; no window is ever put on a screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString keepDir;
    QList<int> sizes{1, 10, 100};
    int runs = 3;
    QString progressKind = QStringLiteral("none"); // none, bar (the dialog's), every (each line shown)
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--dir" && hasValue) {
            keepDir = args[++i];
        } else if (arg == "--sizes" && hasValue) {
            sizes.clear();
            for (const QString& size : args[++i].split(','))
                sizes << size.toInt();
        } else if (arg == "--progress" && hasValue) {
            progressKind = args[++i];
        } else if (arg == "--runs" && hasValue) {
            runs = std::max(1, args[++i].toInt());
        } else {
            err << "usage: merge_bench [--dir DIR] [--sizes 1,10,100] [--runs N] [--progress "
                   "none|bar|every]\n";
            return 2;
        }
    }

    QProgressBar bar;
    bar.show();

    QTemporaryDir temporary;
    const QString dir = keepDir.isEmpty() ? temporary.path() : QDir(keepDir).absolutePath();
    if (!QDir().mkpath(dir + "/bin") || !generateBank(dir + "/bin/bank1.bin")) {
        err << "cannot prepare " << dir << "\n";
        return 1;
    }
    const MergeSettings settings{dir + "/bin/", dir + "/", QString()};

    for (const int size : sizes) {
        const QString input = QStringLiteral("%1/firmware_%2MB.sx").arg(dir).arg(size);
        const QString outputName = QStringLiteral("New_%1MB.sx").arg(size);
        const qint64 wanted = qint64(size) * 1000 * 1000;
        const bool generated =
            QFileInfo(input).size() > wanted - LineBytes * 3 && QFileInfo(input).size() <= wanted;
        if (!generated && !generateFirmware(input, wanted)) {
            err << "cannot write " << input << "\n";
            return 1;
        }
        const qint64 inputBytes = QFileInfo(input).size();
        MergeSettings runSettings = settings;
        runSettings.OutputName = outputName;

        std::vector<double> seconds;
        double bestProcessor = -1;
        int result = -2;
        for (int run = 0; run <= runs; ++run) { // run 0 warms the page cache
            SilentMessages messages;
            NoMergeProgress none;
            ProgressBarMergeProgress throttled(bar);
            EveryLineProgress every(bar);
            MergeProgress& progress =
                progressKind == QLatin1String("bar")     ? static_cast<MergeProgress&>(throttled)
                : progressKind == QLatin1String("every") ? static_cast<MergeProgress&>(every)
                                                         : static_cast<MergeProgress&>(none);
            QElapsedTimer timer;
            timer.start();
            const double processorStart = processorSeconds();
            const MergeOutcome outcome = MergeBankSx(0, input, outputName, runSettings, messages, progress);
            const double elapsed = double(timer.nsecsElapsed()) / 1e9;
            const double processor = processorSeconds() - processorStart;
            // The replaced output is freed on the pool; not in the next run's time.
            QThreadPool::globalInstance()->waitForDone();
            if (run > 0 && (bestProcessor < 0 || processor < bestProcessor))
                bestProcessor = processor;
            if (!outcome.written || !messages.shown.isEmpty() || outcome.error) {
                err << "merge failed: " << messages.shown.join("; ") << outcome.error.value_or(QString())
                    << "\n";
                return 1;
            }
            result = outcome.result;
            if (run > 0)
                seconds.push_back(elapsed);
        }
        const QString output = dir + "/" + outputName;
        const qint64 outputBytes = QFileInfo(output).size();
        const auto readBack = bestSeconds(runs, [&output] {
            QFile file(output);
            return file.open(QIODevice::ReadOnly) && readBank1Window(file, output).ok();
        });
        const auto inspected = bestSeconds(runs, [&input] {
            QFile file(input);
            return file.open(QIODevice::ReadOnly) && inspectImageFile(file, input).ok();
        });
        if (!readBack || !inspected) {
            err << "read-back or inspect failed on " << output << "\n";
            return 1;
        }
        std::sort(seconds.begin(), seconds.end());
        const double best = seconds.front();
        const double median = seconds[seconds.size() / 2];
        out << QStringLiteral(
                   "merge %1MB bytes=%2 seconds=%3 median=%4 MB/s=%5 result=%6 peak_rss_MB=%7 progress=%8 "
                   "readback_s=%9 readback_MB/s=%10 inspect_s=%11 inspect_MB/s=%12 merge_cpu_s=%13 "
                   "merge_cpu_MB/s=%14\n")
                   .arg(size)
                   .arg(inputBytes)
                   .arg(best, 0, 'f', 4)
                   .arg(median, 0, 'f', 4)
                   .arg(double(inputBytes) / 1e6 / best, 0, 'f', 1)
                   .arg(result)
                   .arg(peakRssMegabytes(), 0, 'f', 1)
                   .arg(progressKind)
                   .arg(*readBack, 0, 'f', 4)
                   .arg(double(outputBytes) / 1e6 / *readBack, 0, 'f', 1)
                   .arg(*inspected, 0, 'f', 4)
                   .arg(double(inputBytes) / 1e6 / *inspected, 0, 'f', 1)
                   .arg(bestProcessor, 0, 'f', 4)
                   .arg(double(inputBytes) / 1e6 / bestProcessor, 0, 'f', 1);
        out.flush();
    }
    return 0;
}
