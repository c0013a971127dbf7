#include "fakehandle.h"
#include "pollcycle.h"

#include <QSignalSpy>
#include <QtTest>

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

static QByteArray report64(const QByteArray &frame)
{
    return frame + QByteArray(64 - frame.size(), '\0');
}

static QByteArray measurement(unsigned char address, quint32 rawVoltage)
{
    QByteArray r = inputReport(address, 0x05);
    putBytes(
        r, 8,
        {int(rawVoltage & 0xFF), int(rawVoltage >> 8 & 0xFF), int(rawVoltage >> 16 & 0xFF), 0});
    return r;
}

class TestPollCycle : public QObject
{
    Q_OBJECT
private slots:
    void requestsAlternateByParity()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        QSignalSpy samples(&poll, &PollCycle::sampleTick);

        const PollCycle::Tick first = poll.pollTick(&h);
        QCOMPARE(first.count, 1u);
        QCOMPARE(first.sent, PollCycle::Request::Measurements);
        QVERIFY(first.sampleTick);
        const PollCycle::Tick second = poll.pollTick(&h);
        QCOMPARE(second.sent, PollCycle::Request::Parameters);
        QVERIFY(!second.sampleTick);
        s.busAddress = 0x03;
        poll.pollTick(&h);
        s.busAddress = 0x00;
        poll.pollTick(&h);

        QCOMPARE(h.written.size(), 4);
        QCOMPARE(h.written[0], report64(hex("55 05 01 05 0B 00 8C EE FF")));
        QCOMPARE(h.written[1], report64(hex("55 05 01 03 0B 00 8C EE FF")));
        QCOMPARE(h.written[2], report64(hex("55 05 03 05 0B 00 8C EE FF")));
        QCOMPARE(h.written[3], report64(hex("55 05 00 03 0B 00 8C EE FF")));
        QCOMPARE(samples.size(), 2);
        QCOMPARE(samples[1][0].toUInt(), 3u);
    }

    void counterWrapsAfter0x0FFFFFFF()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        poll.setCounter(0x0FFFFFFE);
        QCOMPARE(poll.pollTick(&h).count, 0x0FFFFFFFu);
        const PollCycle::Tick wrapped = poll.pollTick(&h);
        QCOMPARE(wrapped.count, 0u);
        QCOMPARE(wrapped.sent, PollCycle::Request::Parameters);
        QCOMPARE(poll.pollTick(&h).count, 1u);
        poll.setCounter(0xFFFFFFF0u); // above the wrap, as after a corrupt resume
        QCOMPARE(poll.pollTick(&h).count, 0u);
        QCOMPARE(h.written[0].at(3), char(0x05));
        QCOMPARE(h.written[1].at(3), char(0x03));
    }

    void silentWithoutHandleOrWhileScanning()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        QSignalSpy samples(&poll, &PollCycle::sampleTick);

        PollCycle::Tick t = poll.pollTick(nullptr);
        QCOMPARE(t.sent, PollCycle::Request::None);
        QVERIFY(t.sampleTick); // the chart keeps its clock without an instrument

        s.scanning = true;
        t = poll.pollTick(&h);
        QCOMPARE(t.sent, PollCycle::Request::None);
        t = poll.pollTick(&h);
        QCOMPARE(t.count, 3u);
        QVERIFY(!t.sampleTick);
        QVERIFY(h.written.isEmpty());
        QCOMPARE(samples.size(), 1);

        s.scanning = false;
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::Parameters);
        QCOMPARE(h.written.size(), 1);
    }

    void upgradeEntryIsSentOnceThenPollingGoesOn()
    {
        InstrumentState s;
        s.busAddress = 0x02;
        PollCycle poll(s);
        FakeHandle h;
        const PollCycle::Tick t = poll.enterUpgrade(&h);
        QCOMPARE(t.sent, PollCycle::Request::UpgradeEntry);
        QCOMPARE(t.count, 1u);
        QVERIFY(!poll.upgradeEntryPending());
        QCOMPARE(h.written.size(), 1);
        QCOMPARE(h.written[0], report64(hex("55 05 09 02 00 00 00 EE FF")));
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::Parameters);
        QCOMPARE(h.written[1].left(4), hex("55 05 02 03"));

        // Skipped while no handle is open or a scan runs: not sent later either.
        poll.enterUpgrade(nullptr);
        s.scanning = true;
        poll.enterUpgrade(&h);
        s.scanning = false;
        QCOMPARE(poll.counter(), 4u);
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::Measurements);
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::Parameters);
        QCOMPARE(h.written.size(), 4);
        for (const QByteArray &w : qAsConst(h.written).mid(2))
            QVERIFY(w.at(3) != char(0x02));
    }

    void readTickDrainsEveryWaitingReport()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        QSignalSpy refresh(&poll, &PollCycle::displayRefresh);
        for (quint32 i = 1; i <= 10; ++i)
            h.incoming.append(measurement(0x01, 1000 * i));

        QCOMPARE(poll.readTick(&h), 10);
        QCOMPARE(s.record.voltage, 10.0f);
        QVERIFY(h.incoming.isEmpty());
        QCOMPARE(refresh.size(), 1);

        // Nothing waiting: no refresh.
        QCOMPARE(poll.readTick(&h), 0);
        QCOMPARE(refresh.size(), 1);
        QCOMPARE(poll.readTick(nullptr), 0);
    }

    void drainedReportsAreDecodedInOrder()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle h;
        QByteArray answer = inputReport(0x03, 0x04);
        answer[4] = 0x01;
        putBytes(answer, 8, {0xEE, 0xFF});
        QByteArray params = inputReport(0x03, 0x03);
        putBytes(params, 4, {0x3F, 0xC0, 0x00, 0x00});
        putBytes(params, 62, {0xEE, 0xFF});
        // Address 1's report before the answer is taken; the one after it is not.
        h.incoming = {measurement(0x01, 2000), answer, measurement(0x01, 9000),
                      measurement(0x03, 3300), params};
        QCOMPARE(poll.readTick(&h), 5);
        QCOMPARE(int(s.busAddress), 3);
        QCOMPARE(s.record.voltage, 3.3f);
        QCOMPARE(s.record.setValue, 1.5f);
        QVERIFY(s.parametersArrived);
    }

    void drainingStops()
    {
        InstrumentState s;
        PollCycle poll(s);
        FakeHandle gone;
        gone.incoming = {measurement(0x01, 1234)};
        gone.gone = true;
        QCOMPARE(poll.readTick(&gone), 1);
        QCOMPARE(gone.reads, 2);
        QCOMPARE(s.record.voltage, 1.234f);

        // An instrument that never stops sending does not hold the tick forever.
        FakeHandle flood;
        flood.endless = true;
        flood.incoming = {measurement(0x01, 4321)};
        QCOMPARE(poll.readTick(&flood), PollCycle::MaxReadsPerTick);
        QCOMPARE(flood.reads, PollCycle::MaxReadsPerTick);

        // A short read is skipped, not decoded, and draining goes on past it.
        FakeHandle shortRead;
        shortRead.incoming = {measurement(0x01, 5000).left(20), measurement(0x01, 6000)};
        QCOMPARE(poll.readTick(&shortRead), 1);
        QCOMPARE(s.record.voltage, 6.0f);
    }
};

QTEST_GUILESS_MAIN(TestPollCycle)
#include "test_pollcycle.moc"
