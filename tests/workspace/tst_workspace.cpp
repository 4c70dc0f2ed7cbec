#include "tests/support/TestSupport.h"
#include "workspace/NewProject.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tessaly;
using test::ProgramDir;
using test::readAll;
using test::RecordingMessages;
using test::ScriptedPickers;
using test::writeAll;

namespace {
const QString Title = QStringLiteral("Corvanti Tessaly SW48316 TCP2Ravelle");

void storeName(const ProgramDir& dir, const QByteArray& name) {
    writeAll(dir.file("Tessaly.ini"), "[lastproj]\r\nprojectname=" + name + "\r\n");
}

QByteArray savedSettings(const ProgramDir& dir) { return readAll(dir.file("Tessaly.ini")); }
} // namespace

class TestWorkspace : public QObject {
    Q_OBJECT
private slots:
    void firstStart();
    void startup_data();
    void startup();
    void newProject();
    void newProjectRefusals_data();
    void newProjectRefusals();
    void newProjectMakesItsOwnFolder_data();
    void newProjectMakesItsOwnFolder();
    void newProjectBothMessages();
    void newProjectDirectoryNotCreated();
    void newProjectCancelled();
    void newProjectWritesDefaultsOnce();
    void openProject_data();
    void openProject();
    void openProjectAfterDirectoryDeleted();
    void saveWorkspaceFailure_data();
    void saveWorkspaceFailure();
};

void TestWorkspace::firstStart() {
    ProgramDir dir;
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    const ProjectPaths& p = workspace.paths();
    QVERIFY(QFileInfo(dir.file("MASTER")).isDir());
    QVERIFY(QFileInfo(dir.file("PROJECTS")).isDir());
    QCOMPARE(p.MasterDir, dir.file("MASTER"));
    QCOMPARE(p.ProjectsDir, dir.file("PROJECTS"));
    QCOMPARE(p.ProjectDir, p.ProjectsDir);
    QCOMPARE(p.PargenFile, dir.file("PROJECTS/pargen.xml"));
    QCOMPARE(p.VarFile, dir.file("PROJECTS/var.xml"));
    QCOMPARE(p.ProjectName, QString());
    QCOMPARE(workspace.caption(), Title);
    QVERIFY(!workspace.SaveWorkspace());
    QCOMPARE(savedSettings(dir), QByteArray("[lastproj]\r\nprojectname=\r\n"));
}

void TestWorkspace::startup_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("existing"); // project directory created below PROJECTS
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("projectDir"); // relative to the program directory
    QTest::addColumn<QByteArray>("writtenBack");
    QTest::newRow("name without backslash") << QByteArray("Plant1") << "Plant1" << Title + " : \\Plant1"
                                            << "PROJECTS/Plant1" << QByteArray("\\Plant1");
    QTest::newRow("name with backslash") << QByteArray("\\Plant1") << "Plant1" << Title + " : \\Plant1"
                                         << "PROJECTS/Plant1" << QByteArray("\\Plant1");
    QTest::newRow("nested name") << QByteArray("\\A\\B") << "A/B" << Title + " : \\A\\B" << "PROJECTS/A/B"
                                 << QByteArray("\\A\\B");
    QTest::newRow("missing directory kept") << QByteArray("Gone") << "" << Title << "PROJECTS"
                                            << QByteArray("\\Gone");
}

void TestWorkspace::startup() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, existing);
    QFETCH(QString, caption);
    QFETCH(QString, projectDir);
    QFETCH(QByteArray, writtenBack);
    ProgramDir dir;
    storeName(dir, stored);
    if (!existing.isEmpty())
        QVERIFY(QDir().mkpath(dir.file("PROJECTS/" + existing)));
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    QCOMPARE(workspace.caption(), caption);
    QCOMPARE(workspace.paths().ProjectDir, dir.file(projectDir));
    QCOMPARE(workspace.paths().PargenFile, dir.file(projectDir + "/pargen.xml"));
    QVERIFY(!workspace.SaveWorkspace());
    QCOMPARE(savedSettings(dir), "[lastproj]\r\nprojectname=" + writtenBack + "\r\n");
}

