#include "firmware/BankMerge.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaly;
using test::readAll;
using test::RecordingMessages;
using test::writeAll;

namespace {

const QByteArray Terminator = "S9030000FC";
const QByteArray Header = "S00F000068656C6C6F202020202000003C";

// An S2 record written out independently of the code under test.
QByteArray s2(quint32 address, const QByteArray& data) {
    QByteArray bytes;
    bytes += char(data.size() + 4);
    bytes += char(address >> 16);
    bytes += char(address >> 8);
    bytes += char(address);
    bytes += data;
    unsigned sum = 0;
    for (const char b : bytes)
        sum += static_cast<unsigned char>(b);
    return "S2" + bytes.toHex().toUpper() + QByteArray(1, char(~sum & 0xFF)).toHex().toUpper();
}

QByteArray s2(quint32 address) {
    return s2(address, QByteArray(32, char(0xFF)));
}

QByteArray bankBytes() {
    QByteArray bytes(16384, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 256);
    return bytes;
}

// The 512 records of bankBytes() for the window starting at `start`.
QByteArrayList rendering(quint32 start) {
    const QByteArray bytes = bankBytes();
    QByteArrayList lines;
    for (int j = 0; j < 512; ++j)
        lines << s2(start + 32 * j, bytes.mid(32 * j, 32));
    return lines;
}

QByteArray crlf(const QByteArrayList& lines) {
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

// Stands for the bank's records in an expected output.
const QByteArray Bank = "<bank>";

QByteArray expand(const QByteArrayList& lines, quint32 windowStart) {
    QByteArrayList expanded;
    for (const QByteArray& line : lines)
        expanded += line == Bank ? rendering(windowStart) : QByteArrayList{line};
    return crlf(expanded);
}

class RecordingProgress final : public MergeProgress {
public:
    void setMaximum(int value) override { maximum = value; }
    void setPosition(int value) override {
        if (value != 0 && value != position && value != position + 1)
            jumps << value;
        position = value;
        highest = std::max(highest, value);
    }
    int maximum = -1;
    int position = -1;
    int highest = 0;
    QList<int> jumps; // positions not one step after the previous one
};

// A program, project and bin directory for one merge.
struct Bench {
    Bench() {
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath("project/bin"));
        settings = {dir.filePath("project/bin/"), dir.filePath("project/"), "New_sx48316.sx"};
        writeAll(settings.BinDirectory + "bank1.bin", bankBytes());
    }
    QString input() const { return dir.filePath("sx48316.sx"); }
    QString output() const { return settings.OutputDirectory + settings.OutputName; }
    QString renderingFile() const { return settings.BinDirectory + "Bin.sx"; }
    MergeOutcome merge(int bank = 0) {
        return MergeBankSx(bank, input(), settings.OutputName, settings, messages, progress);
    }
    QStringList outputDirectory() const {
        return QDir(settings.OutputDirectory).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir dir;
    MergeSettings settings;
    RecordingMessages messages;
    RecordingProgress progress;
};

} // namespace

class TestBankMerge : public QObject {
    Q_OBJECT
private slots:
    void merges_data();
    void merges();
    void otherBanks_data();
    void otherBanks();
    void lineLongerThanBuffer();
    void largeMixedInput();
    void refusals_data();
    void refusals();
    void unreadableLine_data();
    void unreadableLine();
    void fileErrors_data();
    void fileErrors();
    void existingOutputReplaced();
    void outputOverInput();
    void srecCatAcceptsOutput();
};

void TestBankMerge::merges_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<int>("result");

