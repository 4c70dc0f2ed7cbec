#include "app/MainWindow.h"
#include "tests/image/PargenText.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

struct Harness {
    RecordingMessages messages;
    ScriptedPickers pickers;
    ScriptedDialogs dialogs;
    FixedClock clock;
    ProgramDir dir;
    std::unique_ptr<TFTessalyeFirmWare> window;
    QStringList labelWhileBuilding;

    void start() {
        window = std::make_unique<TFTessalyeFirmWare>(
            dir.path(), GuiPlatform{messages, pickers, dialogs, [](const QUrl&) {}, clock});
        clock.onRead = [this] { labelWhileBuilding << window->Labelstate->text(); };
    }

    // New project through its dialog; the default document is put in by hand here.
    void newProject(const QString& name, const QByteArray& pargen) {
        dialogs.script("TFsaveproj", [name](QDialog& dialog) {
            QTest::keyClicks(dialog.findChild<QLineEdit*>("Edit1"), name);
            QTest::mouseClick(dialog.findChild<QPushButton*>("bitbtn1"), Qt::LeftButton);
        });
        QTest::mouseClick(window->findChild<QPushButton*>("New"), Qt::LeftButton);
        QVERIFY(QFileInfo(dir.file("PROJECTS/" + name + "/bin")).isDir());
        writeAll(dir.file("PROJECTS/" + name + "/pargen.xml"), pargen);
    }

    void updateDevice() { QTest::mouseClick(window->findChild<QPushButton*>("CreateBin"), Qt::LeftButton); }
    QString state() const { return window->findChild<QLabel*>("Labelstate")->text(); }
};

} // namespace

class TestUpdateDevice : public QObject {
    Q_OBJECT
private slots:
    void freshProject();
    void brokenPargen_data();
    void brokenPargen();
    void noProject();
    void projectGone();
};

void TestUpdateDevice::freshProject() {
    Harness h;
    h.start();
    h.newProject("Plant2", pargenText());
    QCOMPARE(h.state(), QString("---"));
    h.updateDevice();

    // The firmware dialog follows the build; this program directory has no reference firmware.
    QCOMPARE(h.messages.shown, QStringList{"Error file sx48316.sx not found"});
    QCOMPARE(h.labelWhileBuilding, QStringList{"Wait.."});
    QCOMPARE(h.state(), QString("--"));
    const QByteArray bin = readAll(h.dir.file("PROJECTS/Plant2/bin/bank1.bin"));
    QCOMPARE(bin.size(), 16384);
    QCOMPARE(
        bin.mid(15000, 53).toHex(' '),
        QByteArray::fromHex("00000000 FFFFFF00 00000000 F601 686172626F72 0000000000000000 6772616E697465"
                            "00000000000000 03 00 E803 0000 01 AED4 9879")
            .toHex(' '));
    QCOMPARE(readAll(h.dir.file("PROJECTS/Plant2/bin/bankg.c")).size(), 117824);
    QCOMPARE(h.dialogs.ran, (QStringList{"TFsaveproj", "TFModifyFileSx"}));
}

void TestUpdateDevice::brokenPargen_data() {
    QTest::addColumn<QByteArray>("pargen");
    QTest::addColumn<QString>("error"); // %1 is the document
    QTest::newRow("not well-formed") << QByteArray("<General_Parameter><TCP_IP1>1</TCP_IP1>")
                                     << QString("The configuration image was not built. \"%1\": ");
    QTest::newRow("missing element") << pargenText({"MODE"})
                                     << QString(
                                            "The configuration image was not built. \"%1\": element MODE is "
                                            "missing.");
    QTest::newRow("octet out of range")
        << pargenText({"TCP_IP3=256"})
        << QString(
               "The configuration image was not built. \"%1\": element TCP_IP3 holds \"256\", which is not "
               "allowed (allowed: 0 to 255).");
}

void TestUpdateDevice::brokenPargen() {
    QFETCH(QByteArray, pargen);
    QFETCH(QString, error);
    Harness h;
    h.start();
    h.newProject("Plant2", pargenText());
    h.updateDevice();
    const QByteArray previousBin = readAll(h.dir.file("PROJECTS/Plant2/bin/bank1.bin"));
    const QByteArray previousSource = readAll(h.dir.file("PROJECTS/Plant2/bin/bankg.c"));
    QCOMPARE(previousBin.size(), 16384);

    writeAll(h.dir.file("PROJECTS/Plant2/pargen.xml"), pargen);
    h.clock.now = h.clock.now.addDays(1);
    h.labelWhileBuilding.clear();
    h.messages = {};
    h.dialogs.ran.clear();
    h.updateDevice();

    QCOMPARE(h.messages.errors.size(), 1);
    const QString expected = error.arg(QDir::toNativeSeparators(h.dir.file("PROJECTS/Plant2/pargen.xml")));
    QVERIFY2(h.messages.errors[0].startsWith(expected), qPrintable(h.messages.errors[0]));
    QCOMPARE(h.state(), QString("--"));
    QVERIFY(readAll(h.dir.file("PROJECTS/Plant2/bin/bank1.bin")) == previousBin);
    QVERIFY(readAll(h.dir.file("PROJECTS/Plant2/bin/bankg.c")) == previousSource);
    QCOMPARE(QDir(h.dir.file("PROJECTS/Plant2/bin")).count(), 4u); // ".", "..", and the two files
    QCOMPARE(h.dialogs.ran, QStringList()); // nothing to flash: the firmware step is not reached
}

void TestUpdateDevice::noProject() {
    Harness h;
    h.start();
    h.updateDevice(); // the project directory is PROJECTS itself, which has no pargen.xml
    QCOMPARE(h.messages.errors, QStringList{"The configuration image was not built. Cannot open file \"" +
                                            QDir::toNativeSeparators(h.dir.file("PROJECTS/pargen.xml")) +
                                            "\". " + missingFileReason()});
    QCOMPARE(h.state(), QString("--"));
    QVERIFY(!QFileInfo::exists(h.dir.file("PROJECTS/bin")));
}

void TestUpdateDevice::projectGone() {
    Harness h;
    h.start();
    h.newProject("Plant2", pargenText({}));
    QVERIFY(QDir(h.dir.file("PROJECTS/Plant2")).removeRecursively());
    h.pickers.answers.push_back(QString()); // Open project, cancelled: no project now
    QTest::mouseClick(h.window->findChild<QPushButton*>("open"), Qt::LeftButton);
    h.messages.shown.clear();
    h.dialogs.ran.clear();
    h.updateDevice();
    QCOMPARE(h.messages.shown, QStringList{"Project not valid"});
    QCOMPARE(h.dialogs.ran, QStringList());
}

QTEST_MAIN(TestUpdateDevice)
#include "tst_updatedevice.moc"
