#include "busscan.h"
#include "commandframe.h"
#include "devicemodel.h"
#include "framesender.h"
#include "hidbackend.h"
#include "pollcycle.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// The scan and the poll cycle against the simulated instrument, reached
// through the socket backend as behind --simulate.
class TestScanSim : public QObject
{
    Q_OBJECT

    struct Rig
    {
        explicit Rig(const QString &setupText)
        {
            SimSetup setup;
            QString error;
            if (!SimSetup::parse(setupText, &setup, &error))
                qFatal("bad setup: %s", qPrintable(error));
            server = std::make_unique<SimServer>(setup);
            const QString path = dir.filePath(QStringLiteral("i.sock"));
            if (!server->listen(path, &error))
                qFatal("cannot serve the simulator: %s", qPrintable(error));
            hid::setBackend(hid::makeSocketBackend(path));
            handle = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        }
        ~Rig()
        {
            handle.reset();
            hid::setBackend(nullptr);
            server.reset();
        }

        // Probes 1 to 10 and collects the answers, as the scan worker paces it.
        DeviceListPlan scan(int expectedAnswers)
        {
            BusScan bus(state);
            bus.begin();
            for (int a = BusScan::FirstAddress; a <= BusScan::LastAddress; ++a)
                bus.probe(handle.get(), qint16(a));
            QDeadlineTimer deadline(3000);
            while (state.addressList.size() < expectedAnswers && !deadline.hasExpired()) {
                bus.readAnswers(handle.get());
                QTest::qWait(10);
            }
            QTest::qWait(100); // a stray extra answer would come by now
            bus.readAnswers(handle.get());
            return bus.finish(handle->product(), handle->manufacturer(), handle->serialNumber());
        }

        // One poll tick and the read ticks until its answer is in.
        bool pollAndRead(PollCycle &poll)
        {
            poll.pollTick(handle.get());
            QDeadlineTimer deadline(2000);
            while (!deadline.hasExpired()) {
                if (poll.readTick(handle.get()) > 0)
                    return true;
                QTest::qWait(10);
            }
            return false;
        }

        QTemporaryDir dir;
        std::unique_ptr<SimServer> server;
        std::unique_ptr<hid::Handle> handle;
        InstrumentState state;
    };

private slots:
    void masterAndTwoSlaves()
    {
        Rig rig(QStringLiteral("KV37,slaves=3+5"));
        QVERIFY(rig.handle);
        rig.state.busAddress = 0x00; // whatever was selected before
        const DeviceListPlan plan = rig.scan(3);
        QCOMPARE(rig.state.addressList, QByteArray("\x01\x03\x05"));
        QCOMPARE(int(rig.state.busAddress), 1);
        QCOMPARE(plan.model, QStringLiteral("KV37"));
        QVERIFY(!plan.version.isEmpty());
        QCOMPARE(plan.entries.size(), 3);
        QCOMPARE(plan.entries[0].indexNumber, 1);
        QCOMPARE(plan.entries[1].indexNumber, 2);
        QCOMPARE(plan.entries[2].indexNumber, 3);
        QVERIFY(plan.entries[0].master && plan.entries[0].ticked);
        QCOMPARE(int(plan.entries[1].state), int(EntryState::Idle));

        const DeviceModel::Identification id =
            DeviceModel::identify(plan.model, DeviceModel::NoClass, DeviceModel::StartPage);
        QCOMPARE(int(id.deviceClass), 1);
        QCOMPARE(id.page, 0);
    }

    void selectedSlaveAnswersThePolls()
    {
        Rig rig(QStringLiteral("KV37,slaves=3+5"));
        QVERIFY(rig.handle);
        rig.scan(3);
        // Give the slave a set value of its own; the master keeps its default.
        sendFrame(rig.handle.get(), CommandFrame::withFloat(0x03, CommandFrame::SetValue, 2.75f));

        PollCycle poll(rig.state);
        rig.state.busAddress = 0x03; // the slave was ticked
        poll.setCounter(1);          // next tick asks for parameters
        QVERIFY(rig.pollAndRead(poll));
        QCOMPARE(rig.state.record.setValue, 2.75f);
        QVERIFY(rig.pollAndRead(poll)); // measurements of the slave are taken too
        QVERIFY(rig.state.record.voltage > 0.0f);

        rig.state.busAddress = 0x01;
        QVERIFY(rig.pollAndRead(poll)); // measurements
        QVERIFY(rig.pollAndRead(poll)); // parameters
        QVERIFY(rig.state.record.setValue != 2.75f);

        for (const QByteArray &r : rig.server->receivedReports()) {
            if (r.at(3) == char(0x03) || r.at(3) == char(0x05))
                QVERIFY(r.at(2) == char(0x03) || r.at(2) == char(0x01));
        }
    }

    void noAnswerGivesTheMasterAlone()
    {
        Rig rig(QStringLiteral("RX41"));
        QVERIFY(rig.handle);
        rig.server->setDropReplies(-1);
        const DeviceListPlan plan = rig.scan(0);
        QVERIFY(rig.state.addressList.isEmpty());
        QCOMPARE(plan.entries.size(), 1);
        QCOMPARE(int(plan.entries[0].address), 1);
        QCOMPARE(int(DeviceModel::classOf(plan.model)), 4);
    }
};

QTEST_GUILESS_MAIN(TestScanSim)
#include "test_scan_sim.moc"