    const QByteArray before = s2(0x387FE0), edgeBefore = s2(0x387FFF), after = s2(0x38C000);
    const QByteArray w1 = s2(0x388000), w2 = s2(0x388020), wLast = s2(0x38BFFF),
                     wLower = "S2" + s2(0x38A000).mid(2).toLower();
    QTest::newRow("window together") << crlf({Header, before, edgeBefore, w1, w2, wLast, after, Terminator})
                                     << QByteArrayList{Header, before, edgeBefore, Bank, after, Terminator}
                                     << 1;
    QTest::newRow("window in two runs") << crlf({Header, w1, w2, before, after, wLower, wLast, Terminator})
                                        << QByteArrayList{Header, Bank, before, after, Terminator} << 1;
    QTest::newRow("no window, LF input")
        << QByteArray(Header + "\n" + before + "\n" + after + "\r\n" + Terminator + "\n")
        << QByteArrayList{Header, before, after, Terminator} << 0;
    QTest::newRow("no window, last line unended")
        << QByteArray(before + "\n" + Terminator) << QByteArrayList{before, Terminator} << 0;
    QTest::newRow("no S9") << crlf({Header, before, w1, after}) << QByteArrayList{Header, before, Bank, after}
                           << -1;
    QTest::newRow("S9 before the window")
        << crlf({before, Terminator, w1, after}) << QByteArrayList{before, Terminator, Bank, after} << 0;
    QTest::newRow("S9 on both sides")
        << crlf({Terminator, w1, "S9 again"}) << QByteArrayList{Terminator, Bank, "S9 again"} << 1;
    QTest::newRow("empty input") << QByteArray() << QByteArrayList{} << -1;
    QTest::newRow("opaque lines kept")
        << crlf({"S30500388000FF", "s2" + w1.mid(2), "S1130000" + QByteArray(34, '0'), "x", w1, Terminator})
        << QByteArrayList{"S30500388000FF", "s2" + w1.mid(2), "S1130000" + QByteArray(34, '0'), "x", Bank,
                          Terminator}
        << 1;
}

void TestBankMerge::merges() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, expected);
    QFETCH(int, result);
    Bench bench;
    writeAll(bench.input(), input);

    const MergeOutcome outcome = bench.merge();
    QCOMPARE(outcome.result, result);
    QVERIFY(outcome.written);
    QCOMPARE(outcome.error, std::nullopt);
    QCOMPARE(bench.messages.shown, QStringList());
    QCOMPARE(readAll(bench.output()), expand(expected, 0x388000));
    QVERIFY(!QFileInfo::exists(bench.renderingFile()));
    QCOMPARE(bench.outputDirectory(), QStringList{"New_sx48316.sx"});

    const int inputLines = int(input.count('\n') + (input.isEmpty() || input.endsWith('\n') ? 0 : 1));
    QCOMPARE(bench.progress.maximum, 512 + inputLines);
    QCOMPARE(bench.progress.position, 512 + inputLines);
    QCOMPARE(bench.progress.highest, 512 + inputLines);
    // One step per line; only a firmware without the window leaves the rendering's
    // 512 steps to the final jump.
    QCOMPARE(bench.progress.jumps, expected.contains(Bank) ? QList<int>() : QList<int>{512 + inputLines});
}

void TestBankMerge::otherBanks_data() {
    QTest::addColumn<int>("bank");
    QTest::addColumn<uint>("start");
    QTest::newRow("bank 2") << 1 << 0x398000u;
    QTest::newRow("bank 5") << 4 << 0x3C8000u;
}

void TestBankMerge::otherBanks() {
    QFETCH(int, bank);
    QFETCH(uint, start);
    Bench bench;
    const QString fileName = QStringLiteral("bank%1.bin").arg(bank + 1);
    writeAll(bench.settings.BinDirectory + fileName, bankBytes());
    writeAll(bench.input(), crlf({s2(0x388000), s2(start - 32), s2(start), s2(start + 0x3FE0),
                                  s2(start + 0x4000), Terminator}));
    const MergeOutcome outcome = bench.merge(bank);
    QCOMPARE(outcome.result, 1);
    QCOMPARE(readAll(bench.output()),
             expand({s2(0x388000), s2(start - 32), Bank, s2(start + 0x4000), Terminator}, start));
    QVERIFY(QFileInfo::exists(bench.settings.BinDirectory + fileName));
}

void TestBankMerge::lineLongerThanBuffer() {
    Bench bench;
    const QByteArray comment = "S0" + QByteArray(3 * 1024 * 1024 + 5, 'A');
    writeAll(bench.input(), crlf({comment, s2(0x388000), Terminator}));
    QCOMPARE(bench.merge().result, 1);
    QCOMPARE(readAll(bench.output()), expand({comment, Bank, Terminator}, 0x388000));
}

// Several buffers' worth of lines, some ending in LF only, with the window in two
// runs: what is copied straight from the read buffer and what is completed with CR LF
// must come out in order across every refill.
void TestBankMerge::largeMixedInput() {
    Bench bench;
    QByteArray input;
    QByteArrayList expected{Header};
    input += Header + "\r\n";
    for (int i = 0; i < 30000; ++i) {
        const bool inWindow = (i >= 15000 && i < 15300) || (i >= 20000 && i < 20100);
        const quint32 address = inWindow ? 0x388000 + 32 * quint32(i % 512) : 0x100000 + 32 * quint32(i);
        const QByteArray line = s2(address, QByteArray(32, char(i)));
        input += line + (i % 7 == 3 ? "\n" : "\r\n");
        if (i == 15000)
            expected << Bank;
        if (!inWindow)
            expected << line;
    }
    input += Terminator;
    expected << Terminator;
    writeAll(bench.input(), input);
    QCOMPARE(bench.merge().result, 1);
    QVERIFY(readAll(bench.output()) == expand(expected, 0x388000));
    QCOMPARE(bench.progress.position, 512 + 30002);
}

