// Modbus TCP byte for byte: the frames the probe sends, how received frames are split
// and judged, and the server's side that a gateway answers with. The expected bytes
// are written out from the protocol's frame layout, not formed by the code under test.
#include "modbus/DataRequest.h"
#include "modbus/Mbap.h"
#include "modbus/ModbusProtocol.h"
#include "modbus/ReadExchange.h"
#include "modbus/RequestRouter.h"
#include "modbus/SimulatedUnits.h"

#include <QTest>

using namespace tessaly::modbus;

Q_DECLARE_METATYPE(Function)
Q_DECLARE_METATYPE(ReadAnswer::Kind)
Q_DECLARE_METATYPE(FrameScan::Status)
Q_DECLARE_METATYPE(DataRequest)

namespace {
QByteArray hex(const char* spaced) {
    return QByteArray::fromHex(spaced);
}
} // namespace

class TestModbus : public QObject {
    Q_OBJECT
private slots:
    void requestFrames_data();
    void requestFrames();
    void frameScan_data();
    void frameScan();
    void answers_data();
    void answers();
    void exceptionWords_data();
    void exceptionWords();
    void readLimits_data();
    void readLimits();
    void serverRequests_data();
    void serverRequests();
    void serverAnswers_data();
    void serverAnswers();
    void dataRequests_data();
    void dataRequests();
    void natRoutes_data();
    void natRoutes();
    void simulatedUnits();
    void unitLists_data();
    void unitLists();
};

void TestModbus::requestFrames_data() {
    QTest::addColumn<int>("transaction");
    QTest::addColumn<int>("unit");
    QTest::addColumn<Function>("function");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("holding register 0 of unit 1")
        << 1 << 1 << Function::ReadHoldingRegisters << 0 << 1 << hex("0001 0000 0006 01 03 0000 0001");
    QTest::newRow("2000 coils, high transaction and unit")
        << 0xABCD << 255 << Function::ReadCoils << 0x1234 << 2000 << hex("ABCD 0000 0006 FF 01 1234 07D0");
    QTest::newRow("discrete inputs") << 2 << 0 << Function::ReadDiscreteInputs << 7 << 3
                                     << hex("0002 0000 0006 00 02 0007 0003");
    QTest::newRow("last input register")
        << 0xFFFF << 9 << Function::ReadInputRegisters << 65535 << 1 << hex("FFFF 0000 0006 09 04 FFFF 0001");
}

void TestModbus::requestFrames() {
    QFETCH(int, transaction);
    QFETCH(int, unit);
    QFETCH(Function, function);
    QFETCH(int, address);
    QFETCH(int, count);
    QFETCH(QByteArray, frame);
    const ReadRequest read{function, std::uint16_t(address), std::uint16_t(count)};
    const Adu adu{std::uint16_t(transaction), std::uint8_t(unit), readRequestPdu(read)};
    QCOMPARE(encodeAdu(adu).toHex(' '), frame.toHex(' '));
    // A server splits and reads the frame back to the same request.
    const FrameScan scan = scanFrame(frame);
    QCOMPARE(scan.status, FrameScan::Complete);
    QCOMPARE(decodeAdu(frame, scan.size), adu);
    QCOMPARE(std::get<ReadRequest>(parseReadRequest(adu.pdu)), read);
}

