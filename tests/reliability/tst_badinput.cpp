// Every file the system reads, given hostile content: each gives its fallback or a
// clear message, in bounded time and memory, and leaves every project file as it was.
#include "documents/TranslateTableFile.h"
#include "firmware/BankMerge.h"
#include "tests/image/SRecordText.h"
#include "tests/reliability/ChildProcess.h"
#include "tests/reliability/FileSnapshot.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <unistd.h>

using namespace tessaly::test;

namespace {

const QByteArray Terminator = "S9030000FC\r\n";

QByteArray bankImage() {
    QByteArray bank(16384, '\0');
    for (int i = 0; i < bank.size(); ++i)
        bank[i] = char(i % 251);
    return bank;
}

QByteArray firmware() {
    return firmwareWithBank(bankImage()) + Terminator;
}

QByteArray garbage(qsizetype size) {
    QRandomGenerator random(42);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// A sparse file of `size` bytes that starts with `start`.
void writeSparse(const QString& path, const QByteArray& start, qint64 size) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(start), start.size());
    QVERIFY(file.resize(size));
}

QByteArray nested(const QByteArray& root) {
    return "<" + root + ">" + QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000) +
           "</" + root + ">";
}

QByteArray entityBomb(const QByteArray& root) {
    QByteArray doctype = "<!DOCTYPE " + root + " [<!ENTITY e0 \"lol\">";
    for (int i = 1; i < 10; ++i) {
        const QByteArray previous = "&e" + QByteArray::number(i - 1) + ";";
        doctype += "<!ENTITY e" + QByteArray::number(i) + " \"" + previous.repeated(10) + "\">";
    }
    return doctype + "]><" + root + ">&e9;</" + root + ">";
}

const QByteArray PumpRow =
    R"(<row DATA_TYPE="3" TCP_ADDRESS="100" RTU_ADD_DEV="1" RTU_ADDRESS="0" N_POINT="10" MNEMONIC="PUMP1"/>)";

struct Project {
    ProgramDir dir;
    QString project = dir.file(QStringLiteral("PROJECTS/P"));
    QTemporaryDir output; // where the merge writes, outside the tree that must stay as it was
    QString outputDir = output.path();
    QString pargen = project + QStringLiteral("/pargen.xml");
    QString var = project + QStringLiteral("/var.xml");
    QString settings = dir.file(QStringLiteral("Tessaly.ini"));
    QString reference = dir.file(QStringLiteral("MASTER/sx48316.sx"));
    QString bank = project + QStringLiteral("/bin/bank1.bin");
    QString inspected = project + QStringLiteral("/inspect.sx");
};

void makeProject(Project& p) {
    QCOMPARE(runCli({"--program-dir", p.dir.path(), "new", "P"}).exitCode, 0);
    QCOMPARE(
        runCli({"--program-dir", p.dir.path(), "set", "--project", "P", "ip=10.1.2.3", "port=1502"}).exitCode,
        0);
    writeAll(p.var, "<TCP_TO_RTU>" + PumpRow + "</TCP_TO_RTU>");
    writeAll(p.settings, "[lastproj]\r\nprojectname=P\r\n");
    writeAll(p.reference, firmware());
    writeAll(p.bank, bankImage());
    writeAll(p.inspected, firmware());
}

// The merge of the compose pass, in a child process: its messages on standard error,
// its outcome on standard output.
Child mergeChild(const Project& p) {
    return Child::fork([&p] {
        RecordingMessages messages;
        tessaly::NoMergeProgress progress;
        const tessaly::MergeSettings settings{p.project + "/bin/", p.outputDir + "/", "New_sx48316.sx"};
        const tessaly::MergeOutcome outcome =
            tessaly::MergeBankSx(0, p.reference, "New_sx48316.sx", settings, messages, progress);
        if (outcome.error)
            messages.shown << *outcome.error;
        std::fprintf(stdout, "result=%d written=%d\n", outcome.result, outcome.written ? 1 : 0);
        std::fprintf(stderr, "%s", qPrintable(messages.shown.join('\n')));
        return 0;
    });
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void hostileInput_data();
    void hostileInput();
};

