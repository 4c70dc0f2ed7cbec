// Writes that fail: a read-only file system and a full one, for every file the
// system writes. The user sees the error, the previous file stays whole and no
// temporary file is left. Mounting needs root; elsewhere the cases are skipped, and
// a read-only directory stands in for the read-only file system.
#include "firmware/BankMerge.h"
#include "tests/image/SRecordText.h"
#include "tests/reliability/FileSnapshot.h"
#include "tests/support/TestSupport.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

using namespace tessaly::test;

namespace {

const QString Firmware = QStringLiteral("New_sx48316.sx");

// A small tmpfs of its own, unmounted at the end.
class ScratchMount {
public:
    explicit ScratchMount(qint64 bytes) {
        if (!dir_.isValid())
            return;
        const QByteArray options = "size=" + QByteArray::number(bytes);
        if (::mount("tessaly-test", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                    options.constData()) == 0)
            mounted_ = true;
        else
            reason_ = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~ScratchMount() {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return mounted_; }
    QString reason() const { return reason_; }
    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.filePath(relative); }
    bool makeReadOnly() {
        return ::mount("tessaly-test", QFile::encodeName(dir_.path()).constData(), "tmpfs",
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Takes all free space, then gives `leave` bytes back.
    void fill(qint64 leave) {
        QFile filler(dir_.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        QVERIFY(filler.resize(std::max<qint64>(0, filler.size() - leave)));
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString reason_;
};

// The write each case makes, and the text of the error it must show.
struct Outcome {
    QString error;
};

Outcome writeTarget(const QString& programDir, const QString& target) {
    const QString project = programDir + "/PROJECTS/P";
    if (target == "pargen") {
        const CliRun run = runCli({"--program-dir", programDir, "set", "--project", "P", "port=2502"});
        return {run.exitCode == 1 ? run.err : QString()};
    }
    if (target == "var") {
        writeAll(QDir::temp().filePath("tessaly-writefaults.csv"),
                 "Data Type,Address TCP,Address Device RTU,Address RTU,N\xC2\xB0 Point,Mnemonic\r\n"
                 "Holding Register,200,1,0,10,PUMP2\r\n");
        const CliRun run = runCli({"--program-dir", programDir, "table", "import", "--project", "P",
                                   QDir::temp().filePath("tessaly-writefaults.csv")});
        QFile::remove(QDir::temp().filePath("tessaly-writefaults.csv"));
        return {run.exitCode == 1 ? run.err : QString()};
    }
    if (target == "settings") {
        tessaly::Workspace workspace;
        workspace.InitWorkspace(programDir);
        return {workspace.SaveWorkspace().value_or(QString())};
    }
    if (target == "bank" || target == "source") {
        const CliRun run = runCli({"--program-dir", programDir, "build", "--project", "P"});
        return {run.exitCode == 1 ? run.err : QString()};
    }
    RecordingMessages messages;
    tessaly::NoMergeProgress progress;
    const tessaly::MergeSettings settings{project + "/bin/", project + "/", Firmware};
    const tessaly::MergeOutcome merged =
        tessaly::MergeBankSx(0, programDir + "/MASTER/sx48316.sx", Firmware, settings, messages, progress);
    if (merged.error)
        messages.shown << *merged.error;
    return {messages.shown.join('\n')};
}

// A project with every written file present in an older version.
void makeProject(const QString& programDir) {
    QCOMPARE(runCli({"--program-dir", programDir, "new", "P"}).exitCode, 0);
    QCOMPARE(runCli({"--program-dir", programDir, "build", "--project", "P"}).exitCode, 0);
    writeAll(programDir + "/Tessaly.ini", "[lastproj]\r\nprojectname=P\r\n");
    QByteArray bank(16384, '\0');
    writeAll(programDir + "/MASTER/sx48316.sx", firmwareWithBank(bank) + "S9030000FC\r\n");
    writeAll(programDir + "/PROJECTS/P/" + Firmware, "S0030000FC\r\n");
    // the next write of each file differs from this one
    QCOMPARE(runCli({"--program-dir", programDir, "set", "--project", "P", "ip=10.0.0.1"}).exitCode, 0);
}

} // namespace

class TestWriteFaults : public QObject {
    Q_OBJECT
private slots:
    void failingWrite_data();
    void failingWrite();
};

void TestWriteFaults::failingWrite_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expectedError");
    QTest::addColumn<qint64>("room"); // free bytes left on the full file system

    const auto row = [](const char* target, const char* fault, const char* error, qint64 room = 0) {
        QTest::addRow("%s, %s", target, fault) << target << fault << error << room;
    };
    for (const char* fault : {"read-only", "full"}) {
        row("pargen", fault, "Cannot create file \"%1/PROJECTS/P/pargen.xml\"");
        row("var", fault, "Cannot create file \"%1/PROJECTS/P/var.xml\"");
        row("settings", fault, "Unable to write to %1/Tessaly.ini");
        row("bank", fault, "Cannot create file \"%1/PROJECTS/P/bin/bank1.bin\"");
    }
    // A write that falls short names the system's reason.
    row("bank", "half full", "Cannot create file \"%1/PROJECTS/P/bin/bank1.bin\". No space left on device",
        8 * 1024);
    // room for bank1.bin, not for bankg.c
    row("source", "full", "Cannot create file \"%1/PROJECTS/P/bin/bankg.c\". No space left on device",
        64 * 1024);
    // the bank rendering cannot be written
    row("firmware", "read-only", "Cannot create file \"%1/PROJECTS/P/bin/Bin.sx\"");
    row("firmware", "nearly full", "Cannot create file \"%1/PROJECTS/P/bin/Bin.sx\". No space left on device",
        8 * 1024);
    // room for the rendering, not for the new firmware
    row("firmware", "full",
        "File New Sx Not Create,Abort Procedure\n"
        "Cannot create file \"%1/PROJECTS/P/New_sx48316.sx\". No space left on device",
        64 * 1024);
}

void TestWriteFaults::failingWrite() {
    QFETCH(QString, target);
    QFETCH(QString, fault);
    QFETCH(QString, expectedError);
    QFETCH(qint64, room);

    ScratchMount mount(8 << 20);
    if (!mount.mounted())
        QSKIP(qPrintable("cannot mount a small tmpfs here (needs root): " + mount.reason()));
    const QString programDir = mount.path();
    makeProject(programDir);
    if (QTest::currentTestFailed())
        return;

    if (fault == "read-only") {
        QVERIFY(mount.makeReadOnly());
    } else {
        mount.fill(room);
        if (QTest::currentTestFailed())
            return;
    }
    QMap<QString, QString> before = snapshotTree(programDir);

    const Outcome outcome = writeTarget(programDir, target);
    const QString expected = expectedError.contains("%1") ? expectedError.arg(programDir) : expectedError;
    QVERIFY2(outcome.error.contains(expected), qPrintable(outcome.error));

    QMap<QString, QString> after = snapshotTree(programDir);
    if (target == "source") // bank1.bin was written before bankg.c failed
        after["PROJECTS/P/bin/bank1.bin"] = before["PROJECTS/P/bin/bank1.bin"];
    QCOMPARE(after, before);
    QCOMPARE(temporaryFiles(programDir), QStringList());
}

QTEST_GUILESS_MAIN(TestWriteFaults)
#include "tst_writefaults.moc"
