#include "documents/GeneralParameters.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/AtomicFile.h"
#include "tests/support/TestSupport.h"

#include <QTest>

using namespace tessaly;
using test::ProgramDir;
using test::readAll;
using test::writeAll;

namespace {
const char* const DefaultDocument =
    "<General_Parameter><TCP_IP1>0</TCP_IP1><TCP_IP2>0</TCP_IP2><TCP_IP3>0</TCP_IP3><TCP_IP4>0</TCP_IP4>"
    "<TCP_SUB1>255</TCP_SUB1><TCP_SUB2>255</TCP_SUB2><TCP_SUB3>255</TCP_SUB3><TCP_SUB4>0</TCP_SUB4>"
    "<TCP_GAT1>0</TCP_GAT1><TCP_GAT2>0</TCP_GAT2><TCP_GAT3>0</TCP_GAT3><TCP_GAT4>0</TCP_GAT4>"
    "<TCP_PORT>502</TCP_PORT><SNMP_PUBLIC>harbor</SNMP_PUBLIC><SNMP_PRIVATE>granite</SNMP_PRIVATE>"
    "<BAUD>3</BAUD><PARITY>0</PARITY><TIME_OUT>1000</TIME_OUT><OFFSET>0</OFFSET><MODE>1</MODE>"
    "</General_Parameter>";

// The default document with some elements replaced ("NAME=text") or left out ("NAME").
QByteArray documentWith(const QStringList& changes) {
    QByteArray document = DefaultDocument;
    for (const QString& change : changes) {
        const QString name = change.section('=', 0, 0);
        const qsizetype start = document.indexOf("<" + name.toUtf8() + ">");
        const QByteArray close = "</" + name.toUtf8() + ">";
        const qsizetype end = document.indexOf(close, start) + close.size();
        const QByteArray replacement =
            change.contains('=') ? "<" + name.toUtf8() + ">" + change.section('=', 1).toUtf8() + close : "";
        document.replace(start, end - start, replacement);
    }
    return document;
}

// The document every fallback gives: a file that holds no readable element.
QByteArray fallbackDocument() {
    return documentWith({"SNMP_PUBLIC=", "SNMP_PRIVATE="});
}

GeneralParameters parametersWith(const QStringList& changes) {
    ProgramDir dir;
    const QString path = dir.file("pargen.xml");
    writeAll(path, documentWith(changes));
    return ReadGeneralParameters(path).parameters;
}
} // namespace

class TestGeneralParameters : public QObject {
    Q_OBJECT
private slots:
    void defaultDocument();
    void readBack_data();
    void readBack();
    void readValues();
    void unreadableDocument_data();
    void unreadableDocument();
    void writeFailureKeepsPreviousFile();
    void blanksAndLineEndsReadBack_data();
    void blanksAndLineEndsReadBack();
    void validation_data();
    void validation();
};

void TestGeneralParameters::defaultDocument() {
    QCOMPARE(generalParametersDocument(GeneralParameters{}).value(), QByteArray(DefaultDocument));
    ProgramDir dir;
    const QString path = dir.file("pargen.xml");
    writeAll(path, "old content that is longer than nothing");
    QCOMPARE(WriteGeneralParameters(GeneralParameters{}, path), std::optional<QString>());
    QCOMPARE(readAll(path), QByteArray(DefaultDocument));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"pargen.xml"});
}

