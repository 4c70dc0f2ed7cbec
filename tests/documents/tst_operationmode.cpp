#include "documents/OperationMode.h"
#include "tests/support/TestSupport.h"

#include <QTest>

using namespace tessaly;

class TestOperationMode : public QObject {
    Q_OBJECT
private slots:
    void enablement_data();
    void enablement();
};

void TestOperationMode::enablement_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("expected"); // -1 unchanged, 0 disabled, 1 enabled
    const QByteArray head = "<General_Parameter><TCP_IP1>0</TCP_IP1>";
    QTest::newRow("routing") << head + "<MODE>0</MODE></General_Parameter>" << 0;
    QTest::newRow("nat") << head + "<MODE>1</MODE></General_Parameter>" << 1;
    QTest::newRow("any other integer") << head + "<MODE>7</MODE></General_Parameter>" << 1;
    QTest::newRow("hex zero") << head + "<MODE>$0</MODE></General_Parameter>" << 0;
    QTest::newRow("not a number") << head + "<MODE>zero</MODE></General_Parameter>" << 1;
    QTest::newRow("no MODE") << head + "</General_Parameter>" << 1;
    QTest::newRow("nested MODE") << head + "<MODE><a>0</a></MODE></General_Parameter>" << 1;
    QTest::newRow("other root") << QByteArray("<Other><MODE>0</MODE></Other>") << 1;
    QTest::newRow("root after comment") << QByteArray("<!-- c --><General_Parameter><MODE>0</MODE></General_Parameter>")
                                        << 0;
    QTest::newRow("first MODE wins") << head + "<MODE>0</MODE><MODE>1</MODE></General_Parameter>" << 0;
    QTest::newRow("not well-formed") << QByteArray("<General_Parameter><MODE>0</MODE>") << -1;
    QTest::newRow("no file") << QByteArray() << -1;
}

void TestOperationMode::enablement() {
    QFETCH(QByteArray, document);
    QFETCH(int, expected);
    test::ProgramDir dir;
    const QString path = dir.file(QStringLiteral("pargen.xml"));
    if (!document.isEmpty())
        test::writeAll(path, document);
    const auto enabled = translateTableEnabledFor(path);
    QCOMPARE(enabled.has_value() ? int(*enabled) : -1, expected);
}

QTEST_GUILESS_MAIN(TestOperationMode)
#include "tst_operationmode.moc"
