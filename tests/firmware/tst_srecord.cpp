#include "firmware/srecord/LineReader.h"
#include "firmware/srecord/SRecord.h"

#include <QBuffer>
#include <QTest>

using namespace tessaly;

Q_DECLARE_METATYPE(tessaly::SxKind)

namespace {
const QByteArray Zeros64(64, '0');
}

class TestSRecord : public QObject {
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void formRecord();
    void readLine_data();
    void readLine();
    void lineEnds_data();
    void lineEnds();
};

void TestSRecord::checksum_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("checksum");
    QTest::newRow("S2 at 388000, 32 zero bytes") << "S224388000" + Zeros64 + "00" << QByteArray("23");
    QTest::newRow("S1 data") << QByteArray("S1137AF00A0A0D000000000000000000000000000000")
                             << QByteArray("61");
    QTest::newRow("S0 header") << QByteArray("S00F000068656C6C6F20202020200000") << QByteArray("3C");
    QTest::newRow("sum wraps past 0xFF") << "S224FFFFFF" + QByteArray(64, 'F') + "00" << QByteArray("FE");
    QTest::newRow("lower-case pairs")
        << "S224388000" + QByteArray("ab") + QByteArray(62, '0') + "00" << QByteArray("78");
}

void TestSRecord::checksum() {
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, checksum);
    QCOMPARE(CheckSumSx(record), checksum);
}

void TestSRecord::formRecord() {
    const unsigned char zeros[SxDataBytes] = {};
    QCOMPARE(FormS224Record(0x388000, zeros), "S224388000" + Zeros64 + "23");

    unsigned char rising[SxDataBytes];
    for (int i = 0; i < SxDataBytes; ++i)
        rising[i] = static_cast<unsigned char>(0xE0 + i);
    QCOMPARE(FormS224Record(0x38BFE0, rising),
             QByteArray("S22438BFE0E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF14"));
}

void TestSRecord::readLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<SxKind>("kind");
    QTest::addColumn<uint>("address");
    const QByteArray data = Zeros64 + "23";
    QTest::newRow("S2") << "S224388000" + data << true << SxKind::S2 << 0x388000u;
    QTest::newRow("S2 lower-case address") << "S2243a8b0c" + data << true << SxKind::S2 << 0x3A8B0Cu;
    QTest::newRow("S2 upper-case address") << "S2243A8B0C" + data << true << SxKind::S2 << 0x3A8B0Cu;
    QTest::newRow("S2 bare address field") << QByteArray("S224FFFFFF") << true << SxKind::S2 << 0xFFFFFFu;
    QTest::newRow("S2 wrong checksum and count")
        << QByteArray("S2FF38BFFF0000") << true << SxKind::S2 << 0x38BFFFu;
    QTest::newRow("S1") << QByteArray("S1137AF00A0A0D0000000000000000000000000061") << true << SxKind::S1
                        << 0x7AF0u;
    QTest::newRow("S1 highest address") << QByteArray("S113FFFF") << true << SxKind::S1 << 0xFFFFu;
    QTest::newRow("S9 terminator") << QByteArray("S9030000FC") << true << SxKind::S9 << 0u;
    QTest::newRow("S9 alone") << QByteArray("S9") << true << SxKind::S9 << 0u;
    QTest::newRow("S9 with text after") << QByteArray("S9 end of firmware") << true << SxKind::S9 << 0u;
    QTest::newRow("S3 in the window") << QByteArray("S30500388000FF") << true << SxKind::Opaque << 0u;
    QTest::newRow("S0") << QByteArray("S00F000068656C6C6F202020202000003C") << true << SxKind::Opaque << 0u;
    QTest::newRow("S5") << QByteArray("S5030001FB") << true << SxKind::Opaque << 0u;
    QTest::newRow("S7") << QByteArray("S70500000000FA") << true << SxKind::Opaque << 0u;
    QTest::newRow("S8") << QByteArray("S804000000FB") << true << SxKind::Opaque << 0u;
    QTest::newRow("lower-case s2") << "s224388000" + data << true << SxKind::Opaque << 0u;
    QTest::newRow("lower-case s9") << QByteArray("s9030000FC") << true << SxKind::Opaque << 0u;
    QTest::newRow("single character") << QByteArray("S") << true << SxKind::Opaque << 0u;
    QTest::newRow("text") << QByteArray("; reference firmware") << true << SxKind::Opaque << 0u;
    QTest::newRow("empty") << QByteArray() << false << SxKind::Opaque << 0u;
    QTest::newRow("S2 of 9 characters") << QByteArray("S22438800") << false << SxKind::Opaque << 0u;
    QTest::newRow("S2 type only") << QByteArray("S2") << false << SxKind::Opaque << 0u;
    QTest::newRow("S2 space in address") << "S22438 000" + data << false << SxKind::Opaque << 0u;
    QTest::newRow("S2 G in address") << "S224388G00" + data << false << SxKind::Opaque << 0u;
    QTest::newRow("S2 sign in address") << "S224-88000" + data << false << SxKind::Opaque << 0u;
    QTest::newRow("S1 of 7 characters") << QByteArray("S1137AF") << false << SxKind::Opaque << 0u;
    QTest::newRow("S1 non-hex address") << QByteArray("S1137XF00A") << false << SxKind::Opaque << 0u;
}