// What a read followed by a write makes of a stored file.
void TestGeneralParameters::readBack_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("written");
    const auto with = documentWith;
    QTest::newRow("no file") << QByteArray() << QByteArray(DefaultDocument);
    QTest::newRow("default") << QByteArray(DefaultDocument) << QByteArray(DefaultDocument);
    QTest::newRow("SNMP_PUBLIC missing")
        << with({"SNMP_PUBLIC", "TCP_IP1=10", "TCP_PORT=1502", "SNMP_PRIVATE=secret", "MODE=0"})
        << with({"SNMP_PUBLIC=", "TCP_IP1=10", "TCP_PORT=1502", "SNMP_PRIVATE=secret", "MODE=0"});
    QTest::newRow("other root") << QByteArray("<Other><TCP_IP1>9</TCP_IP1><MODE>0</MODE></Other>")
                                << fallbackDocument();
    QTest::newRow("root below declaration and comment")
        << QByteArray(
               "<?xml version=\"1.0\"?><!-- x --><General_Parameter><TCP_IP1>7</TCP_IP1></General_Parameter>")
        << with({"TCP_IP1=7", "SNMP_PUBLIC=", "SNMP_PRIVATE="});
    QTest::newRow("every element missing") << QByteArray("<General_Parameter/>") << fallbackDocument();
    QTest::newRow("PARITY 1 is NONE") << with({"PARITY=1"}) << with({"PARITY=0"});
    QTest::newRow("PARITY 3 is ODD") << with({"PARITY=3"}) << with({"PARITY=3"});
    QTest::newRow("PARITY 2 is EVEN") << with({"PARITY=2"}) << with({"PARITY=2"});
    QTest::newRow("PARITY hex 3") << with({"PARITY=$3"}) << with({"PARITY=3"});
    QTest::newRow("PARITY letters") << with({"PARITY=odd"}) << with({"PARITY=0"});
    QTest::newRow("MODE 7") << with({"MODE=7"}) << with({"MODE=1"});
    QTest::newRow("MODE -1") << with({"MODE=-1"}) << with({"MODE=1"});
    QTest::newRow("MODE 0") << with({"MODE=0"}) << with({"MODE=0"});
    QTest::newRow("MODE not an integer") << with({"MODE=0 "}) << with({"MODE=1"});
    QTest::newRow("BAUD 9") << with({"BAUD=9"}) << with({"BAUD=-1"});
    QTest::newRow("BAUD -1") << with({"BAUD=-1"}) << with({"BAUD=-1"});
    QTest::newRow("BAUD 7") << with({"BAUD=7"}) << with({"BAUD=7"});
    QTest::newRow("BAUD 0x0") << with({"BAUD=0x0"}) << with({"BAUD=0"});
    QTest::newRow("BAUD letters") << with({"BAUD=fast"}) << with({"BAUD=3"});
    QTest::newRow("TCP_PORT empty") << with({"TCP_PORT="}) << QByteArray(DefaultDocument);
    QTest::newRow("TCP_PORT unbounded") << with({"TCP_PORT=70000"}) << with({"TCP_PORT=70000"});
    QTest::newRow("TCP_PORT negative hex") << with({"TCP_PORT=-$5"}) << with({"TCP_PORT=-5"});
    QTest::newRow("TCP_IP1 empty") << with({"TCP_IP1="}) << with({"TCP_IP1="});
    QTest::newRow("TCP_IP1 verbatim") << with({"TCP_IP1=300", "TCP_IP2=ab", "TCP_IP3= 07", "TIME_OUT=x"})
                                      << with({"TCP_IP1=300", "TCP_IP2=ab", "TCP_IP3= 07", "TIME_OUT=x"});
    QTest::newRow("community names cut to 13")
        << with({"SNMP_PUBLIC=abcdefghijklmnopqrst", "SNMP_PRIVATE=0123456789abc"})
        << with({"SNMP_PUBLIC=abcdefghijklm", "SNMP_PRIVATE=0123456789abc"});
    QTest::newRow("community names cut at characters, not halves")
        << with({"SNMP_PUBLIC=abcdefghijkl\xF0\x9F\x98\x80xyz", "SNMP_PRIVATE=abcdefghijklm\xF0\x9F\x98\x80"})
        << with({"SNMP_PUBLIC=abcdefghijkl\xF0\x9F\x98\x80", "SNMP_PRIVATE=abcdefghijklm"});
    QTest::newRow("markup in a name")
        << with({"SNMP_PUBLIC=a&amp;b&lt;c"}) << with({"SNMP_PUBLIC=a&amp;b&lt;c"});
    QTest::newRow("CDATA") << with({"TCP_SUB3=<![CDATA[254]]>"}) << with({"TCP_SUB3=254"});
    QTest::newRow("non-ASCII name") << with({"SNMP_PRIVATE=gr\xc3\xa4nit"})
                                    << with({"SNMP_PRIVATE=gr\xc3\xa4nit"});
    QTest::newRow("nested element falls back")
        << with({"TCP_SUB1=<v>1</v>", "TCP_GAT1=1<!-- c -->"}) << QByteArray(DefaultDocument);
    QTest::newRow("first of two wins")
        << QByteArray(DefaultDocument)
               .replace("<TCP_PORT>502</TCP_PORT>", "<TCP_PORT>1</TCP_PORT><TCP_PORT>2</TCP_PORT>")
        << with({"TCP_PORT=1"});
    QTest::newRow("extra elements dropped")
        << QByteArray(DefaultDocument).replace("<MODE>", "<EXTRA>1</EXTRA><tcp_port>9</tcp_port><MODE>")
        << QByteArray(DefaultDocument);
    QTest::newRow("order does not matter")
        << QByteArray("<General_Parameter><MODE>0</MODE><SNMP_PRIVATE>b</SNMP_PRIVATE>"
                      "<SNMP_PUBLIC>a</SNMP_PUBLIC><TCP_IP4>4</TCP_IP4></General_Parameter>")
        << with({"MODE=0", "SNMP_PRIVATE=b", "SNMP_PUBLIC=a", "TCP_IP4=4"});
}

