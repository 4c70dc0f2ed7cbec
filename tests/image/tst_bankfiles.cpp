#include "image/BankFiles.h"
#include "tests/image/PargenText.h"
#include "tests/support/TestSupport.h"
#include "workspace/ProjectPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

ConfigImage patternImage() {
    ConfigImage image;
    for (int k = 0; k < ConfigImageSize; ++k)
        image.putByte(k, (k * 37 + 11) ^ (k >> 8));
    return image;
}

ConfigImage filledImage(int value) {
    ConfigImage image;
    for (int k = 0; k < ConfigImageSize; ++k)
        image.putByte(k, value);
    return image;
}

// bankg.c as it must come out, put together separately from the writer.
QByteArray expectedSource(const QByteArray& bytes) {
    QStringList lines{"#pragma CONST_SEG SEGMENT0"};
    for (int line = 0; line < 1024; ++line) {
        QString text = line == 0 ? QString("const char Bank1 [] = {") : QString(17, ' ');
        for (int column = 0; column < 16; ++column) {
            const int k = line * 16 + column;
            text += QString::asprintf(" 0x%02X", unsigned(std::uint8_t(bytes[k])));
            text += k == 16383 ? "};" : ",";
        }
        lines << text;
    }
    lines << ""
          << "#pragma CONST_SEG DEFAULT";
    return (lines.join("\r\n") + "\r\n").toLatin1();
}

