// The simulated instrument: frames in, report bytes out, its physics seen
// through the measurement reports, and the device options that select it.
#include "deviceoptions.h"
#include "siminstrument.h"

#include <QtTest>
#include <cstring>

namespace {

QByteArray frame(QByteArray hex)
{
    return QByteArray::fromHex(hex.replace(' ', "")).leftJustified(64, '\0');
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

QByteArray one(SimInstrument &sim, const QByteArray &hex)
{
    const QList<QByteArray> replies = sim.receive(frame(hex));
    return replies.size() == 1 ? replies.first() : QByteArray();
}

quint32 u32le(const QByteArray &r, int at)
{
    return quint8(r[at]) | quint8(r[at + 1]) << 8 | quint8(r[at + 2]) << 16 |
           quint32(quint8(r[at + 3])) << 24;
}

const QByteArray MeasurementPoll = "55 05 01 05 0B 00 8C EE FF";
const QByteArray ParameterPoll = "55 05 01 03 0B 00 8C EE FF";
const QByteArray Start = "55 05 01 25 01 00 00 00 EE FF";
const QByteArray Stop = "55 05 01 25 00 00 00 00 EE FF";

struct Reading
{
    double volts, amps, watts, wh, mah;
    bool running;
};

Reading poll(SimInstrument &sim)
{
    const QByteArray r = one(sim, MeasurementPoll);
    return {u32le(r, 8) / 1000.0,  u32le(r, 12) / 1000.0, u32le(r, 16) / 1000.0,
            u32le(r, 24) / 1000.0, u32le(r, 28) / 1000.0, r[52] != 0};
}

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void scanAnswersOfMasterAndSlaves()
    {
        SimSetup setup;
        setup.slaves = {3, 5};
        SimInstrument sim(setup);
        QCOMPARE(one(sim, "55 05 01 04 00 00 00 00 EE FF").toHex(),
                 frame("AA 05 01 04 01 00 00 00 EE FF").toHex());
        QCOMPARE(one(sim, "55 05 03 04 00 00 00 00 EE FF").toHex(),
                 frame("AA 05 03 04 00 00 00 00 EE FF").toHex());
        QVERIFY(sim.receive(frame("55 05 02 04 00 00 00 00 EE FF")).isEmpty());
    }
    void parameterReportLayout()
    {
        SimInstrument sim;
        for (const char *hex : {"55 05 01 21 3F C0 00 00 EE FF", // set value 1.5
                                "55 05 01 29 40 40 00 00 EE FF", // cut-off 3.0
                                "55 05 01 27 3F 80 00 00 EE FF", // volt calibration 1.0
                                "55 05 01 49 00 00 00 00 EE FF", // constant resistance
                                "55 05 01 20 03 00 00 00 EE FF", // style 3
                                "55 05 01 22 00 00 00 07 EE FF", // brightness 7 (low byte)
                                "55 05 01 23 00 00 00 02 EE FF", "55 05 01 24 00 00 00 1E EE FF",
                                "55 05 01 31 02 00 00 01 EE FF",  // 2 hours
                                "55 05 01 31 2C 00 00 02 EE FF",  // 44 minutes
                                "55 05 01 2F 42 C8 00 00 EE FF"}) // MOS limit 100
            sim.receive(frame(hex));
        const QByteArray r = one(sim, ParameterPoll);
        QCOMPARE(r.size(), 64);
        QCOMPARE(r.left(4).toHex(), QByteArray("aa050103"));
        QCOMPARE(r.mid(4, 4).toHex(), QByteArray("3fc00000"));
        QCOMPARE(r.mid(12, 4).toHex(), QByteArray("3f800000"));
        QCOMPARE(r.mid(20, 4).toHex(), QByteArray("40400000"));
        QCOMPARE(r.mid(44, 4).toHex(), QByteArray("42c80000"));
        QCOMPARE(r.mid(48, 7).toHex(), QByteArray("020307021e022c"));
        QCOMPARE(r.mid(62, 2).toHex(), QByteArray("eeff"));
    }
    void measurementReportLayout()
    {
        SimInstrument sim;
        sim.receive(frame(Start)); // 1 A by default
        sim.advance(1000);
        const QByteArray r = one(sim, MeasurementPoll);
        QCOMPARE(r.left(4).toHex(), QByteArray("aa050105"));
        const SimReports::Readings truth = sim.master()->readings();
        QCOMPARE(u32le(r, 8), quint32(qRound(truth.voltage * 1000)));
        QCOMPARE(u32le(r, 12), quint32(qRound(truth.current * 1000)));
        QCOMPARE(u32le(r, 28), quint32(qRound(truth.capacity * 1000)));
        QCOMPARE(quint8(r[52]), quint8(1));
        QCOMPARE(quint8(r[60]), quint8(0));
        // A negative temperature travels as magnitude and sign bit 0x20.
        sim.receive(frame("55 05 01 26 BF 80 00 00 EE FF")); // NTC factor -1
        const QByteArray n = one(sim, MeasurementPoll);
        QCOMPARE(quint8(n[60]), quint8(0x20));
        QVERIFY(u32le(n, 36) > 20000);
    }
    void constantCurrentDischarge()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 32 00 00 00 00 EE FF")); // no offset in the readings
        const Reading rest = poll(sim);
        QVERIFY(rest.volts > 4.1 && rest.amps == 0);
        sim.receive(frame(Start));
        sim.advance(1000);
        const Reading first = poll(sim);
        QCOMPARE(first.amps, 1.0);
        QVERIFY(first.volts < rest.volts); // the internal resistance drops some
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
        sim.receive(frame(Start));
        Reading r{};
        for (int minute = 0; minute < 120 && (minute == 0 || r.running); ++minute) {
            sim.advance(60 * 1000);
            r = poll(sim);
        }
        QVERIFY(!r.running);
        QCOMPARE(sim.master()->endReason(), QStringLiteral("cut-off"));
        // Stopped near the cut-off; the unloaded cell then shows a little more.
        QVERIFY(r.volts > 3.7 && r.volts < 3.95);
        QVERIFY(r.mah > 500 && r.mah < 1500);
        sim.advance(60 * 1000);
        QCOMPARE(poll(sim).mah, r.mah);
    }
    // However low the cut-off, the emptying cell reaches it, and never gives more than it held.
    void everyCutOffEndsTheRunWithinTheCellsCapacity_data()
    {
        QTest::addColumn<int>("mode"); // page code of the regulation mode
        QTest::addColumn<float>("setValue");
        QTest::addColumn<float>("cutoff");
        for (float cutoff : {3.0f, 2.5f, 2.0f, 1.0f, 0.1f})
            QTest::addRow("CC 2 A to %.1f V", double(cutoff)) << 0x47 << 2.0f << cutoff;
        QTest::newRow("CC 8 A to 0.1 V") << 0x47 << 8.0f << 0.1f;
        QTest::newRow("CR 2 ohm to 1 V") << 0x49 << 2.0f << 1.0f;
        QTest::newRow("CP 5 W to 2.5 V") << 0x4A << 5.0f << 2.5f;
    }
    void everyCutOffEndsTheRunWithinTheCellsCapacity()
    {
        QFETCH(int, mode);
        QFETCH(float, setValue);
        QFETCH(float, cutoff);
        SimInstrument sim;
        QByteArray modeFrame = frame("55 05 01 00 00 00 00 00 EE FF");
        modeFrame[3] = char(mode);
        sim.receive(modeFrame);
        sim.receive(floatFrame(0x21, setValue));
        sim.receive(floatFrame(0x29, cutoff));
        sim.receive(frame(Start));
        Reading r{};
        for (int minute = 0; minute < 24 * 60 && (minute == 0 || r.running); ++minute) {
            sim.advance(60 * 1000);
            r = poll(sim);
        }
        QVERIFY(!r.running);
        QCOMPARE(sim.master()->endReason(), QStringLiteral("cut-off"));
        const double heldMah = sim.master()->battery().capacityAh * 1000;
        QVERIFY2(r.mah <= heldMah, qPrintable(QString::number(r.mah)));
        if (mode == 0x47 && setValue < 3)
            QVERIFY2(r.mah > 0.9 * heldMah, qPrintable(QString::number(r.mah)));
    }
    // A lower cut-off gives a little more of the same cell, never more than it held.
    void lowerCutOffDeliversMore()
    {
        double previous = 0;
        for (float cutoff : {3.3f, 3.0f, 2.5f}) {
            SimInstrument sim;
            sim.receive(floatFrame(0x21, 1.0f));
            sim.receive(floatFrame(0x29, cutoff));
            sim.receive(frame(Start));
            for (int minute = 0; minute < 24 * 60 && sim.master()->running(); ++minute)
                sim.advance(60 * 1000);
            QCOMPARE(sim.master()->endReason(), QStringLiteral("cut-off"));
            const double mah = sim.master()->capacityMah();
            QVERIFY2(mah > previous, qPrintable(QString::number(mah)));
            QVERIFY(mah <= sim.master()->battery().capacityAh * 1000);
            previous = mah;
        }
    }
    void promptOfTheCycles()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 4E 00 00 00 00 EE FF")); // mode 7
        QCOMPARE(quint8(one(sim, ParameterPoll)[48]), quint8(7));
        sim.receive(frame(Start));
        QByteArray r = one(sim, MeasurementPoll);
        QCOMPARE(quint8(r[52]), quint8(0));  // not running yet
        QCOMPARE(quint8(r[53]), quint8(8));  // countdown
        QCOMPARE(quint8(r[54]), quint8(22)); // 2 choices, second highlighted
        sim.advance(3000);
        QCOMPARE(quint8(one(sim, MeasurementPoll)[53]), quint8(5));
        sim.receive(frame("55 05 01 35 01 00 00 00 EE FF")); // cancel
        r = one(sim, MeasurementPoll);
        QCOMPARE(quint8(r[53]) + quint8(r[54]), 0);
        QVERIFY(!sim.master()->running());
        // Choice 2 of two clears and starts.
        sim.receive(frame(Start));
        sim.receive(frame("55 05 01 35 02 00 00 00 EE FF"));
        QVERIFY(sim.master()->running());
        sim.advance(10000);
        sim.receive(frame(Stop));
        const double kept = sim.master()->capacityMah();
        QVERIFY(kept > 0);
        // With data from the last run there are three choices; OK takes the
        // highlighted one (continue), keeping the data.
        sim.receive(frame(Start));
        QCOMPARE(quint8(one(sim, MeasurementPoll)[54]), quint8(32));
        sim.receive(frame("55 05 01 35 05 00 00 00 EE FF"));
        QVERIFY(sim.master()->running());
        QCOMPARE(sim.master()->capacityMah(), kept);
    }
    void deviceOptions()
    {
        QStringList args{"prog", "--device", "socket:/tmp/x.sock", "file.csv"};
        DeviceOptions::Choice c;
        QString error;
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(c.socketPath, QStringLiteral("/tmp/x.sock"));
        QCOMPARE(args, (QStringList{"prog", "file.csv"}));
        args = QStringList{"prog", "--simulate=RX41,slaves=3+5"};
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(c.setup.model, QStringLiteral("RX41"));
        QCOMPARE(c.setup.slaves, (QList<quint8>{3, 5}));
        DeviceSession s;
        QCOMPARE(s.setupFromArguments({"p", "--bogus"}), 2);
        // Anywhere on the line; every other word stays, in order, for the
        // program's own parser or the toolkit.
        args = QStringList{"prog",      "-style",     "fusion",   "--json", "--address",
                           "3",         "--simulate", "set",      "value",  "-1",
                           "--verbose", "--",         "--version"};
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(args, (QStringList{"prog", "-style", "fusion", "--json", "--address", "3", "set",
                                    "value", "-1", "--"}));
        QVERIFY(c.kind == DeviceOptions::Choice::Kind::Simulate && c.verbose && c.version &&
                !c.help);
        QCOMPARE(c.setup.model, QStringLiteral("KV37"));
        // The word after --device is its value, whatever it looks like.
        args = QStringList{"prog", "--device", "-h"};
        QVERIFY(!DeviceOptions::extract(args, &c, &error));
        QCOMPARE(error, QStringLiteral("--device takes hid or socket:PATH, not \"-h\""));
        QVERIFY(!c.help);
        // --version and --help are known even when a device option is wrong.
        args = QStringList{"prog", "--version", "-h", "--device"};
        QVERIFY(!DeviceOptions::extract(args, &c, &error));
        QCOMPARE(error, QStringLiteral("--device needs a value: hid or socket:PATH"));
        QVERIFY(c.version && c.help);
    }
    void deviceOptionsRejectMalformed_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no value") << QStringList{"p", "--device"};
        QTest::newRow("bad device") << QStringList{"p", "--device", "usb"};
        QTest::newRow("both") << QStringList{"p", "--simulate", "--device", "hid"};
        QTest::newRow("bad model") << QStringList{"p", "--simulate=K V"};
        QTest::newRow("bad slave") << QStringList{"p", "--simulate=KV37,slaves=1"};
        QTest::newRow("unknown item") << QStringList{"p", "--simulate=KV37,colour=red"};
    }
    void deviceOptionsRejectMalformed()
    {
        QFETCH(QStringList, args);
        DeviceOptions::Choice c;
        QString error;
        QVERIFY(!DeviceOptions::extract(args, &c, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