void TestGeneralParameters::readBack() {
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, written);
    ProgramDir dir;
    const QString path = dir.file("pargen.xml");
    if (!stored.isEmpty())
        writeAll(path, stored);
    const LoadedGeneralParameters loaded = ReadGeneralParameters(path);
    QCOMPARE(loaded.error, QString());
    QCOMPARE(WriteGeneralParameters(loaded.parameters, path), std::optional<QString>());
    QCOMPARE(readAll(path), written);
}

void TestGeneralParameters::readValues() {
    const GeneralParameters p =
        parametersWith({"TCP_IP1= 10", "BAUD=7", "PARITY=3", "MODE=0", "SNMP_PUBLIC", "TIME_OUT=$10"});
    QCOMPARE(p.TCP_IP1, QString(" 10"));
    QCOMPARE(p.BAUD, 7);
    QCOMPARE(p.PARITY, Parity::Odd);
    QCOMPARE(p.MODE, OperationMode::Routing);
    QCOMPARE(p.SNMP_PUBLIC, QString());
    QCOMPARE(p.SNMP_PRIVATE, QString("granite"));
    QCOMPARE(p.TIME_OUT, QString("$10"));
    QCOMPARE(parametersWith({"BAUD=8", "PARITY=2"}).BAUD, -1);
    QCOMPARE(parametersWith({"PARITY=2"}).PARITY, Parity::Even);
    QVERIFY(parametersWith({}) == GeneralParameters{});
}

void TestGeneralParameters::unreadableDocument_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("isDirectory");
    QTest::newRow("not well-formed") << QByteArray("<General_Parameter><MODE>0</MODE>") << false;
    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("a directory") << QByteArray() << true;
}

void TestGeneralParameters::unreadableDocument() {
    QFETCH(QByteArray, stored);
    QFETCH(bool, isDirectory);
    ProgramDir dir;
    const QString path = dir.file("pargen.xml");
    if (isDirectory)
        QVERIFY(QDir().mkdir(path));
    else
        writeAll(path, stored);
    const LoadedGeneralParameters loaded = ReadGeneralParameters(path);
    QVERIFY(!loaded.ok());
    QVERIFY2(loaded.error.contains(path), qPrintable(loaded.error));
    QVERIFY(loaded.parameters == GeneralParameters{});
}

void TestGeneralParameters::writeFailureKeepsPreviousFile() {
    ProgramDir dir;
    const std::optional<QString> missing = WriteGeneralParameters({}, dir.file("gone/pargen.xml"));
    QVERIFY(missing.has_value());
    QVERIFY2(missing->startsWith("Cannot create file \"" + dir.file("gone/pargen.xml") + "\". "),
             qPrintable(*missing));

    const QString path = dir.file("pargen.xml");
    writeAll(path, DefaultDocument);
    GeneralParameters control;
    control.SNMP_PUBLIC = QStringLiteral("a") + QChar(1);
    const std::optional<QString> unwritable = WriteGeneralParameters(control, path);
    QVERIFY(unwritable.has_value());
    QVERIFY(unwritable->startsWith("Cannot create file"));
    QCOMPARE(readAll(path), QByteArray(DefaultDocument));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"pargen.xml"});
}

void TestGeneralParameters::blanksAndLineEndsReadBack_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("element");
    QTest::newRow("empty") << QString() << QByteArray("<SNMP_PUBLIC></SNMP_PUBLIC>");
    QTest::newRow("blanks only") << QString("   ")
                                 << QByteArray("<SNMP_PUBLIC><![CDATA[   ]]></SNMP_PUBLIC>");
    QTest::newRow("line ends and tab only")
        << QString("\n\t\n") << QByteArray("<SNMP_PUBLIC><![CDATA[\n\t\n]]></SNMP_PUBLIC>");
    QTest::newRow("blanks around a word") << QString(" a ") << QByteArray("<SNMP_PUBLIC> a </SNMP_PUBLIC>");
    QTest::newRow("carriage return") << QString("a\rb\r")
                                     << QByteArray("<SNMP_PUBLIC>a&#13;b&#13;</SNMP_PUBLIC>");
    QTest::newRow("carriage return among blanks") << QString(" \r") << QByteArray();
}