struct Project {
    QTemporaryDir dir;
    ProjectPaths paths;
    Project(bool withBin = true) {
        paths.ProjectDir = QDir::toNativeSeparators(dir.path());
        paths.PargenFile = QDir::toNativeSeparators(dir.filePath("pargen.xml"));
        if (withBin)
            QDir(dir.path()).mkdir("bin");
    }
    QString bin() const { return dir.filePath("bin/bank1.bin"); }
    QString source() const { return dir.filePath("bin/bankg.c"); }
    QStringList binEntries() const {
        return QDir(dir.filePath("bin")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

} // namespace

class TestBankFiles : public QObject {
    Q_OBJECT
private slots:
    void sourceMatchesExpectation_data();
    void sourceMatchesExpectation();
    void sourceOfZeroImage();
    void sourceLineOfFirstParameter();
    void buildWritesBothFiles();
    void failedBuildWritesNothing_data();
    void failedBuildWritesNothing();
    void missingBinDirectory();
    void unwritableBankBinStops();
};

void TestBankFiles::sourceMatchesExpectation_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("zero") << ConfigImage().toByteArray();
    QTest::newRow("all 0xFF") << filledImage(0xFF).toByteArray();
    QTest::newRow("pattern") << patternImage().toByteArray();
}

void TestBankFiles::sourceMatchesExpectation() {
    QFETCH(QByteArray, bytes);
    const std::optional<ConfigImage> image = ConfigImage::fromBytes(bytes);
    QVERIFY(image.has_value());
    const QByteArray source = renderBankSource(*image);
    QCOMPARE(source.size(), 117824);
    QCOMPARE(source.count("\r\n"), 1027);
    QCOMPARE(source.count('\n'), 1027);
    QVERIFY(source == expectedSource(bytes));

    Project project;
    QCOMPARE(WriteBankSource(*image, project.paths.ProjectDir), std::nullopt);
    QVERIFY(readAll(project.source()) == source);
    QCOMPARE(WriteBankBin(*image, project.paths.ProjectDir), std::nullopt);
    QVERIFY(readAll(project.bin()) == bytes);
}

void TestBankFiles::sourceOfZeroImage() {
    const QList<QByteArray> lines = renderBankSource(ConfigImage()).split('\n');
    QCOMPARE(lines.size(), 1028); // the text ends in a line break
    const QByteArray zeros = QByteArray(" 0x00,").repeated(16);
    QCOMPARE(lines[0], QByteArray("#pragma CONST_SEG SEGMENT0\r"));
    QCOMPARE(lines[1], "const char Bank1 [] = {" + zeros + "\r");
    for (int i = 2; i <= 1023; ++i)
        QCOMPARE(lines[i], QByteArray(17, ' ') + zeros + "\r");
    QCOMPARE(lines[1024], QByteArray(17, ' ') + QByteArray(" 0x00,").repeated(15) + " 0x00};\r");
    QCOMPARE(lines[1025], QByteArray("\r"));
    QCOMPARE(lines[1026], QByteArray("#pragma CONST_SEG DEFAULT\r"));
    QCOMPARE(lines[1027], QByteArray());
    QCOMPARE(lines[1].size(), 119 + 1);
    QCOMPARE(lines[2].size(), 113 + 1);
    QCOMPARE(lines[1024].size(), 114 + 1);
}

void TestBankFiles::sourceLineOfFirstParameter() {
    ConfigImage image;
    image.putByte(ImageOffset::Ip, 0xAB);
    image.putByte(ImageOffset::Ip + 1, 0x0A);
    const QList<QByteArray> lines = renderBankSource(image).split('\n');
    // Offset 15000 = 16 x 937 + 8: the ninth value of data line 937, line 939 of the file.
    QCOMPARE(lines[938], QByteArray(17, ' ') + QByteArray(" 0x00,").repeated(8) + " 0xAB, 0x0A," +
                             QByteArray(" 0x00,").repeated(6) + "\r");
}

void TestBankFiles::buildWritesBothFiles() {
    Project project;
    writeAll(project.paths.PargenFile, pargenText({"TCP_IP1=192", "TCP_IP2=168", "TCP_IP4=10"}));
    FixedClock clock;
    ConfigImage image;
    QCOMPARE(BuildBankFiles(image, project.paths, clock), std::nullopt);
    const QByteArray bin = readAll(project.bin());
    QCOMPARE(bin.size(), 16384);
    QCOMPARE(bin.mid(15000, 4), QByteArray::fromHex("C0A8000A"));
    QVERIFY(bin == image.toByteArray());
    QVERIFY(readAll(project.source()) == expectedSource(bin));
    QCOMPARE(project.binEntries(), (QStringList{"bank1.bin", "bankg.c"}));
    QCOMPARE(bankBinPath(project.paths.ProjectDir), QDir::toNativeSeparators(project.bin()));
    QCOMPARE(bankSourcePath(project.paths.ProjectDir), QDir::toNativeSeparators(project.source()));
}

void TestBankFiles::failedBuildWritesNothing_data() {
    QTest::addColumn<bool>("previousFiles");
    QTest::addColumn<QByteArray>("pargen"); // null: no file
    QTest::newRow("no pargen.xml") << false << QByteArray();
    QTest::newRow("broken pargen.xml") << false << QByteArray("<General_Parameter>");
    QTest::newRow("value out of range") << false << pargenText({"MODE=2"});
    QTest::newRow("previous files kept, broken") << true << QByteArray("<General_Parameter>");
    QTest::newRow("previous files kept, missing element") << true << pargenText({"TIME_OUT"});
}

void TestBankFiles::failedBuildWritesNothing() {
    QFETCH(bool, previousFiles);
    QFETCH(QByteArray, pargen);
    Project project;
    if (previousFiles) {
        writeAll(project.bin(), "old image");
        writeAll(project.source(), "old source");
    }
    if (!pargen.isNull())
        writeAll(project.paths.PargenFile, pargen);
    FixedClock clock;
    ConfigImage image = patternImage();
    QVERIFY(BuildBankFiles(image, project.paths, clock).has_value());
    if (previousFiles) {
        QCOMPARE(readAll(project.bin()), QByteArray("old image"));
        QCOMPARE(readAll(project.source()), QByteArray("old source"));
        QCOMPARE(project.binEntries(), (QStringList{"bank1.bin", "bankg.c"}));
    } else {
        QCOMPARE(project.binEntries(), QStringList());
    }
}

void TestBankFiles::missingBinDirectory() {
    Project project(false);
    const QString binPath = QDir::toNativeSeparators(project.bin());
    const QString sourcePath = QDir::toNativeSeparators(project.source());
    const std::optional<QString> bin = WriteBankBin(ConfigImage(), project.paths.ProjectDir);
    const std::optional<QString> source = WriteBankSource(ConfigImage(), project.paths.ProjectDir);
    QVERIFY2(bin.value_or(QString()).startsWith("Cannot create file \"" + binPath + "\". "),
             qPrintable(*bin));
    QVERIFY2(source.value_or(QString()).startsWith("Cannot create file \"" + sourcePath + "\". "),
             qPrintable(*source));
    QVERIFY(!QFileInfo::exists(project.dir.filePath("bin")));
}

void TestBankFiles::unwritableBankBinStops() {
    Project project;
    QVERIFY(QDir(project.dir.path()).mkpath("bin/bank1.bin")); // a directory where the file belongs
    writeAll(project.paths.PargenFile, pargenText());
    FixedClock clock;
    ConfigImage image;
    const std::optional<QString> failure = BuildBankFiles(image, project.paths, clock);
    QVERIFY(failure.value_or(QString()).startsWith("Cannot create file \"" +
                                                   QDir::toNativeSeparators(project.bin()) + "\". "));
    QVERIFY(!QFileInfo::exists(project.source()));
}

QTEST_GUILESS_MAIN(TestBankFiles)
#include "tst_bankfiles.moc"
