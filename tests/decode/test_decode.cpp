// Input reports decoded, the poll and read ticks, the bus scan and the model rules.
#include "../common/fakehandle.h"
#include "busscan.h"
#include "devicemodel.h"
#include "hidbackend.h"
#include "pollcycle.h"
#include "reportdecoder.h"

#include <QSignalSpy>
#include <QtTest>
#include <cstring>

namespace {

// Hands out queued input reports one per read and keeps every output report.

void putRaw(QByteArray &r, int offset, quint32 raw)
{
    for (int i = 0; i < 4; ++i)
        r[offset + i] = char(raw >> 8 * i);
}
// A 64-byte input report AA 05 <address> <kind>, the rest zero but for `raw` in every
// measurement field.
QByteArray report(int address, int kind, quint32 raw = 0)
{
    QByteArray r = QByteArray::fromHex("AA05") + QByteArray(62, '\0');
    r[2] = char(address);
    r[3] = char(kind);
    for (int i = 0; kind == 5 && i < 10; ++i)
        putRaw(r, 8 + 4 * i, raw);
    return r;
}
QByteArray scanAnswer(int address, bool master)
{
    return report(address, 4)
        .replace(4, 6, QByteArray::fromHex(master ? "01000000EEFF" : "00000000EEFF"));
}
QByteArray parameters(int address) // set value 1.5
{
    return report(address, 3)
        .replace(4, 4, QByteArray::fromHex("3FC00000"))
        .replace(62, 2, "\xEE\xFF");
}
QByteArray outputReport(const char *hex)
{
    const QByteArray frame = QByteArray::fromHex(hex);
    return frame + QByteArray(64 - frame.size(), '\0');
}
// The ten measurement fields in report order.
QVector<float> readings(const MeasurementRecord &m)
{
    return {m.voltage,  m.current, m.power,   m.resistance, m.energy,
            m.capacity, m.cpuTemp, m.ntcTemp, m.mosTemp,    m.fanSpeed};
}

} // namespace

class TestDecode : public QObject
{
    Q_OBJECT
private slots:
    void measurementReport()
    {
        InstrumentState s;
        QByteArray r = report(0x01, 0x05);
        for (int i = 0; i < 10; ++i)
            putRaw(r, 8 + 4 * i, i == 0 ? 12345 : 1000u * (i + 1) + 1);
        r.replace(52, 3, "\x01\x09\x16");
        QCOMPARE(decodeReport(r, s), Report::Outcome::Measurements);
        const QVector<float> expected = {12.345f, 2.001f, 3.001f, 4.001f, 5.001f,
                                         6.001f,  7.001f, 8.001f, 9.001f, 10.001f};
        QCOMPARE(readings(s.record), expected);
        QVERIFY(s.running);
        const MeasurementRecord &m = s.record;
        QCOMPARE(QVector<int>({m.promptCountdown, m.promptChoiceCount, m.promptSelection}),
                 QVector<int>({9, 2, 2}));
        decodeReport(r.replace(52, 1, QByteArray(1, '\0')), s);
        QVERIFY(!s.running);
    }

    void signBitTouchesOnlyItsField()
    {
        // current, cpu, ntc, mos
        const QList<QPair<int, int>> bitField = {{0x80, 1}, {0x40, 6}, {0x20, 7}, {0x10, 8}};
        for (const auto &[bit, field] : bitField) {
            InstrumentState s;
            QByteArray r = report(0x01, 0x05, 1500);
            r[60] = char(bit);
            decodeReport(r, s);
            for (int i = 0; i < 10; ++i)
                QCOMPARE(readings(s.record)[i], i == field ? -1.5f : 1.5f);
            QCOMPARE(int(s.record.signFlags), bit);
        }
    }

    void rawValueAtLimitKeepsOldValue()
    {
        const QList<QPair<int, quint32>> fieldLimit = {{0, 300000u},   {1, 100000u},
                                                       {2, 30000000u}, {5, 999999000u},
                                                       {8, 300000u},   {9, 10000000u}};
        for (const auto &[field, limit] : fieldLimit) {
            InstrumentState s;
            QByteArray r = report(0x01, 0x05, 5000);
            for (quint32 raw : {5000u, limit, 0xFFFFFFFFu, limit - 1}) {
                putRaw(r, 8 + 4 * field, raw);
                decodeReport(r, s);
                QCOMPARE(readings(s.record)[field],
                         raw == limit - 1 ? float((limit - 1) / 1000.0) : 5.0f);
            }
        }
    }