void TestBankMerge::refusals_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("no input firmware") << "input"
                                       << "File *.Sx Not Found,Abort Procedure";
    QTest::newRow("input and bank missing") << "input bank"
                                            << "File *.Sx Not Found,Abort Procedure";
    QTest::newRow("input is a directory") << "input-dir"
                                          << "File *.Sx Not Found,Abort Procedure";
    QTest::newRow("no output name") << "name bank"
                                    << "File New *.Sx Not Found,Abort Procedure";
    QTest::newRow("no bin directory") << "bindir"
                                      << "Directory Bin Not Found,Abort Procedure";
    QTest::newRow("empty bin directory name") << "bindir-empty"
                                              << "Directory Bin Not Found,Abort Procedure";
    QTest::newRow("no bank1.bin") << "bank"
                                  << "File bank1.bin Not Found,Abort Procedure";
    QTest::newRow("short bank1.bin") << "short"
                                     << "File bank1.bin Too Short (16383 bytes),Abort Procedure";
    QTest::newRow("empty bank1.bin") << "empty"
                                     << "File bank1.bin Too Short (0 bytes),Abort Procedure";
}

void TestBankMerge::refusals() {
    QFETCH(QString, change);
    QFETCH(QString, message);
    Bench bench;
    writeAll(bench.input(), crlf({s2(0x388000), Terminator}));
    const QString stale = bench.renderingFile();
    writeAll(stale, "stale rendering");
    const QStringList changes = change.split(' ');
    if (changes.contains("input"))
        QVERIFY(QFile::remove(bench.input()));
    if (changes.contains("input-dir")) {
        QVERIFY(QFile::remove(bench.input()));
        QVERIFY(QDir().mkdir(bench.input()));
    }
    if (changes.contains("name"))
        bench.settings.OutputName.clear();
    if (changes.contains("bindir"))
        bench.settings.BinDirectory = bench.dir.filePath("missing/");
    if (changes.contains("bindir-empty"))
        bench.settings.BinDirectory.clear();
    if (changes.contains("bank"))
        QVERIFY(QFile::remove(bench.settings.BinDirectory + "bank1.bin"));
    if (changes.contains("short"))
        writeAll(bench.settings.BinDirectory + "bank1.bin", bankBytes().left(16383));
    if (changes.contains("empty"))
        writeAll(bench.settings.BinDirectory + "bank1.bin", {});

    const MergeOutcome outcome =
        MergeBankSx(0, bench.input(), "New_sx48316.sx", bench.settings, bench.messages, bench.progress);
    QCOMPARE(outcome.result, -1);
    QVERIFY(!outcome.written);
    QCOMPARE(outcome.error, std::nullopt);
    QCOMPARE(bench.messages.shown, QStringList{message});
    QCOMPARE(bench.messages.errors, QStringList());
    QCOMPARE(bench.outputDirectory(), QStringList());
    QCOMPARE(readAll(stale), QByteArray("stale rendering")); // nothing touched
    QCOMPARE(bench.progress.position, 0);
    QCOMPARE(bench.progress.maximum, -1);
}

void TestBankMerge::unreadableLine_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty line mid-file") << crlf({s2(0x387FE0), "", s2(0x388000), Terminator}) << -1 << 4;
    QTest::newRow("CR LF alone after S9") << crlf({s2(0x388000), Terminator, "", Terminator}) << 1 << 4;
    QTest::newRow("S2 address short") << QByteArray(Terminator + "\nS22438800\n") << 0 << 2;
    QTest::newRow("S1 address not hex") << crlf({"S113ZZ00", Terminator}) << -1 << 2;
}

