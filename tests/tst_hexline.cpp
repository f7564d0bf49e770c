#include "hexline.h"

#include <QtTest>

class tst_HexLine : public QObject
{
    Q_OBJECT

private slots:
    void hexDigits_data();
    void hexDigits();
    void decode_data();
    void decode();
    void picData_data();
    void picData();
    void notARecord_data();
    void notARecord();
    void compose_data();
    void compose();
};

void tst_HexLine::hexDigits_data()
{
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<int>("value");

    QTest::newRow("upper case") << QByteArray("3DA0") << 0x3DA0;
    QTest::newRow("lower case") << QByteArray("3da0") << 0x3DA0;
    QTest::newRow("all digits high") << QByteArray("fF9f") << 0xFF9F;
    QTest::newRow("non-digits count as 0") << QByteArray("G:x1") << 0x0001;
}

void tst_HexLine::hexDigits()
{
    QFETCH(QByteArray, digits);
    QFETCH(int, value);

    QCOMPARE(hex2char(digits[0]), quint8(value >> 12));
    QCOMPARE(hex2char(digits[0], digits[1]), quint8(value >> 8));
    QCOMPARE(hex2char(digits[2], digits[3]), quint8(value & 0xFF));
    QCOMPARE(hex2short(digits[0], digits[1], digits[2], digits[3]), quint16(value));
}

void tst_HexLine::decode_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("checksum");
    QTest::addColumn<QByteArray>("data");

    const QByteArray none;
    QTest::newRow("end of file with CR LF (13 characters)")
        << QByteArray(":00000001FF\r\n") << true << 0 << 0 << 1 << 0xFF << none;
    QTest::newRow("data record without line end")
        << QByteArray(":0300300002337A1E") << true << 3 << 0x30 << 0 << 0x1E
        << QByteArray::fromHex("02337A");
    QTest::newRow("lower-case digits") << QByteArray(":0200008000abd3\n") << true << 2 << 0 << 0x80
                                       << 0xD3 << QByteArray::fromHex("00AB");
    QTest::newRow("upper-case digits") << QByteArray(":0200008000ABD3\n") << true << 2 << 0 << 0x80
                                       << 0xD3 << QByteArray::fromHex("00AB");
    QTest::newRow("text after the checksum ignored")
        << QByteArray(":0300300002337A1E  ; x\r\n") << true << 3 << 0x30 << 0 << 0x1E
        << QByteArray::fromHex("02337A");
    QTest::newRow("wrong checksum keeps the fields")
        << QByteArray(":0300300002337A1F\r\n") << false << 3 << 0x30 << 0 << 0x1F
        << QByteArray::fromHex("02337A");
    QTest::newRow("non-digit data caught only by the checksum")
        << QByteArray(":01000000XXFF\r\n") << true << 1 << 0 << 0 << 0xFF
        << QByteArray::fromHex("00");
    QTest::newRow("line shorter than its length field reads zeros")
        << QByteArray(":0200000401\r\n") << false << 2 << 0 << 4 << 0
        << QByteArray::fromHex("0100");
}

void tst_HexLine::decode()
{
    QFETCH(QByteArray, line);

    const HexLine record(line);

    QTEST(record.valid, "valid");
    QTEST(int(record.length), "length");
    QTEST(int(record.address), "address");
    QTEST(int(record.type), "type");
    QTEST(int(record.checksum), "checksum");
    QTEST(record.data, "data");
}

void tst_HexLine::picData_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("identification record")
        << QByteArray(":100800004B5A0000454E000054000000000000005C\r\n")
        << QByteArray::fromHex("4B5A454E54000000");
    QTest::newRow("5 data bytes give bytes 0, 1 and 4")
        << QByteArray(":050000000102030405EC\r\n") << QByteArray::fromHex("010205");
    QTest::newRow("no data bytes") << QByteArray(":00000001FF\r\n") << QByteArray();
}

void tst_HexLine::picData()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, text);

    QCOMPARE(HexLine(line).picData(), text);
}

void tst_HexLine::notARecord_data()
{
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("end of file with LF alone (12 characters)") << QByteArray(":00000001FF\n");
    QTest::newRow("end of file without line end (11 characters)") << QByteArray(":00000001FF");
    QTest::newRow("no colon") << QByteArray("0300300002337A1E\r\n");
    QTest::newRow("blank line") << QByteArray("\r\n");
}

void tst_HexLine::notARecord()
{
    QFETCH(QByteArray, line);

    const HexLine record(line);

    QVERIFY(!record.valid);
    QVERIFY(record.data.isEmpty());
}

void tst_HexLine::compose_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("extended linear address, CR LF")
        << 0x04 << 0 << QByteArray::fromHex("01F0") << QByteArray("\r\n")
        << QByteArray(":0200000401f009\r\n");
    QTest::newRow("checksum record, LF alone")
        << 0x80 << 0 << QByteArray::fromHex("00AB") << QByteArray("\n")
        << QByteArray(":0200008000abd3\n");
    QTest::newRow("bytes summing to 0: checksum 00")
        << 0x00 << 0 << QByteArray() << QByteArray("\r\n") << QByteArray(":0000000000\r\n");
    QTest::newRow("255 data bytes at the top address")
        << 0x00 << 0xFFF0 << QByteArray(255, char(0x5A)) << QByteArray("\r\n")
        << ":fffff000" + QByteArray(255, char(0x5A)).toHex() + "6c\r\n";
}

void tst_HexLine::compose()
{
    QFETCH(int, type);
    QFETCH(int, address);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, lineEnd);

    const QByteArray line =
        HexLine::compose(quint8(type), quint16(address), data, lineEnd.constData());

    QTEST(line, "line");
    const HexLine record(line);
    QVERIFY(record.valid);
    QCOMPARE(int(record.type), type);
    QCOMPARE(int(record.address), address);
    QCOMPARE(record.data, data);
}

QTEST_APPLESS_MAIN(tst_HexLine)
#include "tst_hexline.moc"
