#include "documents/ParseInt32.h"

#include <QTest>

using tessaly::ParseInt32;

class TestParseInt32 : public QObject {
    Q_OBJECT
private slots:
    void accepts_data();
    void accepts();
    void refuses_data();
    void refuses();
};

void TestParseInt32::accepts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("decimal") << "1000" << 1000;
    QTest::newRow("leading blanks") << "   1000" << 1000;
    QTest::newRow("plus") << "+1000" << 1000;
    QTest::newRow("minus") << "-5" << -5;
    QTest::newRow("blanks then sign") << "  -7" << -7;
    QTest::newRow("leading zeros") << "0100" << 100;
    QTest::newRow("int max") << "2147483647" << 2147483647;
    QTest::newRow("int min") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("many leading zeros") << "000000000000042" << 42;
    QTest::newRow("dollar") << "$3E8" << 1000;
    QTest::newRow("x") << "x3e8" << 1000;
    QTest::newRow("X") << "X3E8" << 1000;
    QTest::newRow("0x") << "0x3E8" << 1000;
    QTest::newRow("0X") << "0X3e8" << 1000;
    QTest::newRow("blank then hex") << " $10" << 16;
    QTest::newRow("negated hex") << "-$10" << -16;
    QTest::newRow("plus hex") << "+0x10" << 16;
    QTest::newRow("hex two's complement") << "$FFFFFFFF" << -1;
    QTest::newRow("hex int min") << "0x80000000" << int(-2147483647 - 1);
    QTest::newRow("negated hex int min") << "-$80000000" << int(-2147483647 - 1);
    QTest::newRow("hex eight digits") << "$7FFFFFFF" << 2147483647;
    QTest::newRow("hex leading zeros") << "$00000001" << 1;
    QTest::newRow("one hex digit") << "xF" << 15;
}

void TestParseInt32::accepts() {
    QFETCH(QString, text);
    QFETCH(int, value);
    const auto parsed = ParseInt32(text);
    QVERIFY2(parsed.has_value(), qPrintable(text));
    QCOMPARE(*parsed, value);
}

void TestParseInt32::refuses_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("sign only") << "-";
    QTest::newRow("trailing blank") << "1000 ";
    QTest::newRow("letter after digits") << "12a";
    QTest::newRow("letters") << "abc";
    QTest::newRow("tab before") << "\t5";
    QTest::newRow("two signs") << "+-5";
    QTest::newRow("blank after sign") << "- 5";
    QTest::newRow("above int max") << "2147483648";
    QTest::newRow("below int min") << "-2147483649";
    QTest::newRow("huge") << "99999999999999999999";
    QTest::newRow("hex prefix only") << "$";
    QTest::newRow("0x only") << "0x";
    QTest::newRow("nine hex digits") << "$100000000";
    QTest::newRow("nine hex digits with zeros") << "0x000000001";
    QTest::newRow("bad hex digit") << "$1G";
    QTest::newRow("hex trailing blank") << "$10 ";
    QTest::newRow("decimal point") << "1.5";
    QTest::newRow("double prefix") << "$0x1";
    QTest::newRow("full-width digit") << QString::fromUtf8("\xef\xbc\x91");
    QTest::newRow("arabic-indic digit") << QString::fromUtf8("\xd9\xa1");
    QTest::newRow("nul") << QString(QChar(0));
}

void TestParseInt32::refuses() {
    QFETCH(QString, text);
    QVERIFY2(!ParseInt32(text).has_value(), qPrintable(text));
}

QTEST_APPLESS_MAIN(TestParseInt32)
#include "tst_parseint32.moc"