void TestModbus::frameScan_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<FrameScan::Status>("status");
    QTest::addColumn<int>("size"); // Complete and Incomplete
    QTest::addColumn<QString>("fault");
    QTest::newRow("nothing yet") << QByteArray() << FrameScan::Incomplete << 7 << QString();
    QTest::newRow("6 of 7 header bytes") << hex("0001 0000 0005") << FrameScan::Incomplete << 7 << QString();
    QTest::newRow("header alone: the length tells the rest")
        << hex("0001 0000 0005 01") << FrameScan::Incomplete << 11 << QString();
    QTest::newRow("7 of 11 bytes") << hex("0001 0000 0005 01 03 02 00") << FrameScan::Incomplete << 11
                                   << QString();
    QTest::newRow("complete") << hex("0001 0000 0005 01 03 02 002A") << FrameScan::Complete << 11
                              << QString();
    QTest::newRow("complete, the next frame begun")
        << hex("0001 0000 0005 01 03 02 002A 0002 00") << FrameScan::Complete << 11 << QString();
    QTest::newRow("smallest: unit and function code")
        << hex("0001 0000 0002 01 03") << FrameScan::Complete << 8 << QString();
    QTest::newRow("largest: 253-byte PDU")
        << hex("0001 0000 00FE 01") << FrameScan::Incomplete << 260 << QString();
    QTest::newRow("length 0") << hex("0001 0000 0000 01") << FrameScan::Malformed << 0
                              << "length field 0, too short for a unit identifier and a function code";
    QTest::newRow("length 1") << hex("0001 0000 0001 01 03") << FrameScan::Malformed << 0
                              << "length field 1, too short for a unit identifier and a function code";
    QTest::newRow("length 255") << hex("0001 0000 00FF 01 03") << FrameScan::Malformed << 0
                                << "length field 255, longer than any Modbus frame (254 at most)";
    QTest::newRow("length 65535") << hex("0001 0000 FFFF 01 03") << FrameScan::Malformed << 0
                                  << "length field 65535, longer than any Modbus frame (254 at most)";
    QTest::newRow("text, not Modbus") << QByteArray("HTTP/1.1 400 Bad Request\r\n") << FrameScan::Malformed
                                      << 0 << "protocol identifier 0x5450, where Modbus has 0";
}

void TestModbus::frameScan() {
    QFETCH(QByteArray, stream);
    QFETCH(FrameScan::Status, status);
    QFETCH(int, size);
    QFETCH(QString, fault);
    const FrameScan scan = scanFrame(stream);
    QCOMPARE(scan.status, status);
    if (status == FrameScan::Malformed)
        QCOMPARE(frameFaultText(scan.fault, scan.field), fault);
    else
        QCOMPARE(scan.size, qsizetype(size));
}

void TestModbus::answers_data() {
    QTest::addColumn<Function>("function");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("frame"); // to a request with transaction 1, unit 1
    QTest::addColumn<ReadAnswer::Kind>("kind");
    QTest::addColumn<QList<std::uint16_t>>("values");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("detail");
    const Function holding = Function::ReadHoldingRegisters;
    using Values = QList<std::uint16_t>;
    QTest::newRow("one register") << holding << 1 << hex("0001 0000 0005 01 03 02 002A") << ReadAnswer::Values
                                  << Values{42} << 0 << QString();
    QTest::newRow("three registers") << holding << 3 << hex("0001 0000 0009 01 03 06 0007 0008 FFFF")
                                     << ReadAnswer::Values << Values{7, 8, 65535} << 0 << QString();
    QTest::newRow("one coil: the rest of the byte is no value")
        << Function::ReadCoils << 1 << hex("0001 0000 0004 01 01 01 FF") << ReadAnswer::Values << Values{1}
        << 0 << QString();
    QTest::newRow("ten inputs, lowest bit first")
        << Function::ReadDiscreteInputs << 10 << hex("0001 0000 0005 01 02 02 CD 01") << ReadAnswer::Values
        << Values{1, 0, 1, 1, 0, 0, 1, 1, 1, 0} << 0 << QString();
    QTest::newRow("exception") << holding << 1 << hex("0001 0000 0003 01 83 0B") << ReadAnswer::Exception
                               << Values{} << 0x0B << QString();
    QTest::newRow("another transaction")
        << holding << 1 << hex("0002 0000 0005 01 03 02 002A") << ReadAnswer::OtherTransaction << Values{}
        << 2 << "an answer to transaction 0x0002, not to ours (0x0001)";
    QTest::newRow("another unit") << holding << 1 << hex("0001 0000 0005 07 03 02 002A")
                                  << ReadAnswer::OtherUnit << Values{} << 7
                                  << "an answer from unit 7, not from unit 1";
    QTest::newRow("another function")
        << holding << 1 << hex("0001 0000 0005 01 04 02 002A") << ReadAnswer::OtherFunction << Values{} << 4
        << "an answer for function 0x04, not for 0x03";
    QTest::newRow("another function's exception")
        << holding << 1 << hex("0001 0000 0003 01 84 02") << ReadAnswer::OtherFunction << Values{} << 0x84
        << "an answer for function 0x84, not for 0x03";
    QTest::newRow("exception of 3 bytes")
        << holding << 1 << hex("0001 0000 0004 01 83 0B 00") << ReadAnswer::Malformed << Values{} << 0
        << "an exception answer of 3 bytes, where it has 2";
    QTest::newRow("no byte count") << holding << 1 << hex("0001 0000 0002 01 03") << ReadAnswer::Malformed
                                   << Values{} << 0 << "an answer without a byte count";
    QTest::newRow("byte count for two registers")
        << holding << 1 << hex("0001 0000 0007 01 03 04 002A 0000") << ReadAnswer::Malformed << Values{} << 0
        << "a byte count of 4 for 1 register, not 2";
    QTest::newRow("byte count for whole bytes of coils")
        << Function::ReadCoils << 9 << hex("0001 0000 0004 01 01 01 FF") << ReadAnswer::Malformed << Values{}
        << 0 << "a byte count of 1 for 9 bits, not 2";
    QTest::newRow("data short of the byte count")
        << holding << 1 << hex("0001 0000 0004 01 03 02 00") << ReadAnswer::Malformed << Values{} << 0
        << "a byte count of 2, followed by 1 byte";
}

