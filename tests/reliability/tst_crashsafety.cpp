// tessaly-cli killed with SIGKILL at random moments of the commands that write project
// files: afterwards each file is its old version or its new one, never a mix, and a
// later run works. Adding a command is one more data row.
#include "tests/image/SRecordText.h"
#include "tests/reliability/ChildProcess.h"
#include "tests/reliability/FileSnapshot.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <limits>

using namespace tessaly::test;

namespace {

// Kills that must land while the command runs; a busy machine makes some commands end
// before their kill, so the runs go on until that many did land, within a bound.
constexpr int KillsMidway = 80;
constexpr int MaxRuns = 600;

// A file the command writes: its old content, and a check that a content is a
// complete new version (build stamps the time, so its files are not compared to
// fixed bytes).
struct WrittenFile {
    QString relative;
    QByteArray old;
    std::function<bool(const QByteArray&)> isNew;
};

struct Command {
    QStringList arguments; // after --program-dir
    QList<WrittenFile> files;
};

QByteArray bankImage() {
    QByteArray bank(16384, '\0');
    for (int i = 0; i < bank.size(); ++i)
        bank[i] = char(i % 253);
    return bank;
}

// A check for `expected` with at most `differing` bytes changed in place.
std::function<bool(const QByteArray&)> nearly(const QByteArray& expected, int differing) {
    return [expected, differing](const QByteArray& bytes) {
        if (bytes.size() != expected.size())
            return false;
        int count = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i)
            count += bytes[i] != expected[i];
        return count <= differing;
    };
}

// The commands and their files, given one complete run's results in `reference`.
Command commandFor(const QString& name, const QString& reference) {
    const auto equalTo = [](const QByteArray& expected) {
        return [expected](const QByteArray& bytes) { return bytes == expected; };
    };
    if (name == "set")
        return {{"set", "--project", "P", "port=2000", "ip=10.9.8.7"},
                {{"PROJECTS/P/pargen.xml", {}, equalTo(readAll(reference + "/PROJECTS/P/pargen.xml"))}}};
    if (name == "build") // the image holds the build time: up to four bytes, eight hex digits differ
        return {{"build", "--project", "P"},
                {{"PROJECTS/P/bin/bank1.bin", QByteArray(16384, '\xAA'),
                  nearly(readAll(reference + "/PROJECTS/P/bin/bank1.bin"), 4)},
                 {"PROJECTS/P/bin/bankg.c", "old bankg.c\r\n",
                  nearly(readAll(reference + "/PROJECTS/P/bin/bankg.c"), 8)}}};
    return {{"compose", "--project", "P"},
            {{"PROJECTS/P/New_sx48316.sx", "S0030000FC\r\n",
              equalTo(readAll(reference + "/PROJECTS/P/New_sx48316.sx"))}}};
}

// The project P, its bank built from its pargen.xml (compose warns of any other), or
// copied from `bankOf` so that two projects compose the same firmware.
void makeProject(const QString& programDir, const QString& bankOf = {}) {
    QCOMPARE(runCli({"--program-dir", programDir, "new", "P"}).exitCode, 0);
    writeAll(programDir + "/MASTER/sx48316.sx", firmwareWithBank(bankImage()) + "S9030000FC\r\n");
    if (bankOf.isEmpty())
        QCOMPARE(runCli({"--program-dir", programDir, "build", "--project", "P"}).exitCode, 0);
    else
        writeAll(programDir + "/PROJECTS/P/bin/bank1.bin", readAll(bankOf + "/PROJECTS/P/bin/bank1.bin"));
}

bool cliHasCommand(const QString& name) {
    return runCli({"--help"}).out.contains("\n  " + name + " ");
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandom_data();
    void killedAtRandom();
};

void TestCrashSafety::killedAtRandom_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("set") << "set";
    QTest::newRow("build") << "build";
    QTest::newRow("compose") << "compose";
}

