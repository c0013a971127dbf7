#include "fakehandle.h"
#include "reportdecoder.h"

#include <QtTest>

// Little-endian raw value at a measurement offset.
static void putRaw(QByteArray &r, int offset, quint32 raw)
{
    putBytes(r, offset,
             {int(raw & 0xFF), int(raw >> 8 & 0xFF), int(raw >> 16 & 0xFF), int(raw >> 24)});
}

// The ten measurement fields in report order.
static QVector<float> readings(const MeasurementRecord &m)
{
    return {m.voltage,  m.current, m.power,   m.resistance, m.energy,
            m.capacity, m.cpuTemp, m.ntcTemp, m.mosTemp,    m.fanSpeed};
}

class TestReportDecoder : public QObject
{
    Q_OBJECT
private slots:
    void measurementFieldsAreScaledInOrder()
    {
        InstrumentState s;
        QByteArray r = inputReport(0x01, 0x05);
        putBytes(r, 8, {0x39, 0x30, 0x00, 0x00}); // 12345
        for (int i = 1; i < 10; ++i)
            putRaw(r, 8 + 4 * i, 1000u * (i + 1) + 1);
        QCOMPARE(decodeReport(r, s), Report::Outcome::Measurements);
        QCOMPARE(s.record.voltage, 12.345f);
        const QVector<float> expected = {12.345f, 2.001f, 3.001f, 4.001f, 5.001f,
                                         6.001f,  7.001f, 8.001f, 9.001f, 10.001f};
        QCOMPARE(readings(s.record), expected);
    }