void TestWorkspace::newProject() {
    ProgramDir dir;
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    command.prepare();
    QCOMPARE(command.NewProjectDestination, dir.file("PROJECTS"));
    command.onShow();
    QVERIFY(command.confirm("Plant2"));
    command.finish();
    QCOMPARE(messages.shown, QStringList());
    QVERIFY(QFileInfo(dir.file("PROJECTS/Plant2/bin")).isDir());
    QCOMPARE(workspace.paths().ProjectName, QString("Plant2"));
    QCOMPARE(workspace.paths().ProjectDir, dir.file("PROJECTS/Plant2"));
    QCOMPARE(workspace.paths().PargenFile, dir.file("PROJECTS/Plant2/pargen.xml"));
    QCOMPARE(workspace.paths().VarFile, dir.file("PROJECTS/Plant2/var.xml"));
    QCOMPARE(workspace.caption(), Title + " :Plant2");
    QVERIFY(!workspace.SaveWorkspace());
    QCOMPARE(savedSettings(dir), QByteArray("[lastproj]\r\nprojectname=Plant2\r\n"));
}

void TestWorkspace::newProjectRefusals_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << "Name project not valid";
    QTest::newRow("existing") << "Plant1" << "Name project not valid because directory already exists";
    QTest::newRow("slash") << "a/b" << "Name project not valid";
    QTest::newRow("backslash") << "a\\b" << "Name project not valid";
    QTest::newRow("dot") << "." << "Name project not valid";
    QTest::newRow("dot dot") << ".." << "Name project not valid";
    QTest::newRow("escape") << "../outside" << "Name project not valid";
    QTest::newRow("blanks at the ends") << " Sp ace "
                                        << "Name project not valid";
    QTest::newRow("tab at the end") << "Plant\t"
                                    << "Name project not valid";
#ifdef Q_OS_WIN
    // Names Windows takes for devices, streams or another name: nothing may be made.
    for (const char* name : {"CON", "con", "NUL", "COM1", "lpt9", "aux.txt", "CON .txt", "COM\u00B9", "x?y",
                             "q*", "lt<gt>", "pi|pe", "quo\"te", "tab\tinside", "a:b", "Plant.", "Plant. "})
        QTest::addRow("Windows refuses %s", name) << QString::fromUtf8(name) << "Name project not valid";
#endif
}