void TestBadInput::hostileInput_data() {
    QTest::addColumn<QString>("file");    // pargen, var, settings, firmware, bank, inspect
    QTest::addColumn<QString>("hostile"); // the kind of damage
    QTest::addColumn<QString>("expectedOut");
    QTest::addColumn<QString>("expectedErr");

    const auto row = [](const char* file, const char* hostile, const char* out, const char* err) {
        QTest::addRow("%s: %s", file, hostile) << file << hostile << out << err;
    };
    // pargen.xml, read by "show"
    row("pargen", "truncated", "", "pargen.xml\": ");
    row("pargen", "garbage", "", "pargen.xml\": ");
    row("pargen", "200 MB", "", "more than a project document can");
    row("pargen", "nested", "", "elements nested more than 64 deep");
    row("pargen", "entity bomb", "", "entity expansion limit");
    row("pargen", "invalid UTF-8", "", "pargen.xml\": ");
    row("pargen", "CR only", "TCP_IP1=10\nTCP_IP2=1", "");
    row("pargen", "1 MB line", "TCP_PORT=1502", "");
    row("pargen", "directory", "", "Cannot open file");
    row("pargen", "no read permission", "", "Permission denied");
    row("pargen", "symlink loop", "", "Cannot open file");
    // var.xml, read by "table export"
    for (const char* hostile : {"truncated", "garbage", "200 MB", "nested", "entity bomb", "invalid UTF-8",
                                "directory", "no read permission", "symlink loop"})
        row("var", hostile, "", "The translate table could not be read");
    row("var", "CR only", "PUMP1", "");
    row("var", "1 MB line", "PUMP1", "");
    // Tessaly.ini, read at start-up: anything unreadable means no last project, and a
    // command line without --project then has none
    for (const char* hostile : {"truncated", "garbage", "200 MB", "invalid UTF-8", "CR only", "directory",
                                "no read permission", "symlink loop"})
        row("settings", hostile, "", "Project not valid");
    row("settings", "1 MB line", "TCP_PORT=1502", "");
    // the reference firmware, read by the merge
    row("firmware", "truncated", "result=-1 written=1", "");
    row("firmware", "garbage", "result=-1 written=1", ""); // no line is empty: copied as opaque lines
    row("firmware", "200 MB", "result=-1 written=1", "");
    row("firmware", "invalid UTF-8", "result=1 written=1", "");
    row("firmware", "CR only", "result=-1 written=1", "");
    row("firmware", "1 MB line", "result=1 written=1", "");
    row("firmware", "directory", "result=-1 written=0", "File *.Sx Not Found,Abort Procedure");
    row("firmware", "no read permission", "result=-1 written=0", "Cannot open file");
    row("firmware", "symlink loop", "result=-1 written=0", "File *.Sx Not Found,Abort Procedure");
    // bank1.bin, read by the merge
    row("bank", "truncated", "result=-1 written=0", "File bank1.bin Too Short (10000 bytes),Abort Procedure");
    row("bank", "garbage", "result=1 written=1", "");
    row("bank", "200 MB", "result=1 written=1", "");
    row("bank", "directory", "result=-1 written=0", "File bank1.bin Not Found,Abort Procedure");
    row("bank", "no read permission", "result=-1 written=0", "Cannot open file");
    row("bank", "symlink loop", "result=-1 written=0", "File bank1.bin Not Found,Abort Procedure");
    // any file given to "inspect"
    row("inspect", "truncated", "", "inspect.sx\", line ");
    row("inspect", "garbage", "", "is neither a configuration image");
    row("inspect", "200 MB", "", "holds no configuration bank");
    row("inspect", "invalid UTF-8", "ip=191.192.193.194", "");
    row("inspect", "CR only", "", "holds no configuration bank");
    row("inspect", "1 MB line", "ip=191.192.193.194", "");
    row("inspect", "directory", "", "Cannot open file");
    row("inspect", "no read permission", "", "Permission denied");
    row("inspect", "symlink loop", "", "Cannot open file");
}

