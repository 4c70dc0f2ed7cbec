#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tessaly::test;

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void helpAndVersion();
    void usageErrors_data();
    void usageErrors();
    void newProject();
    void noProjectNamedNorOpened_data();
    void noProjectNamedNorOpened();
};

void TestCli::helpAndVersion() {
    const CliRun help = runCli({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("new NAME"));
#ifdef Q_OS_WIN
    QVERIFY2(help.out.contains("or %LOCALAPPDATA%\\tessaly when"), qPrintable(help.out));
#else
    QVERIFY2(help.out.contains("or ~/.local/share/tessaly when"), qPrintable(help.out));
#endif
    const CliRun version = runCli({"--version"});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith("tessaly-cli "));
}

void TestCli::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("new without name") << QStringList{"new"};
    QTest::newRow("new with two names") << QStringList{"new", "a", "b"};
    QTest::newRow("unknown option") << QStringList{"new", "--bogus", "a"};
}

void TestCli::usageErrors() {
    QFETCH(QStringList, arguments);
    ProgramDir dir;
    const CliRun run = runCli(QStringList{"--program-dir", dir.path()} + arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.err.isEmpty());
}

void TestCli::newProject() {
    ProgramDir dir;
    const CliRun first = runCli({"--program-dir", dir.path(), "new", "Plant2"});
    QCOMPARE(first.err, QString());
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(first.out, dir.file("PROJECTS/Plant2") + "\n");
    QVERIFY(QFileInfo(dir.file("PROJECTS/Plant2/bin")).isDir());

    const CliRun second = runCli({"--program-dir", dir.path(), "new", "Plant2"});
    QCOMPARE(second.exitCode, 1);
    QCOMPARE(second.err, QString("Name project not valid because directory already exists\n"));

    const CliRun escape = runCli({"--program-dir=" + dir.path(), "new", "../x"});
    QCOMPARE(escape.exitCode, 1);
    QCOMPARE(escape.err, QString("Name project not valid\n"));
    QVERIFY(!QFileInfo::exists(dir.file("x")));
}

void TestCli::noProjectNamedNorOpened_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QByteArray>("settings"); // Tessaly.ini, when there is one
    const QList<QStringList> commands = {
        {"set", "ip=1.2.3.4"},        {"show"},           {"build"}, {"compose"},
        {"update", "--port", "COM1"}, {"table", "export"}};
    for (const QStringList& command : commands) {
        QTest::addRow("%s, fresh", qPrintable(command.first())) << command << QByteArray();
        QTest::addRow("%s, stale Tessaly.ini", qPrintable(command.first()))
            << command << QByteArray("[lastproj]\r\nprojectname=\\Gone\r\n");
    }
}

// The configurator works in PROJECTS itself while no project is open; the command line
// refuses, and writes nothing there.
void TestCli::noProjectNamedNorOpened() {
    QFETCH(QStringList, command);
    QFETCH(QByteArray, settings);
    ProgramDir dir;
    if (!settings.isEmpty())
        writeAll(dir.file("Tessaly.ini"), settings);
    const CliRun run = runCli(QStringList{"--program-dir", dir.path()} + command);
    QCOMPARE(run.err, QString("Project not valid\n"));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QDir(dir.file("PROJECTS")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
