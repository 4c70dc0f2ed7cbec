#include "platform/AtomicFile.h"
#include "platform/ProgramDirectory.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessaly;

// An installed program directory with its shared-install marker, a MASTER of two
// files and a flashing tool, and a per-user data folder beside it.
class TestProgramDirectory : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    QString install_, data_, user_;

    void put(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        test::writeAll(path, bytes);
    }
    ChosenProgramDirectory choose(const QStringList& extra = {}) {
        return chooseProgramDirectory(QStringList{"tessaly"} + extra, install_, {"FlashWrite.exe"});
    }

private slots:
    void init() {
        install_ = root_.filePath("opt/tessaly");
        data_ = root_.filePath("data");
        user_ = data_ + "/tessaly";
        QDir(root_.path()).removeRecursively();
        put(install_ + "/shared-install", "marker");
        put(install_ + "/MASTER/sx48316.sx", "demo");
        put(install_ + "/MASTER/readme.txt", "notes");
        put(install_ + "/FlashWrite.exe", "tool");
        qputenv("XDG_DATA_HOME", data_.toLocal8Bit());
    }

    void sharedInstallUsesThePreparedPerUserFolder() {
        const ChosenProgramDirectory chosen = choose();
        QCOMPARE(chosen.path, user_);
        QVERIFY(!chosen.failure);
        QCOMPARE(test::readAll(user_ + "/MASTER/sx48316.sx"), QByteArray("demo"));
        QCOMPARE(test::readAll(user_ + "/MASTER/readme.txt"), QByteArray("notes"));
        QCOMPARE(QFileInfo(user_ + "/FlashWrite.exe").symLinkTarget(), install_ + "/FlashWrite.exe");
        QVERIFY(!QFileInfo::exists(install_ + "/PROJECTS"));
    }

    void whatTheUserPutThereIsKept() {
        put(user_ + "/MASTER/sx48316.sx", "real firmware");
        put(user_ + "/FlashWrite.exe", "real tool");
        QVERIFY(!choose().failure);
        QCOMPARE(test::readAll(user_ + "/MASTER/sx48316.sx"), QByteArray("real firmware"));
        QCOMPARE(test::readAll(user_ + "/MASTER/readme.txt"), QByteArray("notes"));
        QVERIFY(!QFileInfo(user_ + "/FlashWrite.exe").isSymLink());
        QCOMPARE(test::readAll(user_ + "/FlashWrite.exe"), QByteArray("real tool"));
    }

    void aBrokenLinkIsMadeAnew() {
        QDir().mkpath(user_);
        QVERIFY(QFile::link(root_.filePath("gone/FlashWrite.exe"), user_ + "/FlashWrite.exe"));
        QVERIFY(!choose().failure);
        QCOMPARE(test::readAll(user_ + "/FlashWrite.exe"), QByteArray("tool"));
    }

    void theOptionAndAPortableFolderStayAsTheyAre() {
        QCOMPARE(choose({"--program-dir", root_.filePath("mine")}).path, root_.filePath("mine"));
        QVERIFY(QFile::remove(install_ + "/shared-install"));
        QCOMPARE(choose().path, install_);
        QVERIFY(!QFileInfo::exists(user_));
    }

    void aFolderThatCannotBeMadeIsReported() {
        put(data_, "a file where the folder should be");
        const ChosenProgramDirectory chosen = choose();
        QCOMPARE(chosen.path, user_);
        QVERIFY(chosen.failure.value_or(QString()).startsWith(
            cannotCreateDirectoryMessage(user_ + "/MASTER", "")));
    }
};

QTEST_GUILESS_MAIN(TestProgramDirectory)
#include "tst_programdirectory.moc"
