#include "firmware/FlashToolCall.h"
#include "platform/PosixProgramLauncher.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>
#include <cerrno>
#include <sys/wait.h>

using namespace tessaly;

namespace {

// A program that records its arguments and its current directory, then exits with 7.
const QByteArray Recorder = "#!/bin/sh\n"
                            "printf '%s' \"$#\" > \"$0.argc\"\n"
                            "pwd > \"$0.cwd\"\n"
                            "printf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.arg\"\n"
                            "exit 7\n";

QString writeRecorder(const test::ProgramDir& dir) {
    const QString path = dir.file(QStringLiteral("FlashWrite.exe"));
    test::writeAll(path, Recorder);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The recorded argument, once the detached program has written it (10 s at most).
QByteArray awaitArgument(const QString& program) {
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(program + QStringLiteral(".arg")) && !deadline.hasExpired())
        QThread::msleep(10);
    return test::readAll(program + QStringLiteral(".arg"));
}

// Runs `body` with `directory` as the current directory, restoring the old one after.
template <typename Body> void inDirectory(const QString& directory, Body body) {
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(directory));
    body();
    QDir::setCurrent(previous);
}

} // namespace

class TestFlashToolCall : public QObject {
    Q_OBJECT
private slots:
    void parameter_data();
    void parameter();
    void toolPath();
    void startPassesRawBytesAndLeavesNoZombie();
    void runAndWaitGivesExitStatus();
    void startedProgramIsFollowedToItsEnd();
    void startRefused_data();
    void startRefused();
};

void TestFlashToolCall::parameter_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<QByteArray>("parameter");

    QTest::newRow("COM3, Windows paths") << "D:\\Tools\\PROJECTS\\Line3\\"
                                         << "New_sx48316.sx" << 2
                                         << QByteArray("\"D:\\Tools\\PROJECTS\\Line3\\New_sx48316.sx\"\xB6"
                                                       "2");
    QTest::newRow("COM5") << "/opt/tessaly/PROJECTS/Plant1/"
                          << "New_sx48316.sx" << 4
                          << QByteArray("\"/opt/tessaly/PROJECTS/Plant1/New_sx48316.sx\"\xB6"
                                        "4");
    QTest::newRow("COM1, blanks") << "/home/a b/"
                                  << "New x.sx" << 0
                                  << QByteArray("\"/home/a b/New x.sx\"\xB6"
                                                "0");
    QTest::newRow("COM8") << "/p/"
                          << "N.sx" << 7
                          << QByteArray("\"/p/N.sx\"\xB6"
                                        "7");
    QTest::newRow("non-ASCII path") << QString::fromUtf8("/home/J\xC3\xB6rg/") << "New_sx48316.sx" << 1
                                    << QByteArray("\"/home/J\xC3\xB6rg/New_sx48316.sx\"\xB6"
                                                  "1");
    QTest::newRow("empty directory") << ""
                                     << "New_sx48316.sx" << 0
                                     << QByteArray("\"New_sx48316.sx\"\xB6"
                                                   "0");
}

void TestFlashToolCall::parameter() {
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QFETCH(int, portIndex);
    QFETCH(QByteArray, parameter);
    const QByteArray composed = flashToolParameter(directory, name, portIndex);
    QCOMPARE(composed.toHex(' '), parameter.toHex(' '));
}

void TestFlashToolCall::toolPath() {
    QCOMPARE(flashToolPath(QStringLiteral("/opt/tessaly")), QStringLiteral("/opt/tessaly/FlashWrite.exe"));
}