// Whatever is written reads back as it was, or is refused with the previous file kept.
void TestGeneralParameters::blanksAndLineEndsReadBack() {
    QFETCH(QString, name);
    QFETCH(QByteArray, element);
    ProgramDir dir;
    const QString path = dir.file("pargen.xml");
    writeAll(path, DefaultDocument);
    GeneralParameters p;
    p.SNMP_PUBLIC = name;
    const std::optional<QString> error = WriteGeneralParameters(p, path);
    if (element.isEmpty()) {
        QCOMPARE(error, std::optional<QString>(cannotCreateFileMessage(path, UnwritableCharacterReason)));
        QCOMPARE(readAll(path), QByteArray(DefaultDocument));
        return;
    }
    QCOMPARE(error, std::optional<QString>());
    QCOMPARE(readAll(path),
             QByteArray(DefaultDocument).replace("<SNMP_PUBLIC>harbor</SNMP_PUBLIC>", element));
    QCOMPARE(ReadGeneralParameters(path).parameters.SNMP_PUBLIC, name);
}

void TestGeneralParameters::validation_data() {
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::newRow("defaults") << QStringList{} << QString();
    QTest::newRow("edges") << QStringList{"TCP_IP1=255",    "TCP_SUB4=$FF",   "TCP_GAT2=0x0",
                                          "TCP_PORT=65535", "TIME_OUT=65535", "OFFSET=65535"}
                           << QString();
    QTest::newRow("leading blank and zeros")
        << QStringList{"TCP_IP1= 192", "TCP_IP2=010", "TCP_PORT=1"} << QString();
    QTest::newRow("IP 256") << QStringList{"TCP_IP3=256"} << IpRangeMessage;
    QTest::newRow("IP -1") << QStringList{"TCP_IP4=-1"} << IpRangeMessage;
    QTest::newRow("IP trailing blank") << QStringList{"TCP_IP1=1 "} << IpRangeMessage;
    QTest::newRow("IP letter after digits") << QStringList{"TCP_IP2=1a"} << IpRangeMessage;
    QTest::newRow("IP empty") << QStringList{"TCP_IP1="} << IpRangeMessage;
    QTest::newRow("IP before mask") << QStringList{"TCP_SUB1=x", "TCP_IP4=x"} << IpRangeMessage;
    QTest::newRow("mask empty") << QStringList{"TCP_SUB2="} << SubnetMaskRangeMessage;
    QTest::newRow("mask before gateway")
        << QStringList{"TCP_SUB4=300", "TCP_GAT1=300"} << SubnetMaskRangeMessage;
    QTest::newRow("gateway") << QStringList{"TCP_GAT4=256"} << GatewayRangeMessage;
    QTest::newRow("gateway before port") << QStringList{"TCP_GAT1=-1", "TCP_PORT=0"} << GatewayRangeMessage;
    QTest::newRow("port 0") << QStringList{"TCP_PORT=0"} << PortRangeMessage;
    QTest::newRow("port 65536") << QStringList{"TCP_PORT=65536"} << PortRangeMessage;
    QTest::newRow("port -5") << QStringList{"TCP_PORT=-5"} << PortRangeMessage;
    QTest::newRow("port before time-out") << QStringList{"TCP_PORT=70000", "TIME_OUT=x"} << PortRangeMessage;
    QTest::newRow("time-out empty") << QStringList{"TIME_OUT="} << TimeOutMessage;
    QTest::newRow("time-out 65536") << QStringList{"TIME_OUT=65536"} << TimeOutMessage;
    QTest::newRow("time-out negative") << QStringList{"TIME_OUT=-1"} << TimeOutMessage;
    QTest::newRow("time-out before offset") << QStringList{"TIME_OUT=a", "OFFSET=a"} << TimeOutMessage;
    QTest::newRow("offset 65536") << QStringList{"OFFSET=$10000"} << OffsetMessage;
    QTest::newRow("offset negative") << QStringList{"OFFSET=-1"} << OffsetMessage;
    QTest::newRow("unchecked values")
        << QStringList{"BAUD=9", "PARITY=7", "MODE=5", "SNMP_PUBLIC="} << QString();
}

void TestGeneralParameters::validation() {
    QFETCH(QStringList, changes);
    QFETCH(QString, message);
    QCOMPARE(ValidateGeneralParameters(parametersWith(changes)).value_or(QString()), message);
}

QTEST_GUILESS_MAIN(TestGeneralParameters)
#include "tst_generalparameters.moc"
