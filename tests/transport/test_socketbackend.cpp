// The socket backend against the simulated instrument: the same semantics as
// hidraw, and the faults tests switch on.
#include "simfixture.h"

class TestSocketBackend : public QObject
{
    Q_OBJECT
private slots:
    void enumerateGivesIdentityAndLeavesNoConnection()
    {
        SimSetup setup;
        QString error;
        QVERIFY(SimSetup::parse(QStringLiteral("RX41"), &setup, &error));
        SimFixture sim(setup);
        const QList<hid::DeviceInfo> list =
            hid::backend().enumerate(hid::InstrumentVendorId, hid::InstrumentProductId);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].product, QStringLiteral("RX41 V1.0.0"));
        QCOMPARE(list[0].vendorId, hid::InstrumentVendorId);
        QCOMPARE(list[0].productId, hid::InstrumentProductId);
        QVERIFY(!list[0].serialNumber.isEmpty());
        QVERIFY(hid::backend().enumerate(0x1234, 0x5678).isEmpty());
        QVERIFY(sim.waitConnections(0));
    }

    void openChecksSerialNumber()
    {
        SimFixture sim;
        const QString serial = SimSetup().serial;
        auto h = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId, serial);
        QVERIFY(h);
        QCOMPARE(h->serialNumber(), serial);
        QCOMPARE(h->product(), QStringLiteral("KV37 V1.0.0"));
        QVERIFY(!hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId,
                                     QStringLiteral("other")));
    }

    void everyHandleGetsEveryReportInOrder()
    {
        SimFixture sim;
        auto a = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        auto b = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        QVERIFY(a && b);
        QCOMPARE(SimFixture::write(a.get(), SimFixture::probe(1)), hid::ReportSize);
        QCOMPARE(SimFixture::write(a.get(), SimFixture::report({0x55, 5, 1, 3, 0x0B, 0, 0x8C, 0xEE, 0xFF})),
                 hid::ReportSize);
        for (hid::Handle *h : {a.get(), b.get()}) {
            const QByteArray first = SimFixture::read(h);
            const QByteArray second = SimFixture::read(h);
            QCOMPARE(first.size(), hid::ReportSize);
            QCOMPARE(first.left(10).toHex(), QByteArray("aa05010401000000eeff"));
            QCOMPARE(quint8(second[3]), quint8(0x03));
        }
        // Nothing more waits: a zero timeout returns at once with 0.
        unsigned char buffer[64];
        QCOMPARE(a->read(buffer, sizeof buffer, 0), 0);
        QCOMPARE(a->read(buffer, sizeof buffer, 20), 0);
    }

    void fullQueueDropsNewReports()
    {
        SimFixture sim;
        auto reader = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        auto writer = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        for (int i = 0; i < hid::QueueLimit + 16; ++i) {
            // Alternate two kinds so the survivors show which were kept.
            const QByteArray r = i < hid::QueueLimit
                                     ? SimFixture::probe(1)
                                     : SimFixture::report({0x55, 5, 1, 5, 0x0B, 0, 0x8C, 0xEE, 0xFF});
            QCOMPARE(SimFixture::write(writer.get(), r), hid::ReportSize);
            // Let each reply land before the next request.
            while (sim.server->reportsReceived() < i + 1)
                QThread::msleep(1);
        }
        QTest::qWait(200);
        int count = 0;
        for (QByteArray r = SimFixture::read(reader.get(), 50); !r.isEmpty();
             r = SimFixture::read(reader.get(), 50)) {
            QCOMPARE(quint8(r[3]), quint8(0x04));
            ++count;
        }
        QCOMPARE(count, hid::QueueLimit);
    }

    void unplugEndsHandlesAndRefusesConnections()
    {
        SimFixture sim;
        auto h = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        QVERIFY(h);
        sim.server->unplug();
        unsigned char buffer[64];
        QCOMPARE(h->read(buffer, sizeof buffer, 2000), -1);
        QVERIFY(!hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId));
        QVERIFY(hid::backend().enumerate(hid::InstrumentVendorId, hid::InstrumentProductId).isEmpty());
        sim.server->replug();
        QVERIFY(hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId));
    }

    void replyDelayFollowsTheInstrumentClock()
    {
        SimFixture sim(SimSetup(), 0.0); // the clock moves only when told
        auto h = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        sim.server->setReplyDelay(300);
        SimFixture::write(h.get(), SimFixture::probe(1));
        QVERIFY(SimFixture::read(h.get(), 300).isEmpty());
        sim.server->advanceClock(299);
        QVERIFY(SimFixture::read(h.get(), 100).isEmpty());
        sim.server->advanceClock(1);
        QCOMPARE(SimFixture::read(h.get()).size(), hid::ReportSize);
    }

    void droppedRepliesAreLost()
    {
        SimFixture sim;
        auto h = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        sim.server->setDropReplies(2);
        for (int i = 0; i < 3; ++i)
            SimFixture::write(h.get(), SimFixture::probe(1));
        QVERIFY(!SimFixture::read(h.get()).isEmpty());
        QVERIFY(SimFixture::read(h.get(), 300).isEmpty());
    }

    void failedWritesReturnMinusOneAndReadsGoOn()
    {
        SimFixture sim;
        auto h = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        auto other = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        QVERIFY(sim.waitConnections(2));
        sim.server->failWrites();
        QCOMPARE(SimFixture::write(h.get(), SimFixture::probe(1)), -1);
        // A fresh connection writes again, and the old one still hears it.
        auto fresh = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        QCOMPARE(SimFixture::write(fresh.get(), SimFixture::probe(1)), hid::ReportSize);
        QCOMPARE(SimFixture::read(h.get()).size(), hid::ReportSize);
    }
};

QTEST_GUILESS_MAIN(TestSocketBackend)
#include "test_socketbackend.moc"