    void signBitTouchesOnlyItsField_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<int>("field"); // index in readings()
        QTest::newRow("current") << 0x80 << 1;
        QTest::newRow("cpu") << 0x40 << 6;
        QTest::newRow("ntc") << 0x20 << 7;
        QTest::newRow("mos") << 0x10 << 8;
    }
    void signBitTouchesOnlyItsField()
    {
        QFETCH(int, bit);
        QFETCH(int, field);
        InstrumentState s;
        QByteArray r = inputReport(0x01, 0x05);
        for (int i = 0; i < 10; ++i)
            putRaw(r, 8 + 4 * i, 1500);
        r[60] = char(bit);
        decodeReport(r, s);
        const QVector<float> got = readings(s.record);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(got[i], i == field ? -1.5f : 1.5f);
        QCOMPARE(int(s.record.signFlags), bit);
    }

    void rawValueAtLimitKeepsOldValue_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<quint32>("limit");
        QTest::newRow("voltage") << 0 << 300000u;
        QTest::newRow("current") << 1 << 100000u;
        QTest::newRow("power") << 2 << 30000000u;
        QTest::newRow("resistance") << 3 << 999999000u;
        QTest::newRow("energy") << 4 << 999999000u;
        QTest::newRow("capacity") << 5 << 999999000u;
        QTest::newRow("cpu") << 6 << 300000u;
        QTest::newRow("ntc") << 7 << 300000u;
        QTest::newRow("mos") << 8 << 300000u;
        QTest::newRow("fan") << 9 << 10000000u;
    }
    void rawValueAtLimitKeepsOldValue()
    {
        QFETCH(int, field);
        QFETCH(quint32, limit);
        InstrumentState s;
        QByteArray r = inputReport(0x01, 0x05);
        for (int i = 0; i < 10; ++i)
            putRaw(r, 8 + 4 * i, 5000);
        decodeReport(r, s);

        putRaw(r, 8 + 4 * field, limit);
        decodeReport(r, s);
        QCOMPARE(readings(s.record)[field], 5.0f);

        putRaw(r, 8 + 4 * field, 0xFFFFFFFFu);
        decodeReport(r, s);
        QCOMPARE(readings(s.record)[field], 5.0f);

        putRaw(r, 8 + 4 * field, limit - 1);
        decodeReport(r, s);
        QCOMPARE(readings(s.record)[field], float(double(limit - 1) / 1000.0));
    }

    void statusBytes()
    {
        InstrumentState s;
        QByteArray r = inputReport(0x01, 0x05);
        r[52] = 1;
        r[53] = 9;
        r[54] = 0x16;
        decodeReport(r, s);
        QVERIFY(s.running);
        QCOMPARE(int(s.record.promptCountdown), 9);
        QCOMPARE(int(s.record.promptChoiceCount), 2);
        QCOMPARE(int(s.record.promptSelection), 2);
        r[52] = 0;
        r[54] = 31;
        decodeReport(r, s);
        QVERIFY(!s.running);
        QCOMPARE(int(s.record.promptChoiceCount), 3);
        QCOMPARE(int(s.record.promptSelection), 1);
    }

    void parameterReport()
    {
        InstrumentState s;
        s.record.voltage = 7.0f;
        QByteArray r = inputReport(0x01, 0x03);
        putBytes(r, 4, {0x3F, 0xC0, 0x00, 0x00});  // set value 1.5
        putBytes(r, 20, {0x40, 0x40, 0x00, 0x00}); // cut-off 3.0
        putBytes(r, 44, {0xC1, 0x20, 0x00, 0x00}); // MOS over-temperature -10.0
        putBytes(r, 48, {7, 3, 80, 20, 5, 2, 30});
        putBytes(r, 62, {0xEE, 0xFF});
        QCOMPARE(decodeReport(r, s), Report::Outcome::Parameters);
        QVERIFY(s.parametersArrived);
        const MeasurementRecord &m = s.record;
        QCOMPARE(m.setValue, 1.5f);
        QCOMPARE(m.cutoffVoltage, 3.0f);
        QCOMPARE(m.mosOverTemp, -10.0f);
        QCOMPARE(m.tempCalibration, 0.0f);
        QCOMPARE(int(m.workMode), 7);
        QCOMPARE(int(m.languageStyle), 3);
        QCOMPARE(int(m.workBrightness), 80);
        QCOMPARE(int(m.standbyBrightness), 20);
        QCOMPARE(int(m.standbyTime), 5);
        QCOMPARE(int(m.timeLimitHours), 2);
        QCOMPARE(int(m.timeLimitMinutes), 30);
        QCOMPARE(m.voltage, 7.0f); // measurement fields are not the parameter report's

        // Without its trailer it is not a parameter report.
        InstrumentState t;
        r[63] = 0;
        QCOMPARE(decodeReport(r, t), Report::Outcome::Ignored);
        QVERIFY(!t.parametersArrived);
        QCOMPARE(t.record.setValue, 0.0f);
    }

    void filtersAndShortReads()
    {
        InstrumentState s;
        QByteArray good = inputReport(0x01, 0x05);
        putRaw(good, 8, 4000);
        decodeReport(good, s);

        QByteArray other = inputReport(0x02, 0x05);
        putRaw(other, 8, 9000);
        other[52] = 1;
        QCOMPARE(decodeReport(other, s), Report::Outcome::OtherAddress);
        QCOMPARE(s.record.voltage, 4.0f);
        QVERIFY(!s.running);

        QByteArray otherParams = inputReport(0x02, 0x03);
        putBytes(otherParams, 62, {0xEE, 0xFF});
        decodeReport(otherParams, s);
        QVERIFY(!s.parametersArrived);

        QByteArray badHeader = good;
        putRaw(badHeader, 8, 9000);
        badHeader[0] = char(0x55);
        QCOMPARE(decodeReport(badHeader, s), Report::Outcome::Ignored);
        badHeader[0] = char(0xAA);
        badHeader[1] = 0x06;
        QCOMPARE(decodeReport(badHeader, s), Report::Outcome::Ignored);
        QByteArray unknownKind = inputReport(0x01, 0x07);
        putRaw(unknownKind, 8, 9000);
        QCOMPARE(decodeReport(unknownKind, s), Report::Outcome::Ignored);
        QCOMPARE(s.record.voltage, 4.0f);

        // Fewer than 64 bytes delivered: not decoded, whatever the buffer holds past them.
        QByteArray shortRead = good;
        putRaw(shortRead, 8, 9000);
        const auto *bytes = reinterpret_cast<const unsigned char *>(shortRead.constData());
        QCOMPARE(decodeReport(bytes, 63, s), Report::Outcome::Ignored);
        QCOMPARE(decodeReport(bytes, 0, s), Report::Outcome::Ignored);
        QCOMPARE(s.record.voltage, 4.0f);
        QByteArray params = inputReport(0x01, 0x03);
        putBytes(params, 4, {0x3F, 0xC0, 0x00, 0x00});
        putBytes(params, 62, {0xEE, 0xFF});
        QCOMPARE(decodeReport(reinterpret_cast<const unsigned char *>(params.constData()), 40, s),
                 Report::Outcome::Ignored);
        QVERIFY(!s.parametersArrived);
        QCOMPARE(decodeReport(nullptr, 64, s), Report::Outcome::Ignored);
    }

    void scanAnswers()
    {
        InstrumentState s;
        QByteArray master = inputReport(0x03, 0x04);
        master[4] = 0x01;
        putBytes(master, 8, {0xEE, 0xFF});
        QCOMPARE(decodeReport(master, s), Report::Outcome::ScanAnswer);
        QCOMPARE(int(s.busAddress), 3);
        QCOMPARE(int(s.masterAddress), 3);
        QCOMPARE(s.addressList, QByteArray("\x03"));
        decodeReport(master, s);
        QCOMPARE(s.addressList, QByteArray("\x03"));

        // A slave's answer is listed but selects nothing, whatever address is current.
        QByteArray slave = inputReport(0x05, 0x04);
        putBytes(slave, 8, {0xEE, 0xFF});
        decodeReport(slave, s);
        QCOMPARE(int(s.busAddress), 3);
        QCOMPARE(s.addressList, QByteArray("\x03\x05"));

        // Without the trailer it is another address's report or nothing at all.
        QByteArray noTrailer = inputReport(0x07, 0x04);
        noTrailer[4] = 0x01;
        QCOMPARE(decodeReport(noTrailer, s), Report::Outcome::OtherAddress);
        noTrailer[2] = 0x03;
        QCOMPARE(decodeReport(noTrailer, s), Report::Outcome::Ignored);
        QCOMPARE(s.addressList.size(), 2);
        QCOMPARE(int(s.busAddress), 3);

        // Then measurements of the new address are taken and the old one's are not.
        QByteArray fromThree = inputReport(0x03, 0x05);
        putRaw(fromThree, 8, 3300);
        QByteArray fromOne = inputReport(0x01, 0x05);
        putRaw(fromOne, 8, 1100);
        decodeReport(fromThree, s);
        decodeReport(fromOne, s);
        QCOMPARE(s.record.voltage, 3.3f);
    }
};

QTEST_GUILESS_MAIN(TestReportDecoder)
#include "test_reportdecoder.moc"