void TestWorkspace::newProjectRefusals() {
    QFETCH(QString, name);
    QFETCH(QString, message);
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    const ProjectPaths before = workspace.paths();
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    command.prepare();
    QVERIFY(!command.confirm(name));
    QVERIFY(!command.NewProjectCloseAllowed);
    QCOMPARE(command.NewProjectName, name);
    QCOMPARE(messages.shown, QStringList{message});
    QCOMPARE(workspace.paths().ProjectDir, before.ProjectDir);
    QVERIFY(!QFileInfo::exists(dir.file("outside")));
    QCOMPARE(QDir(dir.file("PROJECTS")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Plant1"});
}

void TestWorkspace::newProjectMakesItsOwnFolder_data() {
    QTest::addColumn<QString>("programFolder"); // below the temporary directory
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("existing"); // a project already there
    QTest::newRow("Greek") << ""
                           << "\u03A9mega"
                           << "Omega";
    QTest::newRow("Czech") << ""
                           << "\u010Capek"
                           << "Capek";
    QTest::newRow("code page 1252") << ""
                                    << "\u00C4rger\u20AC"
                                    << "";
    QTest::newRow("Polish beside its look-alike") << ""
                                                  << "\u0141odz"
                                                  << "Lodz";
    QTest::newRow("Cyrillic") << ""
                              << "\u041D\u0430\u0441\u043E\u0441"
                              << "";
    QTest::newRow("Chinese") << ""
                             << "\u6CF5\u7AD9"
                             << "";
    QTest::newRow("not a device name") << ""
                                       << "COM10"
                                       << "";
    QTest::newRow("dot inside") << ""
                                << "Plant.v2"
                                << "";
    QTest::newRow("program folder in Czech") << "\u010Ce\u0161tina"
                                             << "Plant1"
                                             << "";
    QTest::newRow("program folder in Russian") << "\u041F\u0440\u043E\u0435\u043A\u0442\u044B"
                                               << "Plant1"
                                               << "";
    QTest::newRow("program folder in Chinese") << "\u5DE5\u7A0B"
                                               << "\u6CF5\u7AD9"
                                               << "";
}

// A name makes exactly its own folder, whatever the ANSI code page holds: no look-alike
// beside it, nothing else in PROJECTS.
void TestWorkspace::newProjectMakesItsOwnFolder() {
    QFETCH(QString, programFolder);
    QFETCH(QString, name);
    QFETCH(QString, existing);
    ProgramDir dir;
    const QString program = programFolder.isEmpty() ? dir.path() : dir.file(programFolder);
    const QString projects = QDir(program).filePath("PROJECTS");
    QVERIFY(QDir().mkpath(projects));
    if (!existing.isEmpty())
        QVERIFY(QDir(projects).mkdir(existing));
    Workspace workspace;
    workspace.InitWorkspace(program);
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    command.prepare();
    QVERIFY(command.confirm(name));
    QCOMPARE(messages.shown, QStringList());
    QStringList expected{name};
    if (!existing.isEmpty())
        expected << existing;
    expected.sort();
    QStringList made = QDir(projects).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    made.sort();
    QCOMPARE(made, expected);
    QCOMPARE(workspace.paths().ProjectDir, QDir::toNativeSeparators(QDir(projects).filePath(name)));
    QCOMPARE(QDir(workspace.paths().ProjectDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{"bin"});
}

void TestWorkspace::newProjectBothMessages() {
    ProgramDir dir;
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    QVERIFY(!command.confirm(""));
    QCOMPARE(messages.shown, (QStringList{"directory destination not valid", "Name project not valid"}));
}

void TestWorkspace::newProjectDirectoryNotCreated() {
    // A file where the destination directory should be fails even for root.
    ProgramDir dir;
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    command.NewProjectDestination = dir.file("a-file");
    writeAll(command.NewProjectDestination, "x");
    QVERIFY(!command.confirm("Plant3"));
    QCOMPARE(messages.errors.size(), 1);
    QVERIFY2(messages.errors.first().startsWith("Cannot create directory \"" + dir.file("a-file/Plant3") + "\". "),
             qPrintable(messages.errors.first()));
    QCOMPARE(workspace.paths().ProjectDir, dir.file("PROJECTS"));
}

void TestWorkspace::newProjectCancelled() {
    ProgramDir dir;
    storeName(dir, "Plant1");
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    command.prepare();
    command.onShow();
    command.cancel();
    command.finish();
    QVERIFY(command.NewProjectCloseAllowed);
    QCOMPARE(workspace.caption(), Title + " :\\Plant1");
    QCOMPARE(workspace.paths().ProjectDir, dir.file("PROJECTS/Plant1"));
}

void TestWorkspace::newProjectWritesDefaultsOnce() {
    ProgramDir dir;
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    RecordingMessages messages;
    NewProjectCommand command(workspace, messages);
    QStringList written;
    command.setDefaultDocumentsWriter([&] { written << workspace.paths().PargenFile; });
    command.prepare();
    QVERIFY(!command.confirm(""));
    QVERIFY(command.confirm("P"));
    QCOMPARE(written, QStringList{dir.file("PROJECTS/P/pargen.xml")});
}

void TestWorkspace::openProject_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("chosen"); // relative to the program directory; empty = cancel
    QTest::addColumn<QString>("projectDir");
    QTest::addColumn<QString>("projectName");
    QTest::newRow("folder of PROJECTS") << QByteArray() << "PROJECTS/Plant1" << "PROJECTS/Plant1" << "\\Plant1";
    QTest::newRow("nested folder") << QByteArray() << "PROJECTS/A/B" << "PROJECTS/A/B" << "\\A\\B";
    QTest::newRow("PROJECTS itself") << QByteArray() << "PROJECTS" << "PROJECTS" << "";
    QTest::newRow("cancel without project") << QByteArray() << "" << "PROJECTS" << "";
    QTest::newRow("cancel keeps missing stored name out") << QByteArray("Gone") << "" << "PROJECTS" << "";
    QTest::newRow("cancel with project") << QByteArray("Plant1") << "" << "PROJECTS/Plant1" << "\\Plant1";
}

void TestWorkspace::openProject() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, chosen);
    QFETCH(QString, projectDir);
    QFETCH(QString, projectName);
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/A/B")));
    if (!stored.isEmpty())
        storeName(dir, stored);
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    ScriptedPickers pickers;
    pickers.answers.push_back(chosen.isEmpty() ? QString() : dir.file(chosen));
    workspace.OpenProject(pickers);
    QCOMPARE(pickers.folderRequests.size(), 1);
    QCOMPARE(pickers.folderRequests[0].title, QString("Select directory of project"));
    QCOMPARE(pickers.folderRequests[0].root, dir.file("PROJECTS"));
    QCOMPARE(workspace.paths().ProjectDir, dir.file(projectDir));
    QCOMPARE(workspace.paths().ProjectName, projectName);
    QCOMPARE(workspace.paths().PargenFile, dir.file(projectDir + "/pargen.xml"));
    QCOMPARE(workspace.caption(), Title + " :" + projectName);
}

