#include "platform/Contrast.h"

#include <QTest>

using namespace tessaly;

class TestContrast : public QObject {
    Q_OBJECT
private slots:
    void ratio_data();
    void ratio();
    void readable_data();
    void readable();
};

void TestContrast::ratio_data() {
    QTest::addColumn<QColor>("a");
    QTest::addColumn<QColor>("b");
    QTest::addColumn<double>("expected");
    // Values of the WCAG definition.
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("white on black") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::newRow("same") << QColor(0x80, 0x40, 0x20) << QColor(0x80, 0x40, 0x20) << 1.0;
    QTest::newRow("#777 on white") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.48;
    QTest::newRow("white on #F8F7ED") << QColor(Qt::white) << QColor(0xF8, 0xF7, 0xED) << 1.08;
    QTest::newRow("blue on #222020") << QColor(Qt::blue) << QColor(0x22, 0x20, 0x20) << 1.89;
}

void TestContrast::ratio() {
    QFETCH(QColor, a);
    QFETCH(QColor, b);
    QFETCH(double, expected);
    QCOMPARE(qRound(contrastRatio(a, b) * 100) / 100.0, expected);
}

void TestContrast::readable_data() {
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("preferred");
    QTest::addColumn<bool>("kept");
    QTest::newRow("black on the dialog's colour") << QColor(0xF8, 0xF7, 0xED) << QColor(Qt::black) << true;
    QTest::newRow("darker's link") << QColor(0x22, 0x20, 0x20) << QColor(0x09, 0x86, 0xD3) << false;
    QTest::newRow("white on red") << QColor(Qt::red) << QColor(Qt::white) << false;
    QTest::newRow("blue on white") << QColor(Qt::white) << QColor(Qt::blue) << true;
}

void TestContrast::readable() {
    QFETCH(QColor, background);
    QFETCH(QColor, preferred);
    QFETCH(bool, kept);
    const QColor chosen = readableOn(background, preferred);
    QCOMPARE(chosen == preferred, kept);
    QVERIFY(contrastRatio(chosen, background) >= MinimumTextContrast);
}

QTEST_GUILESS_MAIN(TestContrast)
#include "tst_contrast.moc"
