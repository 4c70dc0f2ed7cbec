#include "firmware/srecord/SRecord.h"
#include "firmware/srecord/SxFileCheck.h"

#include <QTest>

using namespace tessaly;

namespace {

// Records whose checksums were worked out by hand (sum of the bytes, one's complement).
const QByteArray Header = "S00600004844521B";      // S0 "HDR"
const QByteArray Data1 = "S1070100AABBCCDDE9";     // S1 at 0x0100
const QByteArray Data2 = "S20803880011223344C2";   // S2 at 0x038800
const QByteArray Data3 = "S30900123456DEADBEEF22"; // S3 at 0x00123456
const QByteArray End9 = "S9030000FC";
const QByteArray End8 = "S804000000FB";
const QByteArray End7 = "S70500000000FA";

QByteArray lines(const QList<QByteArray>& records, const QByteArray& end = "\r\n") {
    QByteArray file;
    for (const QByteArray& record : records)
        file += record + end;
    return file;
}

} // namespace

class TestSRecordFile : public QObject {
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void check_data();
    void check();
};

void TestSRecordFile::format_data() {
    QTest::addColumn<char>("type");
    QTest::addColumn<uint>("address");
    QTest::addColumn<int>("addressBytes");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("S2 of 32 zero bytes")
        << '2' << 0x388000u << 3 << QByteArray(32, '\0') << "S224388000" + QByteArray(64, '0') + "23";
    QTest::newRow("S9 terminator") << '9' << 0u << 2 << QByteArray() << End9;
    QTest::newRow("S0 header") << '0' << 0u << 2 << QByteArray("HDR") << Header;
    QTest::newRow("S3 upper case") << '3' << 0x00123456u << 4 << QByteArray::fromHex("deadbeef") << Data3;
}

void TestSRecordFile::format() {
    QFETCH(char, type);
    QFETCH(uint, address);
    QFETCH(int, addressBytes);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, record);
    QCOMPARE(formatSRecord(type, address, addressBytes, data), record);
}

void TestSRecordFile::check_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error"); // empty: the file is sound
    QTest::addColumn<int>("records");

    QByteArray badChecksum = Data2;
    badChecksum.back() = '8';
    QTest::newRow("every type, CR LF") << lines({Header, Data1, Data2, Data3, End9}) << "" << 5;
    QTest::newRow("LF, no final line end") << lines({Data2, End8}, "\n").chopped(1) << "" << 2;
    QTest::newRow("blanks after a record") << lines({Data2, End9 + " \t"}) << "" << 2;
    QTest::newRow("lower-case digits") << lines({Data2.toLower().replace('s', 'S'), End7}) << "" << 2;
    QTest::newRow("empty file") << QByteArray() << "The file holds no S-records" << 0;
    QTest::newRow("checksum") << lines({Header, badChecksum, End9})
                              << "Line 2: checksum error (expected C2, found C8)" << 0;
    QTest::newRow("count too large") << lines({"S2090388001122334498", End9})
                                     << "Line 1: byte count 9 does not match the record length (8 bytes)"
                                     << 0;
    QTest::newRow("count too small") << lines({"S207038800112233449A", End9})
                                     << "Line 1: byte count 7 does not match the record length (8 bytes)"
                                     << 0;
    QTest::newRow("odd digits") << lines({Data2 + "0", End9}) << "Line 1: invalid hexadecimal digits" << 0;
    QTest::newRow("letter G") << lines({QByteArray(Data2).replace(10, 1, "G"), End9})
                              << "Line 1: invalid hexadecimal digits" << 0;
    QTest::newRow("blank inside") << lines({QByteArray(Data2).replace(10, 1, " "), End9})
                                  << "Line 1: invalid hexadecimal digits" << 0;
    QTest::newRow("S1 without room for its address")
        << lines({"S10200FD", End9}) << "Line 1: record too short for its address" << 0;
    QTest::newRow("S4") << lines({"S4030000FC", Data2, End9}) << "Line 1: not an S-record" << 0;
    QTest::newRow("lower-case s") << lines({Data2.toLower(), End9}) << "Line 1: not an S-record" << 0;
    QTest::newRow("text") << lines({Data2, "hello", End9}) << "Line 2: not an S-record" << 0;
    QTest::newRow("empty line") << lines({Data2, "", End9}) << "Line 2: empty line" << 0;
    QTest::newRow("no terminator") << lines({Header, Data2})
                                   << "The file has no terminator record (S7, S8 or S9)" << 0;
    QTest::newRow("no data") << lines({Header, End9}) << "The file holds no data records" << 0;
    QTest::newRow("after the terminator")
        << lines({Data2, End9, Data1}) << "Line 3: record after the terminator" << 0;
    QTest::newRow("blank lines after the terminator") << lines({Data2, End9}) + "\r\n\n"
                                                      << "" << 2;
    QTest::newRow("record after blank line after the terminator")
        << lines({Data2, End9, "", Data1}) << "Line 4: record after the terminator" << 0;
}

void TestSRecordFile::check() {
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QFETCH(int, records);
    const SRecordCheck check = checkSRecordFile(content);
    QCOMPARE(check.error, error);
    if (error.isEmpty()) {
        QCOMPARE(check.records.size(), records);
        // Records come back as written, without line ends.
        QByteArray joined;
        for (const QByteArrayView record : check.records)
            joined += record.toByteArray() + '\n';
        joined.chop(1);
        QCOMPARE(joined, content.trimmed().replace("\r\n", "\n"));
    }
}

QTEST_GUILESS_MAIN(TestSRecordFile)
#include "tst_srecordfile.moc"