    void parameterReport()
    {
        InstrumentState s;
        s.record.voltage = 7.0f;
        QByteArray r = parameters(0x01);
        r.replace(20, 4, QByteArray::fromHex("40400000"));       // cut-off 3.0
        r.replace(44, 4, QByteArray::fromHex("C1200000"));       // MOS over-temperature -10.0
        r.replace(48, 7, QByteArray::fromHex("0703501405021E")); // work mode 7 .. 30 minutes
        QCOMPARE(decodeReport(r, s), Report::Outcome::Parameters);
        QVERIFY(s.parametersArrived);
        const MeasurementRecord &m = s.record;
        QCOMPARE(QVector<float>({m.setValue, m.cutoffVoltage, m.mosOverTemp}),
                 QVector<float>({1.5f, 3.0f, -10.0f}));
        QCOMPARE(QVector<int>({m.workMode, m.languageStyle, m.timeLimitMinutes}),
                 QVector<int>({7, 3, 30}));
        QCOMPARE(m.voltage, 7.0f); // measurement fields are not the parameter report's
    }

    void otherAddressesAndShortReportsIgnored()
    {
        InstrumentState s;
        decodeReport(report(0x01, 0x05, 4000), s);
        QCOMPARE(decodeReport(report(0x02, 0x05, 9000).replace(52, 1, "\x01"), s),
                 Report::Outcome::OtherAddress);
        decodeReport(parameters(0x02), s);
        // Fewer than 64 bytes delivered: not decoded, whatever the buffer holds past them.
        const QByteArray full = report(0x01, 0x05, 9000), params = parameters(0x01);
        QCOMPARE(decodeReport(reinterpret_cast<const unsigned char *>(full.constData()), 63, s),
                 Report::Outcome::Ignored);
        QCOMPARE(decodeReport(reinterpret_cast<const unsigned char *>(params.constData()), 40, s),
                 Report::Outcome::Ignored);
        QCOMPARE(decodeReport(nullptr, 64, s), Report::Outcome::Ignored);
        QCOMPARE(s.record.voltage, 4.0f);
        QVERIFY(!s.running && !s.parametersArrived);
    }

    void scanAnswers()
    {
        InstrumentState s;
        for (int twice = 0; twice < 2; ++twice)
            QCOMPARE(decodeReport(scanAnswer(0x03, true), s), Report::Outcome::ScanAnswer);
        QCOMPARE(int(s.masterAddress), 3);
        decodeReport(scanAnswer(0x05, false), s); // listed, but selects nothing
        QCOMPARE(int(s.busAddress), 3);
        QCOMPARE(s.addressList, QByteArray("\x03\x05"));
        // Without the trailer it is another address's report or nothing at all.
        QByteArray noTrailer = scanAnswer(0x07, true).replace(8, 2, QByteArray(2, '\0'));
        QCOMPARE(decodeReport(noTrailer, s), Report::Outcome::OtherAddress);
        QCOMPARE(decodeReport(noTrailer.replace(2, 1, "\x03"), s), Report::Outcome::Ignored);
        QCOMPARE(s.addressList.size(), 2);
        // Then measurements of the new address are taken and the old one's are not.
        decodeReport(report(0x03, 0x05, 3300), s);
        decodeReport(report(0x01, 0x05, 1100), s);
        QCOMPARE(s.record.voltage, 3.3f);
    }