void TestModbus::answers() {
    QFETCH(Function, function);
    QFETCH(int, count);
    QFETCH(QByteArray, frame);
    QFETCH(ReadAnswer::Kind, kind);
    QFETCH(QList<std::uint16_t>, values);
    QFETCH(int, code);
    QFETCH(QString, detail);
    const ReadRequest read{function, 0, std::uint16_t(count)};
    const Adu request{1, 1, readRequestPdu(read)};
    const FrameScan scan = scanFrame(frame);
    QCOMPARE(scan.status, FrameScan::Complete);
    const ReadAnswer answer = checkReadAnswer(request, read, decodeAdu(frame, scan.size));
    QCOMPARE(answer.kind, kind);
    QCOMPARE(answer.values, values);
    QCOMPARE(answer.code, code);
    QCOMPARE(answer.detail, detail);
    QCOMPARE(answer.answered(), kind == ReadAnswer::Values || kind == ReadAnswer::Exception);
}

void TestModbus::exceptionWords_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("words");
    QTest::newRow("01") << 0x01 << "exception 0x01 illegal function";
    QTest::newRow("02") << 0x02 << "exception 0x02 illegal data address";
    QTest::newRow("03") << 0x03 << "exception 0x03 illegal data value";
    QTest::newRow("04") << 0x04 << "exception 0x04 server device failure";
    QTest::newRow("05") << 0x05 << "exception 0x05 acknowledge";
    QTest::newRow("06") << 0x06 << "exception 0x06 server device busy";
    QTest::newRow("07") << 0x07 << "exception 0x07 negative acknowledge";
    QTest::newRow("08") << 0x08 << "exception 0x08 memory parity error";
    QTest::newRow("09, unnamed") << 0x09 << "exception 0x09";
    QTest::newRow("0A") << 0x0A << "exception 0x0A gateway path unavailable";
    QTest::newRow("0B") << 0x0B << "exception 0x0B gateway target device failed to respond";
    QTest::newRow("FF, unnamed") << 0xFF << "exception 0xFF";
}

void TestModbus::exceptionWords() {
    QFETCH(int, code);
    QFETCH(QString, words);
    QCOMPARE(tessaly::modbus::exceptionWords(code), words);
}

void TestModbus::readLimits_data() {
    QTest::addColumn<Function>("function");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("fault"); // empty: the read goes out
    const Function holding = Function::ReadHoldingRegisters;
    QTest::newRow("125 registers") << holding << 0 << 125 << QString();
    QTest::newRow("126 registers") << holding << 0 << 126
                                   << "126 registers, more than the 125 one request carries";
    QTest::newRow("127 input registers")
        << Function::ReadInputRegisters << 0 << 127 << "127 registers, more than the 125 one request carries";
    QTest::newRow("2000 coils") << Function::ReadCoils << 0 << 2000 << QString();
    QTest::newRow("2001 inputs") << Function::ReadDiscreteInputs << 0 << 2001
                                 << "2001 bits, more than the 2000 one request carries";
    QTest::newRow("N° Point 0") << holding << 10 << 0 << "N° Point 0: nothing to read";
    QTest::newRow("the last register") << holding << 65535 << 1 << QString();
    QTest::newRow("one past the last register")
        << holding << 65535 << 2 << "address 65535 and 2 registers reach past 65535";
    QTest::newRow("coils past the last")
        << Function::ReadCoils << 65500 << 37 << "address 65500 and 37 bits reach past 65535";
    QTest::newRow("coils up to the last") << Function::ReadCoils << 65500 << 36 << QString();
}