void TestCrashSafety::killedAtRandom() {
    QFETCH(QString, command);
    if (!cliHasCommand(command))
        QSKIP(qPrintable("tessaly-cli has no command " + command + " yet"));

    // Complete runs give the new versions and the command's duration, measured as the
    // kills below see it (from fork to exit): the shortest of three, so that one run
    // slowed by a busy machine does not put most kills after the command's end.
    ProgramDir reference;
    makeProject(reference.path());
    qint64 durationUs = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        Command probe = commandFor(command, reference.path());
        QElapsedTimer timer;
        timer.start();
        const ChildResult complete =
            Child::cli(QStringList{"--program-dir", reference.path()} + probe.arguments).wait(HangLimitMs);
        durationUs = std::min(durationUs, timer.nsecsElapsed() / 1000);
        QCOMPARE(complete.err, QString());
        QCOMPARE(complete.exitCode, 0);
    }
    const Command c = commandFor(command, reference.path());

    ProgramDir dir;
    makeProject(dir.path(), reference.path());
    for (const WrittenFile& f : c.files) {
        if (f.old.isEmpty()) // the old version is what the project holds now
            QVERIFY(QFile::exists(dir.file(f.relative)));
    }
    QList<QByteArray> olds;
    for (const WrittenFile& f : c.files)
        olds << (f.old.isEmpty() ? readAll(dir.file(f.relative)) : f.old);

    QRandomGenerator random(20240315);
    int killedMidway = 0;
    int run = 0;
    for (; killedMidway < KillsMidway && run < MaxRuns; ++run) {
        for (int i = 0; i < c.files.size(); ++i)
            writeAll(dir.file(c.files[i].relative), olds[i]);
        Child child = Child::cli(QStringList{"--program-dir", dir.path()} + c.arguments);
        QThread::usleep(random.bounded(quint32(durationUs + 1)));
        child.kill(SIGKILL);
        const ChildResult ended = child.wait(HangLimitMs);
        QVERIFY(ended.finished);
        if (ended.signal == SIGKILL)
            ++killedMidway;

        for (int i = 0; i < c.files.size(); ++i) {
            const QByteArray now = readAll(dir.file(c.files[i].relative));
            QVERIFY2(now == olds[i] || c.files[i].isNew(now),
                     qPrintable(QString("run %1: %2 is neither the old nor the new version (%3 bytes)")
                                    .arg(run)
                                    .arg(c.files[i].relative)
                                    .arg(now.size())));
        }
        // A writer's temporary file gets its name only once it is complete, just before
        // it takes the file's place: a kill in between leaves a finished new version
        // under that name, never a part of one. The merge's bank rendering may stay too
        // and is replaced by the next merge.
        for (int i = 0; i < c.files.size(); ++i) {
            const QFileInfo written(dir.file(c.files[i].relative));
            for (const QFileInfo& temporary :
                 written.dir().entryInfoList({written.fileName() + ".??????"}, QDir::Files | QDir::Hidden)) {
                QVERIFY2(c.files[i].isNew(readAll(temporary.filePath())), qPrintable(temporary.fileName()));
                QVERIFY(QFile::remove(temporary.filePath()));
            }
        }
        QStringList leftovers = temporaryFiles(dir.path());
        leftovers.removeAll(QStringLiteral("Bin.sx"));
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(", ")));
        // A later run works, and leaves the new versions.
        if (run % 10 == 9) {
            const CliRun later = runCli(QStringList{"--program-dir", dir.path()} + c.arguments);
            QCOMPARE(later.err, QString());
            QCOMPARE(later.exitCode, 0);
            for (const WrittenFile& f : c.files)
                QVERIFY2(f.isNew(readAll(dir.file(f.relative))), qPrintable(f.relative));
        }
    }
    // Enough kills must land while the command runs, or the test proves little.
    QVERIFY2(killedMidway == KillsMidway,
             qPrintable(QString("killed midway %1 times in %2 runs").arg(killedMidway).arg(run)));
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