    void pollAlternatesByParityAndWraps()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        QSignalSpy samples(&poll, &PollCycle::sampleTick);
        const PollCycle::Tick first = poll.pollTick(&h);
        QCOMPARE(first.count, 1u);
        QCOMPARE(first.sent, PollCycle::Request::Measurements);
        QVERIFY(first.sampleTick && !poll.pollTick(&h).sampleTick);
        s.busAddress = 0x03;
        poll.pollTick(&h);
        s.busAddress = 0x00;
        poll.pollTick(&h);
        const QList<QByteArray> polls = {
            outputReport("550501050B008CEEFF"), outputReport("550501030B008CEEFF"),
            outputReport("550503050B008CEEFF"), outputReport("550500030B008CEEFF")};
        QCOMPARE(h.written, polls);
        QCOMPARE(samples.size(), 2);
        QCOMPARE(samples[1][0].toUInt(), 3u);
        // Silent while a scan runs; the chart keeps its clock without an instrument.
        QVERIFY(poll.pollTick(nullptr).sampleTick);
        s.scanning = true;
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::None);
        s.scanning = false;
        QCOMPARE(h.written.size(), 4);

        poll.setCounter(0x0FFFFFFE);
        QCOMPARE(poll.pollTick(&h).count, 0x0FFFFFFFu);
        const PollCycle::Tick wrapped = poll.pollTick(&h);
        QCOMPARE(wrapped.count, 0u);
        QCOMPARE(wrapped.sent, PollCycle::Request::Parameters);
    }

    void readTickDrainsEveryWaitingReport()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        QSignalSpy refresh(&poll, &PollCycle::displayRefresh);
        for (quint32 i = 1; i <= 10; ++i)
            h.incoming.append(report(0x01, 0x05, 1000 * i));
        QCOMPARE(poll.readTick(&h), 10);
        QCOMPARE(s.record.voltage, 10.0f);
        QCOMPARE(refresh.size(), 1);
        QCOMPARE(poll.readTick(&h), 0); // nothing waiting: no refresh
        QCOMPARE(refresh.size(), 1);
        // In order: address 1's report before the scan answer is taken, the one after it is not.
        h.incoming = {report(0x01, 0x05, 2000), scanAnswer(0x03, true), report(0x01, 0x05, 9000),
                      report(0x03, 0x05, 3300), parameters(0x03)};
        QCOMPARE(poll.readTick(&h), 5);
        QCOMPARE(s.record.voltage, 3.3f);
        QCOMPARE(s.record.setValue, 1.5f);
        // A short read is skipped and draining goes on past it; a gone handle ends it.
        h.incoming = {report(0x03, 0x05, 5000).left(20), report(0x03, 0x05, 6000)};
        h.gone = true;
        QCOMPARE(poll.readTick(&h), 1);
        QCOMPARE(s.record.voltage, 6.0f);
        // An instrument that never stops sending does not hold the tick forever.
        h.incoming =
            QVector<QByteArray>(PollCycle::MaxReadsPerTick + 5, report(3, 5, 4321)).toList();
        QCOMPARE(poll.readTick(&h), PollCycle::MaxReadsPerTick);
    }

    void scanWithMasterAndTwoSlaves()
    {
        InstrumentState s;
        s.addressList = "\x07"; // from an earlier scan
        s.busAddress = 0x00;
        BusScan scan(s);
        PollCycle poll(s);
        FakeHandle h;
        scan.begin();
        QVERIFY(s.addressList.isEmpty());
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::None);
        for (int address = BusScan::FirstAddress; address <= BusScan::LastAddress; ++address) {
            QVERIFY(scan.probe(&h, qint16(address)));
            if (address == 1 || address == 3 || address == 5)
                h.incoming.append(scanAnswer(address, address == 1));
            scan.readAnswers(&h);
            if (address == 5) { // answering twice, the second time to the read tick
                h.incoming.append(scanAnswer(0x05, false));
                poll.readTick(&h);
            }
        }
        QCOMPARE(h.written.size(), 10);
        QCOMPARE(h.written[2], outputReport("5505030400000000EEFF"));
        QCOMPARE(s.addressList, QByteArray("\x01\x03\x05"));
        QCOMPARE(int(s.busAddress), 1);
        const DeviceListPlan plan =
            scan.finish(QStringLiteral("KV37 V1.2.3"), QString(), QStringLiteral("ABCDEF123456"));
        QVERIFY(!s.scanning);
        QCOMPARE(plan.model + plan.version + plan.shortSerial, QStringLiteral("KV37V1.2.3ABCDEF"));
        QCOMPARE(plan.titleNumber, 1);
        QCOMPARE(plan.entries.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const DeviceEntryPlan &e = plan.entries[i];
            QCOMPARE(int(e.address), 2 * i + 1);
            QCOMPARE(e.indexNumber, i + 1);
            QCOMPARE(e.master && e.ticked, i == 0);
            QCOMPARE(int(e.state), i == 0 ? int(EntryState::Connected) : int(EntryState::Idle));
        }
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::Parameters);

        // No answer: the master alone at address 1.
        InstrumentState none;
        BusScan silent(none);
        silent.begin();
        const DeviceListPlan alone = silent.finish(QStringLiteral("KV37"), QString(), QString());
        QCOMPARE(alone.entries.size(), 1);
        QVERIFY(alone.entries[0].address == 1 && alone.entries[0].ticked);
    }

    void modelWords()
    {
        using namespace DeviceModel;
        const QList<QPair<QString, int>> products = {{"KV37 V1.0.0", 1}, {"HM307 V2", 1},
                                                     {"PB62 V1", 4},     {"rx41 V1", 0},
                                                     {"KV3 V1", 0},      {" KV37", 0}};
        for (const auto &[product, cls] : products)
            QCOMPARE(int(classOf(modelWord(product))), cls);
    }
};

QTEST_GUILESS_MAIN(TestDecode)
#include "test_decode.moc"