void TestModbus::readLimits() {
    QFETCH(Function, function);
    QFETCH(int, address);
    QFETCH(int, count);
    QFETCH(QString, fault);
    const ReadFault found = checkRead(function, address, count);
    QCOMPARE(found == ReadFault::None, fault.isEmpty());
    QCOMPARE(readFaultText(found, function, address, count), fault);
}

void TestModbus::serverRequests_data() {
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<int>("exception"); // 0: the read is served
    QTest::newRow("read") << hex("03 000A 0003") << 0;
    QTest::newRow("write single coil") << hex("05 0000 FF00") << 0x01;
    QTest::newRow("unknown function") << hex("2B 0E 01 00") << 0x01;
    QTest::newRow("short") << hex("03 0000 00") << 0x03;
    QTest::newRow("long") << hex("03 0000 0001 00") << 0x03;
    QTest::newRow("no points") << hex("03 0000 0000") << 0x03;
    QTest::newRow("126 registers") << hex("03 0000 007E") << 0x03;
    QTest::newRow("2001 coils") << hex("01 0000 07D1") << 0x03;
    QTest::newRow("past the last address") << hex("01 FFFF 0002") << 0x02;
}

void TestModbus::serverRequests() {
    QFETCH(QByteArray, pdu);
    QFETCH(int, exception);
    const auto parsed = parseReadRequest(pdu);
    if (exception == 0)
        QCOMPARE(std::get<ReadRequest>(parsed), (ReadRequest{Function::ReadHoldingRegisters, 10, 3}));
    else
        QCOMPARE(int(std::get<ExceptionCode>(parsed)), exception);
}

void TestModbus::serverAnswers_data() {
    QTest::addColumn<Function>("function");
    QTest::addColumn<QList<std::uint16_t>>("values");
    QTest::addColumn<QByteArray>("pdu");
    QTest::newRow("registers") << Function::ReadHoldingRegisters << QList<std::uint16_t>{7, 8, 0x1234}
                               << hex("03 06 0007 0008 1234");
    QTest::newRow("one coil") << Function::ReadCoils << QList<std::uint16_t>{1} << hex("01 01 01");
    QTest::newRow("ten inputs") << Function::ReadDiscreteInputs
                                << QList<std::uint16_t>{1, 0, 1, 1, 0, 0, 1, 1, 1, 0} << hex("02 02 CD 01");
    QTest::newRow("eight coils, a whole byte")
        << Function::ReadCoils << QList<std::uint16_t>{0, 0, 0, 0, 0, 0, 0, 1} << hex("01 01 80");
}

void TestModbus::serverAnswers() {
    QFETCH(Function, function);
    QFETCH(QList<std::uint16_t>, values);
    QFETCH(QByteArray, pdu);
    QCOMPARE(readAnswerPdu(function, values).toHex(' '), pdu.toHex(' '));
    // The client reads back what the server formed.
    const ReadRequest read{function, 0, std::uint16_t(values.size())};
    const Adu request{5, 3, readRequestPdu(read)};
    const ReadAnswer answer = checkReadAnswer(request, read, {5, 3, pdu});
    QCOMPARE(answer.kind, ReadAnswer::Values);
    QCOMPARE(answer.values, values);
    QCOMPARE(
        exceptionPdu(std::uint8_t(function), ExceptionCode::GatewayTargetDeviceFailedToRespond).toHex(' '),
        (QByteArray(1, char(0x80 | int(function))) + hex("0B")).toHex(' '));
}