void TestBankMerge::unreadableLine() {
    QFETCH(QByteArray, input);
    QFETCH(int, result);
    QFETCH(int, lines);
    Bench bench;
    writeAll(bench.input(), input);
    const QString old = bench.output();
    writeAll(old, "previous firmware\r\n");

    const MergeOutcome outcome = bench.merge();
    QCOMPARE(outcome.result, result);
    QVERIFY(!outcome.written);
    QCOMPARE(outcome.error, std::nullopt);
    QCOMPARE(bench.messages.shown, QStringList{"File New Sx Not Create,Abort Procedure"});
    QCOMPARE(bench.messages.errors, QStringList());
    QVERIFY(!QFileInfo::exists(bench.renderingFile()));
    // A firmware cut short never reaches the output name.
    QCOMPARE(readAll(old), QByteArray("previous firmware\r\n"));
    QCOMPARE(bench.outputDirectory(), QStringList{"New_sx48316.sx"});
    QCOMPARE(bench.progress.maximum, 512 + lines);
    QCOMPARE(bench.progress.position, 512 + lines);
}

void TestBankMerge::fileErrors_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("errorStart");
    QTest::newRow("output directory missing") << "outdir"
                                              << "Cannot create file \"";
    QTest::newRow("Bin.sx taken by a directory") << "binsx"
                                                 << "Cannot create file \"";
    QTest::newRow("output name taken by a directory") << "outname"
                                                      << "Cannot create file \"";
}

void TestBankMerge::fileErrors() {
    QFETCH(QString, change);
    QFETCH(QString, errorStart);
    Bench bench;
    writeAll(bench.input(), crlf({s2(0x388000), Terminator}));
    if (change == "outdir")
        bench.settings.OutputDirectory = bench.dir.filePath("gone/");
    if (change == "binsx")
        QVERIFY(QDir().mkdir(bench.renderingFile()));
    if (change == "outname")
        QVERIFY(QDir().mkdir(bench.output()));

    const MergeOutcome outcome = bench.merge();
    QCOMPARE(outcome.result, -1);
    QVERIFY(!outcome.written);
    QVERIFY(outcome.error.has_value());
    QVERIFY2(outcome.error->startsWith(errorStart), qPrintable(*outcome.error));
    QVERIFY2(outcome.error->size() > errorStart.size() + 10,
             qPrintable(*outcome.error)); // names file and reason
    QCOMPARE(bench.messages.shown, QStringList());
    if (change != "binsx")
        QVERIFY(!QFileInfo::exists(bench.renderingFile()));
    QCOMPARE(QDir(bench.settings.BinDirectory).entryList(QDir::Files | QDir::Hidden),
             QStringList{"bank1.bin"});
    QCOMPARE(bench.outputDirectory(), QStringList());
}

void TestBankMerge::existingOutputReplaced() {
    Bench bench;
    writeAll(bench.output(), QByteArray(200000, 'x'));
    writeAll(bench.input(), crlf({s2(0x388000), Terminator}));
    QCOMPARE(bench.merge().result, 1);
    QCOMPARE(readAll(bench.output()), expand({Bank, Terminator}, 0x388000));
    QCOMPARE(bench.outputDirectory(), QStringList{"New_sx48316.sx"});
}

void TestBankMerge::outputOverInput() {
    Bench bench;
    bench.settings.OutputDirectory = bench.dir.path() + "/";
    bench.settings.OutputName = "sx48316.sx";
    writeAll(bench.input(), crlf({s2(0x388000), Terminator}));
    QCOMPARE(bench.merge().result, 1);
    QCOMPARE(readAll(bench.input()), expand({Bank, Terminator}, 0x388000));
}

void TestBankMerge::srecCatAcceptsOutput() {
    const QString srecCat = QStandardPaths::findExecutable("srec_cat");
    if (srecCat.isEmpty())
        QSKIP("srec_cat not found: install the Debian package srecord to run this test");
    Bench bench;
    QByteArrayList lines{Header};
    for (quint32 address = 0x384000; address < 0x390000; address += 32)
        lines << s2(address, QByteArray(32, char(address >> 5)));
    lines << Terminator;
    writeAll(bench.input(), crlf(lines));
    QCOMPARE(bench.merge().result, 1);

    QProcess check;
    check.start(srecCat, {bench.output(), "-o", "/dev/null"});
    QVERIFY(check.waitForFinished());
    const QByteArray complaints = check.readAllStandardError();
    QVERIFY2(check.exitCode() == 0 && !complaints.contains("checksum"), complaints.constData());

    const QString window = bench.dir.filePath("window.bin");
    QProcess crop;
    crop.start(srecCat, {bench.output(), "-crop", "0x388000", "0x38C000", "-offset", "-0x388000", "-o",
                         window, "-binary"});
    QVERIFY(crop.waitForFinished());
    QVERIFY2(crop.exitCode() == 0, crop.readAllStandardError().constData());
    QCOMPARE(readAll(window), bankBytes());
}

QTEST_GUILESS_MAIN(TestBankMerge)
#include "tst_bankmerge.moc"