void TestBadInput::hostileInput() {
    QFETCH(QString, file);
    QFETCH(QString, hostile);
    QFETCH(QString, expectedOut);
    QFETCH(QString, expectedErr);
    if (hostile == "no read permission" && runningAsRoot())
        QSKIP("running as root: a file without read permission is still readable");

    Project p;
    makeProject(p);
    if (QTest::currentTestFailed())
        return;
    const QHash<QString, QString> paths{{"pargen", p.pargen},     {"var", p.var},
                                        {"settings", p.settings}, {"firmware", p.reference},
                                        {"bank", p.bank},         {"inspect", p.inspected}};
    const QString path = paths.value(file);
    const QByteArray good = readAll(path);

    if (hostile == "truncated") {
        writeAll(path, file == "bank" ? good.left(10000) : good.left(good.size() / 2));
    } else if (hostile == "garbage") {
        writeAll(path, garbage(file == "bank" ? 16384 : 65536));
    } else if (hostile == "200 MB") {
        const bool text = file == "firmware" || file == "inspect";
        writeSparse(path, text ? QByteArray("S0") : QByteArray(), qint64(200) << 20);
    } else if (hostile == "nested") {
        writeAll(path, nested(file == "pargen" ? "General_Parameter" : "TCP_TO_RTU"));
    } else if (hostile == "entity bomb") {
        writeAll(path, entityBomb(file == "pargen" ? "General_Parameter" : "TCP_TO_RTU"));
    } else if (hostile == "invalid UTF-8") {
        if (file == "pargen")
            writeAll(path, QByteArray(good).replace("harbor", "har\xC3\x28\xFF"));
        else if (file == "var")
            writeAll(path, QByteArray(good).replace("PUMP1", "PU\xC3\x28\xFF"));
        else if (file == "settings")
            writeAll(path, QByteArray(good).replace("=P", "=P\xFF"));
        else
            writeAll(path, "S0\xC3\x28\xFF\r\n" + good);
    } else if (hostile == "CR only") {
        if (file == "pargen" || file == "var")
            writeAll(path, QByteArray(good).replace("><", ">\r<") + "\r");
        else
            writeAll(path, QByteArray(good).replace("\r\n", "\r"));
    } else if (hostile == "1 MB line") {
        const QByteArray line(1000000, 'x');
        if (file == "pargen" || file == "var") // blanks between the root and its first child
            writeAll(path,
                     QByteArray(good).insert(good.indexOf("><") + 1, QByteArray(1000000, ' ') + "\r\n"));
        else if (file == "settings")
            writeAll(path, ";" + line + "\r\n" + good);
        else
            writeAll(path, "S0" + QByteArray("41").repeated(500000) + "\r\n" + good);
    } else if (hostile == "directory") {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    } else if (hostile == "no read permission") {
        QVERIFY(QFile::setPermissions(path, {}));
    } else if (hostile == "symlink loop") {
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(QFileInfo(path).fileName(), path));
    }

    const QMap<QString, QString> before = snapshotTree(p.dir.path());
    Child child = file == "firmware" || file == "bank" ? mergeChild(p)
                  : file == "pargen" ? Child::cli({"--program-dir", p.dir.path(), "show", "--project", "P"})
                  : file == "var"
                      ? Child::cli({"--program-dir", p.dir.path(), "table", "export", "--project", "P"})
                  : file == "settings" ? Child::cli({"--program-dir", p.dir.path(), "show"})
                                       : Child::cli({"--program-dir", p.dir.path(), "inspect", p.inspected});
    const ChildResult run = child.wait(HangLimitMs);

    QVERIFY2(run.finished, "the reader did not finish in bounded time");
    QVERIFY2(run.peakKb < MemoryLimitKb, qPrintable(QString("peak memory %1 KB").arg(run.peakKb)));
    if (expectedErr.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.contains(expectedErr), qPrintable(run.err.left(500)));
    QVERIFY2(run.out.contains(expectedOut), qPrintable(run.out.left(500)));
    if (file != "firmware" && file != "bank")
        QCOMPARE(run.exitCode, expectedErr.isEmpty() ? 0 : 1);
    QCOMPARE(snapshotTree(p.dir.path()), before);
    QCOMPARE(temporaryFiles(p.dir.path()), QStringList());
    QCOMPARE(temporaryFiles(p.outputDir), QStringList());

    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
