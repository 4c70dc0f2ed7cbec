#include "firmware/BankWindow.h"
#include "tests/image/SRecordText.h"

#include <QBuffer>
#include <QTest>

using namespace tessaly;
using namespace tessaly::test;

namespace {

QByteArray bank() {
    QByteArray bytes(16384, '\0');
    for (int k = 0; k < bytes.size(); ++k)
        bytes[k] = char(k * 7 + (k >> 8));
    return bytes;
}

const QString File = "New_sx48316.sx";

} // namespace

class TestBankWindow : public QObject {
    Q_OBJECT
private slots:
    void readsWindow_data();
    void readsWindow();
    void refuses_data();
    void refuses();
    void tellsFileCutShort_data();
    void tellsFileCutShort();
    void recognisesSRecords();
};

void TestBankWindow::readsWindow_data() {
    QTest::addColumn<QByteArray>("text");
    const QByteArray b = bank();
    QTest::newRow("S2 records, CR LF") << firmwareWithBank(b);
    QTest::newRow("S2 records, LF") << firmwareWithBank(b, "\n");
    QTest::newRow("lower-case digits, trailing blanks")
        << firmwareWithBank(b).toLower().replace("s", "S").replace("\r\n", "  \r\n");

    QByteArray s3 = "S0030000FC\n";
    for (int k = 0; k < b.size(); k += 16)
        s3 += sRecord('3', 0x388000 + k, b.mid(k, 16)) + "\n";
    QTest::newRow("S3 records of 16 bytes") << s3 + "S70500000000FA\n";

    // Records that straddle both ends of the window, and one S1 record far below it.
    QByteArray straddling = sRecord('1', 0x1000, "abc") + "\n";
    straddling += sRecord('2', 0x387FF0, QByteArray(16, '\x55') + b.left(16)) + "\n";
    for (int k = 16; k < b.size() - 16; k += 32)
        straddling += sRecord('2', 0x388000 + k, b.mid(k, 32)) + "\n";
    straddling += sRecord('2', 0x38BFF0, b.right(16) + QByteArray(16, '\x66')) + "\n";
    QTest::newRow("records across the window's ends") << straddling;

    // Only the address of a record that cannot reach the window is read.
    QByteArray farDamaged = firmwareWithBank(b);
    const QByteArray far = sRecord('2', 0x398000, QByteArray(32, '\x22'));
    farDamaged.replace(far, far.left(20) + "G" + far.mid(21));
    QTest::newRow("damaged record far from the window") << farDamaged;
}

void TestBankWindow::readsWindow() {
    QFETCH(QByteArray, text);
    const BankWindowRead read = readBank1Window(text, File);
    QCOMPARE(read.error, QString());
    QVERIFY(read.bytes == bank());
}

void TestBankWindow::refuses_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray b = bank();
    const QByteArray good = firmwareWithBank(b);
    QTest::newRow("no window") << QByteArray("S00600004844521B\r\n" + sRecord('2', 0x398000, "x") +
                                             "\r\nS9030000FC\r\n")
                               << "\"" + File +
                                      "\" holds no configuration bank: it has no data for the addresses "
                                      "0x388000 to 0x38BFFF.";
    QByteArray partial = good;
    partial.replace(sRecord('2', 0x38A000, b.mid(0x2000, 32)) + "\r\n", "");
    QTest::newRow("window partly covered")
        << partial
        << "\"" + File +
               "\" holds only 16352 of the 16384 bytes of the configuration bank at 0x388000 to 0x38BFFF.";
    QByteArray badSum = good;
    const QByteArray record = sRecord('2', 0x388020, b.mid(32, 32));
    QByteArray damaged = record;
    damaged[damaged.size() - 1] = damaged.back() == '0' ? '1' : '0';
    badSum.replace(record, damaged);
    QTest::newRow("wrong checksum") << badSum << "\"" + File + "\", line 4: wrong checksum";
    QByteArray badDigit = good;
    damaged = record;
    damaged[20] = 'G';
    badDigit.replace(record, damaged);
    QTest::newRow("not a digit") << badDigit
                                 << "\"" + File + "\", line 4: a character that is not a hexadecimal digit";
    QByteArray badCount = good;
    damaged = record;
    damaged.chop(4);
    badCount.replace(record, damaged);
    QTest::newRow("short record") << badCount
                                  << "\"" + File + "\", line 4: the byte count does not match the record";
    QTest::newRow("odd digits") << QByteArray("S2043880001\n")
                                << "\"" + File + "\", line 1: odd number of hexadecimal digits";
    // The merge's rules: an empty line, or an unreadable address anywhere, stops the read;
    // a line starting with a blank is no record.
    QByteArray empty = good;
    empty.replace("\r\n" + sRecord('2', 0x398000, QByteArray(32, '\x22')), "\r\n\r\n");
    QTest::newRow("empty line") << empty << "\"" + File + "\", line 515: an empty line";
    QByteArray farAddress = good;
    farAddress.replace("S224398000", "S22439800G");
    QTest::newRow("unreadable address far from the window")
        << farAddress << "\"" + File + "\", line 515: a character that is not a hexadecimal digit";
    QByteArray blank = good;
    blank.replace(record, " " + record);
    QTest::newRow("record after a blank")
        << blank
        << "\"" + File +
               "\" holds only 16352 of the 16384 bytes of the configuration bank at 0x388000 to 0x38BFFF.";
}

void TestBankWindow::refuses() {
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QCOMPARE(readBank1Window(text, File).error, error);
}

void TestBankWindow::tellsFileCutShort_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("cutShort");
    const QByteArray good = firmwareWithBank(bank());
    const QByteArray end = "S804000000FB\r\n";
    const QByteArray noEnd = good.chopped(end.size());
    QTest::newRow("whole") << good << QString();
    QTest::newRow("no line end after the end record") << good.chopped(2) << QString();
    QTest::newRow("no end record") << noEnd
                                   << "\"" + File + "\" is cut short: it has no end record (S7, S8 or S9).";
    QTest::newRow("torn end record") << good.chopped(5)
                                     << "\"" + File + "\" is cut short: its last record, line 516, is torn.";
    QTest::newRow("damaged end record")
        << noEnd + "S804000000FA\r\n"
        << "\"" + File + "\" is cut short: its last record, line 516, is torn.";
    // A data record far from the window is otherwise never decoded.
    QTest::newRow("torn data record")
        << noEnd.chopped(9) << "\"" + File + "\" is cut short: its last record, line 515, is torn.";
    QTest::newRow("torn data record, CR without LF")
        << noEnd.chopped(9) + "\r"
        << "\"" + File + "\" is cut short: its last record, line 515, is torn.";
}

void TestBankWindow::tellsFileCutShort() {
    QFETCH(QByteArray, text);
    QFETCH(QString, cutShort);
    const BankWindowRead read = readBank1Window(text, File);
    QCOMPARE(read.error, QString());
    QCOMPARE(read.cutShort, cutShort);
    QBuffer device(&text);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QCOMPARE(readBank1Window(device, File).cutShort, cutShort);
}

void TestBankWindow::recognisesSRecords() {
    QVERIFY(looksLikeSRecords(firmwareWithBank(bank())));
    QVERIFY(looksLikeSRecords("\r\nS2240000"));
    QVERIFY(!looksLikeSRecords(QByteArray(16384, '\0')));
    QVERIFY(!looksLikeSRecords("Sx"));
    QVERIFY(!looksLikeSRecords(""));
}

QTEST_GUILESS_MAIN(TestBankWindow)
#include "tst_bankwindow.moc"