void TestSRecord::readLine() {
    QFETCH(QByteArray, line);
    QFETCH(bool, readable);
    QFETCH(SxKind, kind);
    QFETCH(uint, address);
    const std::optional<SxLine> read = ReadSxLine(line);
    QCOMPARE(read.has_value(), readable);
    if (readable) {
        QCOMPARE(read->kind, kind);
        QCOMPARE(read->address, address);
    }
}

void TestSRecord::lineEnds_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("LF and CR LF") << QByteArray("a\r\nbc\nd") << 64 << QByteArrayList{"a", "bc", "d"};
    QTest::newRow("last line ended") << QByteArray("a\r\nb\r\n") << 64 << QByteArrayList{"a", "b"};
    QTest::newRow("empty file") << QByteArray() << 64 << QByteArrayList{};
    QTest::newRow("empty lines") << QByteArray("\n\r\nx") << 64 << QByteArrayList{"", "", "x"};
    QTest::newRow("lone CR stays in the line") << QByteArray("a\rb\n") << 64 << QByteArrayList{"a\rb"};
    QTest::newRow("CR at the end of the file") << QByteArray("a\nb\r") << 64 << QByteArrayList{"a", "b"};
    QTest::newRow("lines across refills")
        << QByteArray("abc\r\ndefg\r\nhi\nj") << 6 << QByteArrayList{"abc", "defg", "hi", "j"};
    QTest::newRow("line longer than the buffer")
        << QByteArray("0123456789abcdef\r\nxy\n") << 4 << QByteArrayList{"0123456789abcdef", "xy"};
    QTest::newRow("CR LF split by a full buffer")
        << QByteArray("abcdef\r\ngh") << 7 << QByteArrayList{"abcdef", "gh"};
    QTest::newRow("long line at the end")
        << QByteArray("x\n0123456789") << 4 << QByteArrayList{"x", "0123456789"};
}

void TestSRecord::lineEnds() {
    QFETCH(QByteArray, text);
    QFETCH(int, capacity);
    QFETCH(QByteArrayList, lines);
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    LineReader reader(buffer, capacity);
    QByteArrayList read;
    QByteArray raw; // the pieces with their line ends give back the text
    bool inLine = false;
    while (const auto piece = reader.next()) {
        raw += piece->raw.toByteArray();
        QVERIFY(piece->raw.startsWith(piece->bytes));
        QCOMPARE(piece->startsLine, !inLine);
        if (piece->startsLine)
            read << QByteArray();
        read.back() += piece->bytes.toByteArray();
        inLine = !piece->endsLine;
    }
    QVERIFY(!reader.failed());
    QVERIFY(!inLine);
    QCOMPARE(read, lines);
    QCOMPARE(raw, text);

    QVERIFY(buffer.seek(0));
    QCOMPARE(countLines(buffer, capacity), std::optional<qint64>(lines.size()));
}

QTEST_GUILESS_MAIN(TestSRecord)
#include "tst_srecord.moc"
