#include "platform/AtomicFile.h"
#include "platform/PathForms.h"
#include "platform/ProgramDirectory.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tessaly;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void pathForms_data();
    void pathForms();
    void programDirectory_data();
    void programDirectory();
    void atomicWriteReplacesWhole();
    void atomicWriteFailureKeepsOldFile();
};

void TestPlatform::pathForms_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("native");
    QTest::newRow("name") << "\\Plant1"
                          << "/Plant1";
    QTest::newRow("nested") << "\\A\\B"
                            << "/A/B";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("plain") << "Plant2"
                           << "Plant2";
}

void TestPlatform::pathForms() {
    QFETCH(QString, stored);
    QFETCH(QString, native);
    QCOMPARE(nativeFromStored(stored), QDir::toNativeSeparators(native));
    QCOMPARE(storedFromNative(QDir::toNativeSeparators(native)), stored);
}

void TestPlatform::programDirectory_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("rest");
    QTest::newRow("executable folder")
        << QStringList{"prog", "new", "x"} << "/opt/app" << QStringList{"prog", "new", "x"};
    QTest::newRow("option") << QStringList{"prog", "--program-dir", "/tmp/p/", "new"} << "/tmp/p"
                            << QStringList{"prog", "new"};
    QTest::newRow("option with =") << QStringList{"prog", "--program-dir=/tmp/q", "new"} << "/tmp/q"
                                   << QStringList{"prog", "new"};
}

void TestPlatform::programDirectory() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QFETCH(QStringList, rest);
    // Absolute and in the platform's own form: /opt/app is Z:\opt\app on a Windows drive Z:.
    QCOMPARE(tessaly::programDirectory(arguments, QStringLiteral("/opt/app/")),
             QDir::toNativeSeparators(QFileInfo(expected).absoluteFilePath()));
    QCOMPARE(withoutProgramDirOption(arguments), rest);
}

void TestPlatform::atomicWriteReplacesWhole() {
    test::ProgramDir dir;
    const QString path = dir.file(QStringLiteral("f.bin"));
    test::writeAll(path, QByteArray(1000, 'a'));
    // Temporaries of killed writes: only this file's, in the writer's form, go.
    const QStringList others{"f.bin.Ympy1F", "f.bin.YmpyGFx", "g.bin.YmpyGF"};
    for (const QString& name : others + QStringList{"f.bin.YmpyGF", "f.bin.aaaaaa"})
        test::writeAll(dir.file(name), "left");
    QVERIFY(QDir(dir.path()).mkpath("f.bin.QwErTy/f.bin.AbCdEf"));
    QVERIFY(!writeFileAtomically(path, "short"));
    QCOMPARE(test::readAll(path), QByteArray("short"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"} + others);
    QVERIFY(QFileInfo(dir.file("f.bin.QwErTy/f.bin.AbCdEf")).isDir());
}

void TestPlatform::atomicWriteFailureKeepsOldFile() {
    test::ProgramDir dir;
    const QString missing = dir.file(QStringLiteral("nowhere/f.bin"));
    const auto failure = writeFileAtomically(missing, "data");
    QVERIFY(failure);
    QVERIFY2(failure->startsWith(QStringLiteral("Cannot create file \"") + missing + QStringLiteral("\". ")),
             qPrintable(*failure));
    QVERIFY(!QFile::exists(missing));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
