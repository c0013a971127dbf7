// The simulated instrument's wire side: frames in, report bytes out, checked
// against the instrument's report layouts byte by byte.
#include "siminstrument.h"
#include "simupgradetarget.h"

#include <QtTest>

namespace {

QByteArray frame(QByteArray hex)
{
    QByteArray r = QByteArray::fromHex(hex.replace(' ', ""));
    r.append(QByteArray(64 - r.size(), '\0'));
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

SimSetup setupOf(const QString &text)
{
    SimSetup s;
    QString error;
    if (!SimSetup::parse(text, &s, &error))
        qFatal("%s", qPrintable(error));
    return s;
}

const QByteArray MeasurementPoll = "55 05 01 05 0B 00 8C EE FF";
const QByteArray ParameterPoll = "55 05 01 03 0B 00 8C EE FF";

struct FakeBootloader : SimUpgradeTarget
{
    void begin(qint64 now) override { begun = now; }
    QList<QByteArray> receive(const QByteArray &r, qint64) override
    {
        got.append(r);
        return {QByteArray(64, '\x01')};
    }
    QList<QByteArray> due(qint64 now) override
    {
        if (now >= 1000 && !finished) {
            finished = true;
            return {QByteArray(64, '\x02')};
        }
        return {};
    }
    bool active() const override { return !finished; }
    qint64 begun = -1;
    QList<QByteArray> got;
    bool finished = false;
};

} // namespace

class TestSimInstrument : public QObject
{
    Q_OBJECT
private slots:
    void identity()
    {
        SimInstrument sim(setupOf("PB62"));
        const QByteArray id = sim.identity();
        QVERIFY(id.contains("\"vendor_id\":1155"));
        QVERIFY(id.contains("\"product_id\":22352"));
        QVERIFY(id.contains("\"product\":\"PB62 V1.0.0\""));
    }

    void scanAnswersOfMasterAndSlaves()
    {
        SimInstrument sim(setupOf("KV37,slaves=3+5"));
        QCOMPARE(one(sim, "55 05 01 04 00 00 00 00 EE FF").toHex(),
                 frame("AA 05 01 04 01 00 00 00 EE FF").toHex());
        QCOMPARE(one(sim, "55 05 03 04 00 00 00 00 EE FF").toHex(),
                 frame("AA 05 03 04 00 00 00 00 EE FF").toHex());
        QCOMPARE(one(sim, "55 05 05 04 00 00 00 00 EE FF").left(5).toHex(), QByteArray("aa05050400"));
        QVERIFY(sim.receive(frame("55 05 02 04 00 00 00 00 EE FF")).isEmpty());
        QVERIFY(sim.receive(frame("55 05 0A 04 00 00 00 00 EE FF")).isEmpty());
    }

    void malformedFramesAreRejected()
    {
        SimInstrument sim;
        // 0x66 filler where the trailer belongs, a long-form trailer on a short
        // code, a wrong start byte.
        QVERIFY(sim.receive(frame("55 05 01 25 01 00 00 00 66 66")).isEmpty());
        QVERIFY(sim.receive(frame("55 05 01 05 0B 00 8C 00 EE FF")).isEmpty());
        QVERIFY(sim.receive(frame("AA 05 01 04 00 00 00 00 EE FF")).isEmpty());
        QCOMPARE(sim.rejectedFrames(), 3);
        QVERIFY(!sim.master()->running());
    }

    void parameterReportLayout()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 21 3F C0 00 00 EE FF"));  // set value 1.5
        sim.receive(frame("55 05 01 29 40 40 00 00 EE FF"));  // cut-off 3.0
        sim.receive(frame("55 05 01 27 3F 80 00 00 EE FF"));  // volt calibration 1.0
        sim.receive(frame("55 05 01 49 00 00 00 00 EE FF"));  // constant resistance
        sim.receive(frame("55 05 01 20 03 00 00 00 EE FF"));  // style 3
        sim.receive(frame("55 05 01 22 00 00 00 07 EE FF"));  // brightness 7 (low byte)
        sim.receive(frame("55 05 01 23 00 00 00 02 EE FF"));
        sim.receive(frame("55 05 01 24 00 00 00 1E EE FF"));
        sim.receive(frame("55 05 01 31 02 00 00 01 EE FF"));  // 2 hours
        sim.receive(frame("55 05 01 31 2C 00 00 02 EE FF"));  // 44 minutes
        sim.receive(frame("55 05 01 2F 42 C8 00 00 EE FF"));  // MOS limit 100
        const QByteArray r = one(sim, ParameterPoll);
        QCOMPARE(r.size(), 64);
        QCOMPARE(r.left(4).toHex(), QByteArray("aa050103"));
        QCOMPARE(r.mid(4, 4).toHex(), QByteArray("3fc00000"));
        QCOMPARE(r.mid(12, 4).toHex(), QByteArray("3f800000"));
        QCOMPARE(r.mid(20, 4).toHex(), QByteArray("40400000"));
        QCOMPARE(r.mid(44, 4).toHex(), QByteArray("42c80000"));
        QCOMPARE(r.mid(48, 7).toHex(), QByteArray("020307021e022c"));
        QCOMPARE(r.mid(62, 2).toHex(), QByteArray("eeff"));
        // The settings read (0x03 with a zero argument) answers the same way.
        QCOMPARE(one(sim, "55 05 01 03 00 00 00 EE FF"), r);
    }

