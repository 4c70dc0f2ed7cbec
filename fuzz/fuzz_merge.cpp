// The whole bank merge over an arbitrary reference firmware, against a model of the
// rule: when the merge completes, the output holds every input line outside the
// bank's window unchanged (ending in CR LF) and the 512 records once, where the first
// window line stood; when it stops, no output file and no temporary file is left.
#include "firmware/BankMerge.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/LineSplit.h"

#include <QDir>
#include <cctype>

namespace {

using tessaly::fuzz::scratch;

constexpr std::uint32_t WindowStart = 0x388000;
constexpr std::uint32_t WindowEnd = 0x38BFFF;

class Messages final : public tessaly::Messages {
public:
    void plain(const QString& text) override { shown << text; }
    void error(const QString& text) override { shown << text; }
    QStringList shown;
};

class Progress final : public tessaly::MergeProgress {
public:
    void setMaximum(int value) override { maximum = value; }
    void setPosition(int value) override {
        FUZZ_CHECK(value <= maximum || maximum == 0);
        position = value;
    }
    int maximum = 0;
    int position = 0;
};

QByteArray bankBytes() {
    QByteArray bank(16384, '\0');
    for (int i = 0; i < bank.size(); ++i)
        bank[i] = static_cast<char>(i * 7 + i / 256);
    return bank;
}

// The 512 records for bankBytes(), built here from the record layout.
QByteArray expectedRendering() {
    const QByteArray bank = bankBytes();
    QByteArray text;
    for (int line = 0; line < 512; ++line) {
        const std::uint32_t address = WindowStart + std::uint32_t(line) * 32;
        QByteArray record;
        record.append(char(0x24));
        record.append(char(address >> 16));
        record.append(char(address >> 8));
        record.append(char(address));
        record.append(bank.mid(line * 32, 32));
        unsigned sum = 0;
        for (char c : record)
            sum += static_cast<unsigned char>(c);
        record.append(char(~sum & 0xFF));
        text += "S2" + record.toHex().toUpper() + "\r\n";
    }
    return text;
}

struct Expected {
    bool completes = true;
    int result = -1;
    QByteArray output;
    qsizetype lines = 0;
};

bool isHex(QByteArrayView digits) {
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

Expected model(const QByteArray& input, const QByteArray& rendering) {
    Expected expected;
    const QList<QByteArray> lines = tessaly::fuzz::referenceLines(input);
    expected.lines = lines.size();
    bool inserted = false;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) {
            expected.completes = false;
            return expected;
        }
        const bool s1 = line.startsWith("S1");
        const bool s2 = line.startsWith("S2");
        if (s1 || s2) {
            const qsizetype digits = s1 ? 4 : 6;
            if (line.size() < 4 + digits || !isHex(QByteArrayView(line).sliced(4, digits))) {
                expected.completes = false;
                return expected;
            }
            const std::uint32_t address = line.mid(4, digits).toUInt(nullptr, 16);
            if (address >= WindowStart && address <= WindowEnd) {
                if (!inserted)
                    expected.output += rendering;
                inserted = true;
                continue;
            }
        }
        if (line.startsWith("S9"))
            expected.result = inserted ? 1 : 0;
        expected.output += line + "\r\n";
    }
    return expected;
}

struct Fixture {
    QString bin = scratch().filePath(QStringLiteral("bin")) + QLatin1Char('/');
    QString out = scratch().filePath(QStringLiteral("out")) + QLatin1Char('/');
    QByteArray rendering = expectedRendering();
    Fixture() {
        QDir().mkpath(bin);
        QDir().mkpath(out);
        QFile bank(bin + QStringLiteral("bank1.bin"));
        if (!bank.open(QIODevice::WriteOnly) || bank.write(bankBytes()) != 16384)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fixture fixture;
    const QByteArray input = tessaly::fuzz::bytesOf(data, size);
    const QString inputPath = tessaly::fuzz::writeScratchFile(QStringLiteral("sx48316.sx"), input);
    const QString outputName = QStringLiteral("New_sx48316.sx");
    QFile::remove(fixture.out + outputName);

    Messages messages;
    Progress progress;
    const tessaly::MergeSettings settings{fixture.bin, fixture.out, outputName};
    const tessaly::MergeOutcome outcome =
        tessaly::MergeBankSx(0, inputPath, outputName, settings, messages, progress);
    const Expected expected = model(input, fixture.rendering);

    FUZZ_CHECK(!outcome.error);
    FUZZ_CHECK(outcome.written == expected.completes);
    FUZZ_CHECK(outcome.result == expected.result);
    FUZZ_CHECK(progress.maximum == 512 + expected.lines);
    FUZZ_CHECK(progress.position == progress.maximum);
    if (expected.completes) {
        FUZZ_CHECK(messages.shown.isEmpty());
        FUZZ_CHECK(tessaly::fuzz::readFile(fixture.out + outputName) == expected.output);
        FUZZ_CHECK(QDir(fixture.out).entryList(QDir::Files) == QStringList{outputName});
    } else {
        FUZZ_CHECK(messages.shown == QStringList{tessaly::NewSxNotCreatedMessage});
        FUZZ_CHECK(QDir(fixture.out).entryList(QDir::Files).isEmpty());
    }
    FUZZ_CHECK(QDir(fixture.bin).entryList(QDir::Files) == QStringList{QStringLiteral("bank1.bin")});
    return 0;
}
