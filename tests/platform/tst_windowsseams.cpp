// The Windows halves of the platform seams: the program start's raw ANSI command line,
// ICMP echo through the IP Helper, the per-user folder for every user name and the
// settings file's code page.
#include "firmware/FlashToolCall.h"
#include "platform/IcmpEcho.h"
#include "platform/ProgramDirectory.h"
#include "platform/SystemProgramLauncher.h"
#include "tests/support/TestSupport.h"
#include "workspace/SettingsFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <windows.h>

using namespace tessaly;

class TestWindowsSeams : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QByteArray recordedCommandLine(const QString& recorder, const QByteArray& parameter, bool wait) {
        const QString record = dir_.filePath(QStringLiteral("record.txt"));
        QFile::remove(record);
        qputenv("RECORD_COMMAND_LINE", QDir::toNativeSeparators(record).toLocal8Bit());
        if (wait) {
            const std::variant<int, QString> ended = runProgramAndWait(recorder, parameter);
            if (!std::holds_alternative<int>(ended))
                qWarning("%s", qPrintable(std::get<QString>(ended)));
            [&] { QCOMPARE(std::get<int>(ended), 7); }();
        } else {
            const auto failure = createSystemProgramLauncher()->start(recorder, parameter);
            [&] { QVERIFY2(!failure, qPrintable(failure.value_or(QString()))); }();
            QElapsedTimer waited;
            waited.start();
            while (QFileInfo(record).size() == 0 && waited.elapsed() < 20000)
                QTest::qWait(50);
        }
        return test::readAll(record);
    }