void TestFlashToolCall::startPassesRawBytesAndLeavesNoZombie() {
    test::ProgramDir dir;
    const QString tool = writeRecorder(dir);
    const QString master = dir.file(QStringLiteral("MASTER"));
    QVERIFY(QDir().mkpath(master));
    const QByteArray parameter =
        flashToolParameter(dir.path() + QStringLiteral("/PROJECTS/P1/"), QStringLiteral("New_sx48316.sx"), 4);

    PosixProgramLauncher launcher;
    inDirectory(master, [&] { QVERIFY(!launcher.start(tool, parameter)); });

    QCOMPARE(awaitArgument(tool).toHex(' '), parameter.toHex(' '));
    QVERIFY(parameter.endsWith("\xB6"
                               "4"));
    QCOMPARE(test::readAll(tool + QStringLiteral(".argc")), QByteArray("1"));
    QCOMPARE(
        QDir(QString::fromLocal8Bit(test::readAll(tool + QStringLiteral(".cwd")).trimmed())).canonicalPath(),
        QDir(master).canonicalPath());
    // The program was handed to init: this process has no child left to reap.
    int status = 0;
    QCOMPARE(::waitpid(-1, &status, WNOHANG), pid_t(-1));
    QCOMPARE(errno, ECHILD);
}

void TestFlashToolCall::startedProgramIsFollowedToItsEnd() {
    test::ProgramDir dir;
    const QString tool = dir.file(QStringLiteral("FlashWrite.exe"));
    // Runs until its stop file appears (or its folder is gone).
    test::writeAll(tool, "#!/bin/sh\n"
                         "while [ ! -e \"$0.stop\" ] && [ -e \"$0\" ]; do sleep 0.05; done\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    PosixProgramLauncher launcher;
    const auto follow = [&](const QByteArray& parameter) {
        auto started = launcher.launch(tool, parameter);
        return std::holds_alternative<std::unique_ptr<StartedProgram>>(started)
                   ? std::move(std::get<std::unique_ptr<StartedProgram>>(started))
                   : nullptr;
    };
    const std::unique_ptr<StartedProgram> first = follow("\"f\"\xB6"
                                                         "2");
    QVERIFY(first);
    // A program started after it, which inherits what this process has open, does not
    // keep it alive.
    const std::unique_ptr<StartedProgram> second = follow("x");
    QVERIFY(second);
    QTest::qWait(300);
    QVERIFY(first->running());
    QVERIFY(second->running());
    test::writeAll(tool + QStringLiteral(".stop"), {});
    QTRY_VERIFY_WITH_TIMEOUT(!first->running(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!second->running(), 10000);
}

void TestFlashToolCall::runAndWaitGivesExitStatus() {
    test::ProgramDir dir;
    const QString tool = writeRecorder(dir);
    const QByteArray parameter = flashToolParameter(QStringLiteral("/p/"), QStringLiteral("N.sx"), 2);
    const std::variant<int, QString> result = runProgramAndWait(tool, parameter);
    QVERIFY(std::holds_alternative<int>(result));
    QCOMPARE(std::get<int>(result), 7);
    QCOMPARE(test::readAll(tool + QStringLiteral(".arg")).toHex(' '), parameter.toHex(' '));
}

void TestFlashToolCall::startRefused_data() {
    QTest::addColumn<QString>("program");    // relative to a fresh directory
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QByteArray>("parameter");
    QTest::newRow("missing") << "FlashWrite.exe" << QByteArray()
                             << QByteArray("\"f\"\xB6"
                                           "0");
    QTest::newRow("not executable") << "FlashWrite.exe" << QByteArray("#!/bin/sh\n")
                                    << QByteArray("\"f\"\xB6"
                                                  "0");
    QTest::newRow("zero byte") << "FlashWrite.exe" << Recorder
                               << QByteArray("\"f\0\"\xB6"
                                             "0",
                                             6);
}

void TestFlashToolCall::startRefused() {
    QFETCH(QString, program);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, parameter);
    test::ProgramDir dir;
    const QString path = dir.file(program);
    if (!content.isNull()) {
        test::writeAll(path, content);
        if (content == Recorder)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    PosixProgramLauncher launcher;
    const std::optional<QString> refused = launcher.start(path, parameter);
    QVERIFY(refused);
    QVERIFY2(refused->startsWith(QStringLiteral("Cannot start \"") + path + QStringLiteral("\". ")),
             qPrintable(*refused));
    const std::variant<int, QString> waited = runProgramAndWait(path, parameter);
    QVERIFY(std::holds_alternative<QString>(waited));
    QCOMPARE(std::get<QString>(waited), *refused);
}

QTEST_GUILESS_MAIN(TestFlashToolCall)
#include "tst_flashtoolcall.moc"
