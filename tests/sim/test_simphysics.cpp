// The simulated instrument's physics, seen through its measurement reports.
#include "siminstrument.h"

#include <QtTest>

#include <cstring>

namespace {

QByteArray frame(QByteArray hex)
{
    QByteArray r = QByteArray::fromHex(hex.replace(' ', ""));
    r.append(QByteArray(64 - r.size(), '\0'));
    return r;
}

QByteArray floatFrame(int code, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, 4);
    QByteArray r = frame("55 05 01 00 00 00 00 00 EE FF");
    r[3] = char(code);
    for (int i = 0; i < 4; ++i)
        r[4 + i] = char(bits >> (24 - 8 * i));
    return r;
}

struct Reading
{
    double volts, amps, watts, ohms, wh, mah, mosC, fan;
    bool running;
};

Reading poll(SimInstrument &sim)
{
    const QByteArray r = sim.receive(frame("55 05 01 05 0B 00 8C EE FF")).value(0);
    auto v = [&](int at) {
        const quint32 raw = quint8(r[at]) | quint8(r[at + 1]) << 8 | quint8(r[at + 2]) << 16 |
                            quint32(quint8(r[at + 3])) << 24;
        return raw / 1000.0;
    };
    return {v(8), v(12), v(16), v(20), v(24), v(28), v(40), v(44), r[52] != 0};
}

void start(SimInstrument &sim) { sim.receive(frame("55 05 01 25 01 00 00 00 EE FF")); }

} // namespace

class TestSimPhysics : public QObject
{
    Q_OBJECT
private slots:
    void constantCurrentDischarge()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 32 00 00 00 00 EE FF"));  // no offset in the readings
        const Reading rest = poll(sim);
        QVERIFY(rest.volts > 4.1 && rest.amps == 0);
        start(sim);
        sim.advance(1000);
        const Reading first = poll(sim);
        QCOMPARE(first.amps, 1.0);
        QVERIFY(first.volts < rest.volts);  // the internal resistance drops some
        sim.advance(30 * 60 * 1000 - 1000);
        const Reading half = poll(sim);
        QVERIFY(half.running);
        // 1 A for half an hour is 500 mAh; energy follows the falling voltage.
        QVERIFY2(qAbs(half.mah - 500.0) < 1.0, qPrintable(QString::number(half.mah)));
        QVERIFY(half.volts < first.volts - 0.1);
        const double meanVolts = half.wh / 0.5;
        QVERIFY(meanVolts < first.volts && meanVolts > half.volts);
        QCOMPARE(half.watts, std::round(half.volts * half.amps * 1000) / 1000);
    }

    void cutOffVoltageEndsTheRun()
    {
        SimInstrument sim;
        sim.receive(floatFrame(0x21, 2.0f));
        sim.receive(floatFrame(0x29, 3.7f));
        start(sim);
        Reading r{};
        for (int minute = 0; minute < 120; ++minute) {
            sim.advance(60 * 1000);
            r = poll(sim);
            if (!r.running)
                break;
        }
        QVERIFY(!r.running);
        QCOMPARE(sim.master()->endReason(), QStringLiteral("cut-off"));
        // Stopped near the cut-off; the unloaded cell then shows a little more.
        QVERIFY(r.volts > 3.7 && r.volts < 3.95);
        const double mah = r.mah;
        QVERIFY(mah > 500 && mah < 1500);
        sim.advance(60 * 1000);
        QCOMPARE(poll(sim).mah, mah);
    }

    void timeLimitEndsTheRun()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 31 01 00 00 02 EE FF"));  // 1 minute
        start(sim);
        sim.advance(59 * 1000);
        QVERIFY(poll(sim).running);
        sim.advance(1000);
        QVERIFY(!poll(sim).running);
        QCOMPARE(sim.master()->endReason(), QStringLiteral("time"));
    }

    void regulationModes()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 32 00 00 00 00 EE FF"));
        sim.receive(floatFrame(0x29, 0.0f));
        // Constant voltage: the terminal voltage settles on the set value.
        sim.receive(frame("55 05 01 48 00 00 00 00 EE FF"));
        sim.receive(floatFrame(0x21, 4.0f));
        start(sim);
        sim.advance(200);
        Reading r = poll(sim);
        QVERIFY2(qAbs(r.volts - 4.0) < 0.005, qPrintable(QString::number(r.volts)));
        QVERIFY(r.amps > 0);
        // Constant resistance: V / I is the set resistance.
        sim.receive(frame("55 05 01 49 00 00 00 00 EE FF"));
        sim.receive(floatFrame(0x21, 4.0f));
        start(sim);
        sim.advance(200);
        r = poll(sim);
        QVERIFY2(qAbs(r.ohms - 4.0) < 0.02, qPrintable(QString::number(r.ohms)));
        // Constant power.
        sim.receive(frame("55 05 01 4A 00 00 00 00 EE FF"));
        sim.receive(floatFrame(0x21, 5.0f));
        start(sim);
        sim.advance(200);
        r = poll(sim);
        QVERIFY2(qAbs(r.watts - 5.0) < 0.02, qPrintable(QString::number(r.watts)));
    }

    void heatTurnsTheFanAndProtects()
    {
        SimInstrument sim;
        sim.receive(floatFrame(0x21, 10.0f));
        sim.receive(floatFrame(0x29, 0.0f));
        const double cold = poll(sim).mosC;
        start(sim);
        sim.advance(3 * 60 * 1000);
        const Reading hot = poll(sim);
        QVERIFY(hot.mosC > cold + 15);
        QVERIFY(hot.fan > 0);
        // A lower MOS limit stops the load.
        sim.receive(floatFrame(0x2F, float(hot.mosC - 5)));
        sim.advance(1000);
        QVERIFY(!poll(sim).running);
        QCOMPARE(sim.master()->endReason(), QStringLiteral("over-temperature"));
    }

    void powerTesterAlwaysMeasures()
    {
        SimSetup setup;
        setup.model = QStringLiteral("RX41");
        SimInstrument sim(setup);
        QList<double> amps;
        for (int i = 0; i < 20; ++i) {
            sim.advance(5000);
            const Reading r = poll(sim);
            QVERIFY(r.volts > 4.5 && r.volts < 20.5);
            amps << r.amps;
        }
        QVERIFY(*std::max_element(amps.begin(), amps.end()) -
                    *std::min_element(amps.begin(), amps.end()) > 0.2);
        QVERIFY(poll(sim).mah > 0);
        QVERIFY(poll(sim).wh > 0);
    }
};

QTEST_GUILESS_MAIN(TestSimPhysics)
#include "test_simphysics.moc"