// Every function a gateway serves, byte for byte both ways: what a server parses from
// the PDU, and the PDU a client forms for it; a write's answer; the exceptions.
void TestModbus::dataRequests_data() {
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<int>("exception"); // 0: parsed
    QTest::addColumn<DataRequest>("request");
    QTest::addColumn<QByteArray>("answer"); // a write's
    const DataRequest none;
    QTest::newRow("read coils") << hex("01 0013 0025") << 0
                                << DataRequest{Function::ReadCoils, 0x13, 0x25, {}} << QByteArray();
    QTest::newRow("write single coil on")
        << hex("05 00AC FF00") << 0 << DataRequest{Function::WriteSingleCoil, 0xAC, 1, {1}}
        << hex("05 00AC FF00");
    QTest::newRow("write single coil off")
        << hex("05 00AC 0000") << 0 << DataRequest{Function::WriteSingleCoil, 0xAC, 1, {0}}
        << hex("05 00AC 0000");
    QTest::newRow("write single register")
        << hex("06 0001 0003") << 0 << DataRequest{Function::WriteSingleRegister, 1, 1, {3}}
        << hex("06 0001 0003");
    QTest::newRow("write ten coils, lowest bit first")
        << hex("0F 0013 000A 02 CD 01") << 0
        << DataRequest{Function::WriteMultipleCoils, 0x13, 10, {1, 0, 1, 1, 0, 0, 1, 1, 1, 0}}
        << hex("0F 0013 000A");
    QTest::newRow("write two registers")
        << hex("10 0001 0002 04 000A 0102") << 0
        << DataRequest{Function::WriteMultipleRegisters, 1, 2, {0x0A, 0x0102}} << hex("10 0001 0002");
    QTest::newRow("coil neither on nor off") << hex("05 0000 0001") << 0x03 << none << QByteArray();
    QTest::newRow("single write short") << hex("06 0001 00") << 0x03 << none << QByteArray();
    QTest::newRow("byte count not the coils'") << hex("0F 0000 000A 01 FF") << 0x03 << none << QByteArray();
    QTest::newRow("values short of the byte count")
        << hex("10 0000 0002 04 0001") << 0x03 << none << QByteArray();
    QTest::newRow("124 registers") << hex("10 0000 007C F8") + QByteArray(248, '\0') << 0x03 << none
                                   << QByteArray();
    QTest::newRow("writes past 65535") << hex("10 FFFF 0002 04 0001 0002") << 0x02 << none << QByteArray();
    QTest::newRow("function 0x08") << hex("08 0000 A537") << 0x01 << none << QByteArray();
    QTest::newRow("no function code") << QByteArray() << 0x01 << none << QByteArray();
}

void TestModbus::dataRequests() {
    QFETCH(QByteArray, pdu);
    QFETCH(int, exception);
    QFETCH(DataRequest, request);
    QFETCH(QByteArray, answer);
    const auto parsed = parseDataRequest(pdu);
    if (exception != 0) {
        QCOMPARE(int(std::get<ExceptionCode>(parsed)), exception);
        return;
    }
    QCOMPARE(std::get<DataRequest>(parsed), request);
    QCOMPARE(dataRequestPdu(request).toHex(' '), pdu.toHex(' '));
    if (isWrite(request.function))
        QCOMPARE(writeAnswerPdu(request).toHex(' '), answer.toHex(' '));
}

// NAT rows: holding registers 100-109 are unit 2's 0-9, 110-119 unit 3's 500-509;
// coils 0-15 unit 2's coils from 16 on; input registers 0-4 near the top of unit 4's.
void TestModbus::natRoutes_data() {
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<int>("exception"); // 0: routed
    QTest::addColumn<int>("unit");
    QTest::addColumn<QByteArray>("routed");
    QTest::newRow("inside the first row") << hex("03 0064 000A") << 0 << 2 << hex("03 0000 000A");
    QTest::newRow("offset kept") << hex("03 0067 0002") << 0 << 2 << hex("03 0003 0002");
    QTest::newRow("second row") << hex("03 006E 0001") << 0 << 3 << hex("03 01F4 0001");
    QTest::newRow("a write takes the holding row")
        << hex("10 006F 0001 02 ABCD") << 0 << 3 << hex("10 01F5 0001 02 ABCD");
    QTest::newRow("single register write") << hex("06 0065 0007") << 0 << 2 << hex("06 0001 0007");
    QTest::newRow("coils by write single coil") << hex("05 000F FF00") << 0 << 2 << hex("05 001F FF00");
    QTest::newRow("across two rows") << hex("03 006C 0004") << 0x02 << 0 << QByteArray();
    QTest::newRow("past the row's end") << hex("03 0064 000B") << 0x02 << 0 << QByteArray();
    QTest::newRow("no row for the table") << hex("02 0000 0001") << 0x02 << 0 << QByteArray();
    QTest::newRow("input registers, RTU side past 65535") << hex("04 0000 0003") << 0x02 << 0 << QByteArray();
    QTest::newRow("not a data function") << hex("08 0000 A537") << 0x01 << 0 << QByteArray();
    QTest::newRow("malformed read") << hex("03 0064 00") << 0x03 << 0 << QByteArray();
}