private slots:
    void flashToolCommandLine_data() {
        QTest::addColumn<bool>("wait");
        QTest::newRow("started") << false;
        QTest::newRow("waited for") << true;
    }
    // The flashing tool gets "<program>" and then the parameter string: a quote, the
    // path in the ANSI code page, a quote, 0xB6 and the port index.
    void flashToolCommandLine() {
        QFETCH(bool, wait);
        const QString recorder = QStringLiteral(RECORD_COMMANDLINE_EXE);
        const QByteArray parameter =
            flashToolParameter(QStringLiteral("C:\\M\xfcller\\Out\\"), QStringLiteral("New_sx48316.sx"), 2);
        QCOMPARE(parameter, QByteArray("\"C:\\M\xfcller\\Out\\New_sx48316.sx\"\xb6"
                                       "2"));
        const QByteArray expected =
            '"' + QDir::toNativeSeparators(recorder).toLocal8Bit() + "\" " + parameter;
        QCOMPARE(recordedCommandLine(recorder, parameter, wait), expected);
    }

    void missingProgramIsReported() {
        const QString missing = dir_.filePath(QStringLiteral("FlashWrite.exe"));
        const auto failure = createSystemProgramLauncher()->start(missing, "x");
        QVERIFY(failure);
        QVERIFY2(failure->startsWith(
                     QStringLiteral("Cannot start \"%1\". ").arg(QDir::toNativeSeparators(missing))),
                 qPrintable(*failure));
    }

    void echoToLoopback() {
        const auto echo = createSystemIcmpEcho();
        int bytes = -1;
        echo->ping(QStringLiteral("127.0.0.1"), QStringLiteral("abcdefgh"), 5000,
                   [&](const IcmpReplyStatus& status) { bytes = status.BytesReceived; });
        QCOMPARE(bytes, 8 + 8);
        QVERIFY_THROWS_EXCEPTION(IcmpEchoError,
                                 echo->ping(QStringLiteral("no-such-host.invalid"), {}, 1000, {}));
    }

    // The same words as on Linux, not Windows's "Invalid network name".
    void echoRefusesUnspecifiedAddress_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("dotted") << "0.0.0.0";
        QTest::newRow("one number") << "0";
    }
    void echoRefusesUnspecifiedAddress() {
        QFETCH(QString, host);
        try {
            createSystemIcmpEcho()->ping(host, {}, 1000, {});
            QFAIL("no error for the unspecified address");
        } catch (const IcmpEchoError& error) {
            QCOMPARE(QString::fromStdString(error.what()), unspecifiedAddressText(host));
        }
    }

    void perUserFolderIsInLocalAppData() {
        const QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
        QVERIFY(!local.isEmpty());
        QCOMPARE(perUserProgramDirectory(), QDir::toNativeSeparators(local + QStringLiteral("/tessaly")));
    }

    // The tool in a per-user folder must be a program Windows can start, not a shell
    // link; a tool the user put there is kept.
    void perUserToolIsTheInstalledFile() {
        const QString install = dir_.filePath(QStringLiteral("install"));
        const QString user = dir_.filePath(QStringLiteral("user"));
        QDir().mkpath(install + QStringLiteral("/MASTER"));
        test::writeAll(install + QStringLiteral("/FlashWrite.exe"), "MZ tool");
        QVERIFY(!preparePerUserProgramDirectory(user, install, {QStringLiteral("FlashWrite.exe")}));
        QCOMPARE(test::readAll(user + QStringLiteral("/FlashWrite.exe")), QByteArray("MZ tool"));
        test::writeAll(user + QStringLiteral("/FlashWrite.exe"), "MZ real tool");
        QVERIFY(!preparePerUserProgramDirectory(user, install, {QStringLiteral("FlashWrite.exe")}));
        QCOMPARE(test::readAll(user + QStringLiteral("/FlashWrite.exe")), QByteArray("MZ real tool"));
    }

    void perUserFolderForEveryUserName_data() {
        QTest::addColumn<QString>("user");
        QTest::newRow("Czech") << "\u010Cen\u011Bk Dvo\u0159\u00E1k";
        QTest::newRow("Russian") << "\u0414\u043C\u0438\u0442\u0440\u0438\u0439";
        QTest::newRow("Chinese") << "\u5DE5\u7A0B";
    }
    // A user name outside the ANSI code page gets its folder there, and nothing is made
    // under a look-alike name beside it.
    void perUserFolderForEveryUserName() {
        QFETCH(QString, user);
        QTemporaryDir users;
        const QString install = dir_.filePath(QStringLiteral("install"));
        QDir().mkpath(install + QStringLiteral("/MASTER"));
        test::writeAll(install + QStringLiteral("/MASTER/sx48316.sx"), "S9030000FC\r\n");
        test::writeAll(install + QStringLiteral("/FlashWrite.exe"), "MZ tool");
        const QString local = users.filePath(user + QStringLiteral("/AppData/Local"));
        const QString perUser = QDir::toNativeSeparators(local + QStringLiteral("/tessaly"));
        const auto failure =
            preparePerUserProgramDirectory(perUser, install, {QStringLiteral("FlashWrite.exe")});
        QVERIFY2(!failure, qPrintable(failure.value_or(QString())));
        QCOMPARE(test::readAll(local + QStringLiteral("/tessaly/MASTER/sx48316.sx")),
                 QByteArray("S9030000FC\r\n"));
        QCOMPARE(test::readAll(local + QStringLiteral("/tessaly/FlashWrite.exe")), QByteArray("MZ tool"));
        QCOMPARE(QDir(users.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{user});
    }

    // The settings file is written in the ANSI code page (1252 here); a character that
    // the code page cannot hold leaves the file alone instead of turning into '?'.
    void settingsFileInAnsiCodePage() {
        QCOMPARE(::GetACP(), 1252u);
        const QString path = dir_.filePath(QStringLiteral("Tessaly.ini"));
        test::writeAll(path, "[Tessaly]\r\nprojectname=\\M\xfcller\r\n");
        SettingsFile file = SettingsFile::load(path);
        QCOMPARE(file.value(QStringLiteral("Tessaly"), QStringLiteral("projectname")),
                 QStringLiteral("\\M\u00fcller"));
        file.setValue(QStringLiteral("Tessaly"), QStringLiteral("projectname"),
                      QStringLiteral("\\Gr\u00fc\u00dfe"));
        QVERIFY(!file.save(path));
        QCOMPARE(test::readAll(path), QByteArray("[Tessaly]\r\nprojectname=\\Gr\xfc\xdf"
                                                 "e\r\n"));
        file.setValue(QStringLiteral("Tessaly"), QStringLiteral("projectname"), QStringLiteral("\\\u0416"));
        QVERIFY(file.save(path));
        QCOMPARE(test::readAll(path), QByteArray("[Tessaly]\r\nprojectname=\\Gr\xfc\xdf"
                                                 "e\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestWindowsSeams)
#include "tst_windowsseams.moc"
