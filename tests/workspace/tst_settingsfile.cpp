#include "tests/support/TestSupport.h"
#include "workspace/SettingsFile.h"

#include <QTest>

using tessaly::SettingsFile;

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void unwritableFileReportsReason();
};

void TestSettingsFile::reads_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << QByteArray() << "";
    QTest::newRow("raw backslash") << QByteArray("[lastproj]\r\nprojectname=\\Plant1\r\n") << "\\Plant1";
    QTest::newRow("LF lines") << QByteArray("[lastproj]\nprojectname=Plant1\n") << "Plant1";
    QTest::newRow("no final newline") << QByteArray("[lastproj]\r\nprojectname=P") << "P";
    QTest::newRow("case-insensitive names") << QByteArray("[LastProj]\r\nProjectName=X\r\n") << "X";
    QTest::newRow("blanks around") << QByteArray("[ lastproj ]\r\n projectname = X Y \r\n") << "X Y";
    QTest::newRow("quoted") << QByteArray("[lastproj]\r\nprojectname=\"\\A B\"\r\n") << "\\A B";
    QTest::newRow("other section") << QByteArray("[other]\r\nprojectname=X\r\n") << "";
    QTest::newRow("after other section") << QByteArray("[other]\r\nk=v\r\n[lastproj]\r\nprojectname=Y\r\n")
                                         << "Y";
    QTest::newRow("comment skipped") << QByteArray("[lastproj]\r\n;projectname=X\r\nprojectname=Y\r\n") << "Y";
    QTest::newRow("first key wins") << QByteArray("[lastproj]\r\nprojectname=A\r\nprojectname=B\r\n") << "A";
    QTest::newRow("empty value") << QByteArray("[lastproj]\r\nprojectname=\r\n") << "";
    QTest::newRow("equals in value") << QByteArray("[lastproj]\r\nprojectname=a=b\r\n") << "a=b";
#ifndef Q_OS_WIN // there the file is in the ANSI code page, as the original program keeps it
    QTest::newRow("UTF-8") << QByteArray("[lastproj]\r\nprojectname=S\xC3\xBC\xE2\x82\xAC\r\n")
                           << "S\u00FC\u20AC";
#endif
    QTest::newRow("Windows-1252") << QByteArray("[lastproj]\r\nprojectname=S\xFC\x80\r\n") << "S\u00FC\u20AC";
    QTest::newRow("binary garbage") << QByteArray("\x01\x02[\xff\x00]=\n", 8) << "";
}

void TestSettingsFile::reads() {
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    QCOMPARE(SettingsFile::parse(file).value("lastproj", "projectname"), expected);
}

void TestSettingsFile::writes_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new file") << QByteArray() << "\\Plant1" << QByteArray("[lastproj]\r\nprojectname=\\Plant1\r\n");
    QTest::newRow("empty name") << QByteArray() << "" << QByteArray("[lastproj]\r\nprojectname=\r\n");
    QTest::newRow("replaces value")
        << QByteArray("[lastproj]\r\nprojectname=Old\r\n") << "New" << QByteArray("[lastproj]\r\nprojectname=New\r\n");
    QTest::newRow("keeps other sections and keys")
        << QByteArray("; settings\r\n[view]\r\nzoom=2\r\n[lastproj]\r\nother=1\r\nprojectname=Old\r\nmore=2\r\n")
        << "\\A\\B"
        << QByteArray("; settings\r\n[view]\r\nzoom=2\r\n[lastproj]\r\nother=1\r\nprojectname=\\A\\B\r\nmore=2\r\n");
    QTest::newRow("adds key to existing section")
        << QByteArray("[lastproj]\nother=1\n\n[x]\ny=2\n") << "P"
        << QByteArray("[lastproj]\r\nother=1\r\nprojectname=P\r\n\r\n[x]\r\ny=2\r\n");
    QTest::newRow("adds section at the end")
        << QByteArray("[x]\r\ny=2\r\n") << "P" << QByteArray("[x]\r\ny=2\r\n[lastproj]\r\nprojectname=P\r\n");
#ifndef Q_OS_WIN
    QTest::newRow("Windows-1252 file becomes UTF-8")
        << QByteArray("[x]\r\nk=\xE9\r\n[lastproj]\r\nprojectname=Old\r\n") << "S\u00FCd"
        << QByteArray("[x]\r\nk=\xC3\xA9\r\n[lastproj]\r\nprojectname=S\xC3\xBC"
                      "d\r\n");
#endif
    QTest::newRow("keeps key spelling")
        << QByteArray("[LASTPROJ]\r\nProjectName=A\r\n") << "B" << QByteArray("[LASTPROJ]\r\nProjectName=B\r\n");
}

void TestSettingsFile::writes() {
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    tessaly::test::ProgramDir dir;
    const QString path = dir.file("Tessaly.ini");
    if (!before.isEmpty())
        tessaly::test::writeAll(path, before);
    SettingsFile settings = SettingsFile::load(path);
    settings.setValue("lastproj", "projectname", value);
    QVERIFY(!settings.save(path));
    QCOMPARE(tessaly::test::readAll(path), after);
}

void TestSettingsFile::unwritableFileReportsReason() {
    tessaly::test::ProgramDir dir;
    SettingsFile settings;
    settings.setValue("lastproj", "projectname", "x");
    QVERIFY(settings.save(dir.file("missing/Tessaly.ini")).has_value());
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