void TestModbus::natRoutes() {
    QFETCH(QByteArray, pdu);
    QFETCH(int, exception);
    QFETCH(int, unit);
    QFETCH(QByteArray, routed);
    const RequestRouter router = RequestRouter::nat({{DataTable::HoldingRegisters, 100, 2, 0, 10},
                                                     {DataTable::HoldingRegisters, 110, 3, 500, 10},
                                                     {DataTable::Coils, 0, 2, 16, 16},
                                                     {DataTable::InputRegisters, 0, 4, 65534, 5}});
    // The unit identifier is not looked at.
    const auto route = router.route(77, pdu);
    if (exception != 0) {
        QCOMPARE(int(std::get<ExceptionCode>(route)), exception);
        return;
    }
    QCOMPARE(std::get<RoutedRequest>(route).unit, unit);
    QCOMPARE(std::get<RoutedRequest>(route).pdu.toHex(' '), routed.toHex(' '));
    // A write's echo goes back with the address the client wrote to.
    if (isWrite(Function(quint8(pdu[0])))) {
        const QByteArray echo = routed.left(5);
        QCOMPARE(router.answerFor(pdu, echo).toHex(' '), pdu.left(5).toHex(' '));
    }
    // Routing mode passes any public function on as it came, and refuses the others.
    QCOMPARE(std::get<RoutedRequest>(RequestRouter::routing().route(7, pdu)), (RoutedRequest{7, pdu}));
    QCOMPARE(int(std::get<ExceptionCode>(RequestRouter::routing().route(7, hex("41 00")))), 0x01);
}

void TestModbus::simulatedUnits() {
    SimulatedUnits units({1, 2});
    QVERIFY(units.answers(2) && !units.answers(3));
    // The starting pattern, by table.
    QCOMPARE(units.answer(2, hex("03 0005 0002")).toHex(' '), hex("03 04 07D5 07D6").toHex(' '));
    QCOMPARE(units.answer(1, hex("04 0000 0001")).toHex(' '), hex("04 02 7918").toHex(' ')); // 31000
    QCOMPARE(units.answer(1, hex("01 0000 0004")).toHex(' '), hex("01 01 05").toHex(' '));   // 1 0 1 0
    QCOMPARE(units.answer(1, hex("02 0000 0006")).toHex(' '), hex("02 01 24").toHex(' '));   // a = 2 and 5
    // Writes stick; a broadcast reaches every unit; input registers take no write.
    QCOMPARE(units.answer(1, hex("10 0005 0002 04 1111 2222")).toHex(' '), hex("10 0005 0002").toHex(' '));
    QCOMPARE(units.answer(1, hex("03 0004 0003")).toHex(' '), hex("03 06 03EC 1111 2222").toHex(' '));
    units.broadcast(hex("05 0000 FF00"));
    QCOMPARE(units.answer(2, hex("01 0000 0002")).toHex(' '),
             hex("01 01 03").toHex(' ')); // coil 0 set, 1 odd
    QCOMPARE(units.answer(2, hex("03 0005 0001")).toHex(' '), hex("03 02 07D5").toHex(' '));
    QCOMPARE(units.answer(2, hex("2B 0E 01 00")).toHex(' '), hex("AB 01").toHex(' '));
    QCOMPARE(units.answer(2, hex("03 FFFF 0002")).toHex(' '), hex("83 02").toHex(' '));
}

void TestModbus::unitLists_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("units"); // as unitListText prints them; empty: refused
    QTest::newRow("one") << "1"
                         << "1";
    QTest::newRow("list and ranges, any order") << "7,1,2,5-6"
                                                << "1-2,5-7";
    QTest::newRow("whole range") << "1-247"
                                 << "1-247";
    QTest::newRow("broadcast address") << "0"
                                       << "";
    QTest::newRow("248") << "248"
                         << "";
    QTest::newRow("backwards range") << "5-3"
                                     << "";
    QTest::newRow("empty item") << "1,,2"
                                << "";
    QTest::newRow("blank") << ""
                           << "";
}

void TestModbus::unitLists() {
    QFETCH(QString, text);
    QFETCH(QString, units);
    const auto parsed = parseUnitList(text);
    if (units.isEmpty())
        QVERIFY(std::holds_alternative<QString>(parsed));
    else
        QCOMPARE(unitListText(std::get<QList<int>>(parsed)), units);
}

QTEST_APPLESS_MAIN(TestModbus)
#include "tst_modbus.moc"