void TestWorkspace::openProjectAfterDirectoryDeleted() {
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    storeName(dir, "Plant1");
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    QVERIFY(QDir(dir.file("PROJECTS/Plant1")).removeRecursively());
    ScriptedPickers pickers;
    workspace.OpenProject(pickers);
    QCOMPARE(pickers.folderRequests[0].initial, QString());
    QCOMPARE(workspace.paths().ProjectDir, QString());
    QCOMPARE(workspace.paths().ProjectName, QString());
    QCOMPARE(workspace.caption(), Title + " :");
    RecordingMessages messages;
    QVERIFY(!workspace.RequireProject(messages));
    QCOMPARE(messages.shown, QStringList{"Project not valid"});

    // A later Open project that chooses a folder makes the commands work again.
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    pickers.answers.push_back(dir.file("PROJECTS/Plant1"));
    workspace.OpenProject(pickers);
    QVERIFY(workspace.RequireProject(messages));
    QCOMPARE(messages.shown.size(), 1);
}

void TestWorkspace::saveWorkspaceFailure_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directoryInTheWay"); // where Tessaly.ini should be
    QTest::addColumn<QString>("reason");         // the lines after "Unable to write to ..."
    QTest::addColumn<QByteArray>("written");     // Tessaly.ini afterwards, when a file
    QTest::newRow("directory in the way")
        << "Plant2" << true << "Cannot create file \"%1\". " << QByteArray();
    // The file's code page lacks the name: the next start must not open the previous
    // project as if it were this one.
    QTest::newRow("name outside the code page")
        << "\u03A9mega" << false
#ifdef Q_OS_WIN
        << "Cannot write \"%1\": \"\u03A9\" cannot be written in the ANSI code page 1252, its code page\n"
           "The next start opens no project."
        << QByteArray("[lastproj]\r\nprojectname=\r\n");
#else
        << "" << QByteArray("[lastproj]\r\nprojectname=\\\u03A9mega\r\n");
#endif
}

void TestWorkspace::saveWorkspaceFailure() {
    QFETCH(QString, name);
    QFETCH(bool, directoryInTheWay);
    QFETCH(QString, reason);
    QFETCH(QByteArray, written);
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/Plant1")));
    QVERIFY(QDir().mkpath(dir.file("PROJECTS/" + name)));
    if (directoryInTheWay)
        QVERIFY(QDir().mkdir(dir.file("Tessaly.ini")));
    else
        storeName(dir, "Plant1");
    Workspace workspace;
    workspace.InitWorkspace(dir.path());
    workspace.selectProjectDirectory(dir.file("PROJECTS/" + name));
    const std::optional<QString> failure = workspace.SaveWorkspace();
    if (reason.isEmpty()) {
        QCOMPARE(failure, std::nullopt);
    } else {
        QVERIFY(failure);
        const QString settings = dir.file("Tessaly.ini");
        const QString expected = "Unable to write to " + settings + "\n" + reason.arg(settings);
        QVERIFY2(failure->startsWith(expected), qPrintable(*failure));
    }
    if (!directoryInTheWay) {
        QCOMPARE(savedSettings(dir), written);
        Workspace next;
        next.InitWorkspace(dir.path());
        const QString opened = reason.isEmpty() ? dir.file("PROJECTS/" + name) : dir.file("PROJECTS");
        QCOMPARE(next.paths().ProjectDir, opened);
    }
}

QTEST_GUILESS_MAIN(TestWorkspace)
#include "tst_workspace.moc"