    void powerTesterShuntCodes()
    {
        SimInstrument sim(setupOf("RX41"));
        QCOMPARE(quint8(one(sim, ParameterPoll)[53]), quint8(30));  // 30A
        sim.receive(frame("55 05 01 36 00 00 00 07 EE FF"));
        QCOMPARE(quint8(one(sim, ParameterPoll)[53]), quint8(10));  // 1000A
        sim.receive(frame("55 05 01 36 00 00 00 03 EE FF"));
        QCOMPARE(quint8(one(sim, ParameterPoll)[53]), quint8(3));   // 300A
    }

    void measurementReportLayout()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));  // start, 1 A default
        sim.advance(1000);
        const QByteArray r = one(sim, MeasurementPoll);
        QCOMPARE(r.left(4).toHex(), QByteArray("aa050105"));
        SimReports::Readings truth = sim.master()->readings();
        QCOMPARE(u32le(r, 8), quint32(qRound(truth.voltage * 1000)));
        QCOMPARE(u32le(r, 12), quint32(qRound(truth.current * 1000)));
        QVERIFY(u32le(r, 12) >= 1000 && u32le(r, 12) < 1100);
        QCOMPARE(u32le(r, 28), quint32(qRound(truth.capacity * 1000)));
        QCOMPARE(quint8(r[52]), quint8(1));
        QCOMPARE(quint8(r[53]), quint8(0));
        QCOMPARE(quint8(r[60]), quint8(0));

        // A negative temperature travels as magnitude and sign bit 0x20.
        sim.receive(frame("55 05 01 26 BF 80 00 00 EE FF"));  // NTC factor -1
        const QByteArray n = one(sim, MeasurementPoll);
        QCOMPARE(quint8(n[60]), quint8(0x20));
        QVERIFY(u32le(n, 36) > 20000);
        sim.receive(frame("55 05 01 25 00 00 00 00 EE FF"));
        QCOMPARE(quint8(one(sim, MeasurementPoll)[52]), quint8(0));
    }

    void slavesAnswerPollsWithTheirOwnReadings()
    {
        SimInstrument sim(setupOf("KV37,slaves=3"));
        sim.receive(frame("55 05 03 25 01 00 00 00 EE FF"));
        sim.advance(2000);
        const QByteArray slave = one(sim, "55 05 03 05 0B 00 8C EE FF");
        const QByteArray master = one(sim, MeasurementPoll);
        QCOMPARE(quint8(slave[2]), quint8(3));
        QCOMPARE(quint8(slave[52]), quint8(1));
        QCOMPARE(quint8(master[52]), quint8(0));
        QVERIFY(u32le(slave, 12) > 400 && u32le(slave, 12) < 600);  // its own 0.5 A
        QVERIFY(sim.receive(frame("55 05 00 05 0B 00 8C EE FF")).isEmpty());
    }

    void settingCommandsAndResets()
    {
        SimInstrument sim;
        SimNode *m = sim.master();
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        sim.advance(60000);
        QVERIFY(m->capacityMah() > 10);
        sim.receive(frame("55 05 01 34 00 00 00 00 EE FF"));  // clear data
        QCOMPARE(m->capacityMah(), 0.0);
        sim.receive(frame("55 05 01 25 00 00 00 00 EE FF"));
        sim.advance(100);
        QCOMPARE(u32le(one(sim, MeasurementPoll), 12), quint32(12));  // no-load offset
        sim.receive(frame("55 05 01 32 00 00 00 00 EE FF"));  // zero it
        QCOMPARE(u32le(one(sim, MeasurementPoll), 12), quint32(0));
        sim.receive(frame("55 05 01 21 40 00 00 00 EE FF"));
        sim.receive(frame("55 05 01 4A 00 00 00 00 EE FF"));
        sim.receive(frame("55 05 01 33 00 00 00 00 EE FF"));  // factory settings
        QCOMPARE(m->parameters().setValue, 1.0f);
        QCOMPARE(m->parameters().workMode, quint8(3));  // the mode is not a setting
    }

    void promptOfTheCycles()
    {
        SimInstrument sim;
        sim.receive(frame("55 05 01 4E 00 00 00 00 EE FF"));  // mode 7
        QCOMPARE(quint8(one(sim, ParameterPoll)[48]), quint8(7));
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        QByteArray r = one(sim, MeasurementPoll);
        QCOMPARE(quint8(r[52]), quint8(0));   // not running yet
        QCOMPARE(quint8(r[53]), quint8(8));   // countdown
        QCOMPARE(quint8(r[54]), quint8(22));  // 2 choices, second highlighted
        sim.advance(3000);
        QCOMPARE(quint8(one(sim, MeasurementPoll)[53]), quint8(5));
        sim.receive(frame("55 05 01 35 01 00 00 00 EE FF"));  // cancel
        r = one(sim, MeasurementPoll);
        QCOMPARE(quint8(r[53]), quint8(0));
        QCOMPARE(quint8(r[54]), quint8(0));
        QVERIFY(!sim.master()->running());

        // Choice 2 of two clears and starts.
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        sim.receive(frame("55 05 01 35 02 00 00 00 EE FF"));
        QVERIFY(sim.master()->running());
        sim.advance(10000);
        sim.receive(frame("55 05 01 25 00 00 00 00 EE FF"));
        const double kept = sim.master()->capacityMah();
        QVERIFY(kept > 0);

        // With data from the last run there are three choices; OK takes the
        // highlighted one (continue), keeping the data.
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        QCOMPARE(quint8(one(sim, MeasurementPoll)[54]), quint8(32));
        sim.receive(frame("55 05 01 35 05 00 00 00 EE FF"));
        QVERIFY(sim.master()->running());
        QCOMPARE(sim.master()->capacityMah(), kept);
        sim.receive(frame("55 05 01 25 00 00 00 00 EE FF"));

        // Choice 3 clears; an unanswered prompt acts on its highlight when it runs out.
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        sim.receive(frame("55 05 01 35 03 00 00 00 EE FF"));
        QCOMPARE(sim.master()->capacityMah(), 0.0);
        sim.receive(frame("55 05 01 25 00 00 00 00 EE FF"));
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        sim.advance(9000);
        QVERIFY(sim.master()->running());
        QCOMPARE(quint8(one(sim, MeasurementPoll)[53]), quint8(0));

        // Other modes start at once.
        sim.receive(frame("55 05 01 47 00 00 00 00 EE FF"));
        QVERIFY(!sim.master()->running());  // a mode change stops the run
        sim.receive(frame("55 05 01 25 01 00 00 00 EE FF"));
        QVERIFY(sim.master()->running());
    }

    void upgradeHandOver()
    {
        SimInstrument sim;
        FakeBootloader boot;
        // Without a target the request is ignored and commands go on.
        QVERIFY(sim.receive(frame("55 05 09 02 00 00 00 EE FF")).isEmpty());
        QVERIFY(!sim.upgrading());
        sim.setUpgradeTarget(&boot);
        sim.advance(200);
        QVERIFY(sim.receive(frame("55 05 09 02 00 00 00 EE FF")).isEmpty());
        QCOMPARE(boot.begun, qint64(200));
        QVERIFY(sim.upgrading());
        const QByteArray packet = frame("55 05 01 25 01 00 00 00 EE FF");
        QCOMPARE(sim.receive(packet), QList<QByteArray>{QByteArray(64, '\x01')});
        QCOMPARE(boot.got, QList<QByteArray>{packet});
        QVERIFY(!sim.master()->running());  // went to the bootloader, not the load
        QCOMPARE(sim.advance(1000), QList<QByteArray>{QByteArray(64, '\x02')});
        QVERIFY(!sim.upgrading());
        sim.receive(packet);
        QVERIFY(sim.master()->running());
    }
};

QTEST_GUILESS_MAIN(TestSimInstrument)
#include "test_siminstrument.moc"
