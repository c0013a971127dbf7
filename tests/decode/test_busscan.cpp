#include "busscan.h"
#include "devicemodel.h"
#include "fakehandle.h"
#include "pollcycle.h"

#include <QtTest>

static QByteArray scanAnswer(unsigned char address, bool master)
{
    QByteArray r = inputReport(address, 0x04);
    r[4] = master ? 0x01 : 0x00;
    putBytes(r, 8, {0xEE, 0xFF});
    return r;
}

class TestBusScan : public QObject
{
    Q_OBJECT
private slots:
    void probesGoOnTheWire()
    {
        InstrumentState s;
        BusScan scan(s);
        FakeHandle h;
        QVERIFY(scan.probe(&h, 3));
        QVERIFY(scan.probe(&h, 0x10A)); // low 8 bits only
        QVERIFY(!scan.probe(nullptr, 4));
        QCOMPARE(h.written.size(), 2);
        const QByteArray frame = QByteArray::fromHex("5505030400000000eeff");
        QCOMPARE(h.written[0], frame + QByteArray(54, '\0'));
        QCOMPARE(h.written[1].left(4), QByteArray::fromHex("55050a04"));
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
        QVERIFY(s.scanning);
        QVERIFY(s.addressList.isEmpty());
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::None);

        for (int address = BusScan::FirstAddress; address <= BusScan::LastAddress; ++address) {
            scan.probe(&h, qint16(address));
            if (address == 1)
                h.incoming.append(scanAnswer(0x01, true));
            if (address == 3 || address == 5)
                h.incoming.append(scanAnswer(quint8(address), false));
            if (address == 5) // answering twice
                h.incoming.append(scanAnswer(0x05, false));
            scan.readAnswers(&h);
        }
        QCOMPARE(h.written.size(), 10);
        QCOMPARE(s.addressList, QByteArray("\x01\x03\x05"));
        QCOMPARE(int(s.busAddress), 1);

        const DeviceListPlan plan = scan.finish(
            QStringLiteral("KV37 V1.2.3"), QStringLiteral("Maker"), QStringLiteral("ABCDEF123456"));
        QVERIFY(!s.scanning);
        QCOMPARE(plan.model, QStringLiteral("KV37"));
        QCOMPARE(plan.version, QStringLiteral("V1.2.3"));
        QCOMPARE(plan.typeText, QStringLiteral("Maker"));
        QCOMPARE(plan.shortSerial, QStringLiteral("ABCDEF"));
        QCOMPARE(plan.titleNumber, 1);
        QCOMPARE(plan.entries.size(), 3);
        const int addresses[] = {1, 3, 5};
        const int numbers[] = {1, 2, 3};
        for (int i = 0; i < 3; ++i) {
            const DeviceEntryPlan &e = plan.entries[i];
            QCOMPARE(int(e.address), addresses[i]);
            QCOMPARE(e.indexNumber, numbers[i]);
            QCOMPARE(e.master, i == 0);
            QCOMPARE(e.ticked, i == 0);
            QCOMPARE(int(e.state), i == 0 ? int(EntryState::Connected) : int(EntryState::Idle));
        }
        QCOMPARE(poll.pollTick(&h).sent, PollCycle::Request::Parameters);
    }

    void answersSeenByTheReadTickCountToo()
    {
        InstrumentState s;
        BusScan scan(s);
        PollCycle poll(s);
        FakeHandle h;
        scan.begin();
        h.incoming = {scanAnswer(0x04, false), scanAnswer(0x02, true)};
        poll.readTick(&h);
        const DeviceListPlan plan = scan.finish(QStringLiteral("RX41 V2"), QString(), QString());
        QCOMPARE(plan.entries.size(), 2);
        QCOMPARE(int(plan.entries[0].address), 2);
        QCOMPARE(int(plan.entries[1].address), 4);
        QCOMPARE(plan.entries[1].indexNumber, 3);
        QCOMPARE(plan.titleNumber, 2);
    }

    void noAnswerGivesTheMasterAlone()
    {
        InstrumentState s;
        BusScan scan(s);
        FakeHandle h;
        scan.begin();
        for (int a = 1; a <= 10; ++a) {
            scan.probe(&h, qint16(a));
            QCOMPARE(scan.readAnswers(&h), 0);
        }
        const DeviceListPlan plan =
            scan.finish(QStringLiteral("KV37"), QString(), QStringLiteral("12"));
        QCOMPARE(plan.entries.size(), 1);
        QCOMPARE(int(plan.entries[0].address), 1);
        QVERIFY(plan.entries[0].ticked);
        QCOMPARE(plan.version, QString()); // no blank: the entry keeps its default
        QCOMPARE(plan.shortSerial, QStringLiteral("12"));
    }

    void slavesOnlyKeepThePreviousMaster()
    {
        const DeviceListPlan plan = BusScan::buildPlan(QStringLiteral("KV37  x"), QString(),
                                                       QString(), 0x06, QByteArray("\x06\x03", 2));
        QCOMPARE(plan.version, QString()); // two blanks: the word after the model is empty
        QCOMPARE(plan.entries.size(), 2);
        QCOMPARE(int(plan.entries[0].address), 6);
        QCOMPARE(plan.entries[0].indexNumber, 4);
        QCOMPARE(int(plan.entries[1].address), 3);
    }

    void deviceTitles()
    {
        QCOMPARE(BusScan::deviceTitle(QStringLiteral("KV37"), QStringLiteral("3")),
                 QStringLiteral(" | KV37 3"));
        QCOMPARE(BusScan::deviceTitleNull(QStringLiteral("RX41")), QStringLiteral(" | RX41 Null"));
    }

    void models_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("cls");
        QTest::newRow("KV37") << "KV37 V1.0.0" << 1;
        QTest::newRow("KV33") << "KV33" << 1;
        QTest::newRow("HM307") << "HM307 V2" << 1;
        QTest::newRow("RX41") << "RX41 V1" << 4;
        QTest::newRow("PB66") << "PB66 V1" << 4;
        QTest::newRow("PB62") << "PB62 V1" << 4;
        QTest::newRow("lower case") << "rx41 V1" << 0;
        QTest::newRow("prefix") << "KV3 V1" << 0;
        QTest::newRow("leading blank") << " KV37" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void models()
    {
        QFETCH(QString, product);
        QFETCH(int, cls);
        QCOMPARE(int(DeviceModel::classOf(DeviceModel::modelWord(product))), cls);
    }

    void identificationPages()
    {
        using namespace DeviceModel;
        Identification id = identify(QStringLiteral("KV37"), NoClass, StartPage);
        QVERIFY(id.recognised);
        QCOMPARE(int(id.deviceClass), 1);
        QCOMPARE(id.page, 0);

        id = identify(QStringLiteral("PB62"), NoClass, StartPage);
        QCOMPARE(int(id.deviceClass), 4);
        QCOMPARE(id.page, 7);

        id = identify(QStringLiteral("rx41"), ElectronicLoad, StartPage);
        QVERIFY(!id.recognised);
        QCOMPARE(int(id.deviceClass), 1);
        QCOMPARE(id.page, int(StartPage));

        // The other family while its settings page is open: class follows, page stays.
        id = identify(QStringLiteral("RX41"), ElectronicLoad, LoadSettingsPage);
        QCOMPARE(int(id.deviceClass), 4);
        QCOMPARE(id.page, int(LoadSettingsPage));

        QCOMPARE(settingsPage(ElectronicLoad, 2), 3);
        QCOMPARE(settingsPage(PowerTester, 2), 9);
        QCOMPARE(settingsPage(NoClass, 2), 2);

        HomeReturn r = homeReturn(ElectronicLoad, 2);
        QVERIFY(r.moves);
        QCOMPARE(r.page, 0);
        QCOMPARE(r.title, QStringLiteral("测试仪主界面"));
        r = homeReturn(PowerTester, 6);
        QCOMPARE(r.page, 7);
        QCOMPARE(r.title, QStringLiteral("电能表主界面"));
        r = homeReturn(NoClass, 6);
        QVERIFY(!r.moves);
        QCOMPARE(r.page, 6);
    }

    void samplingRule()
    {
        using DeviceModel::samplingAllowed;
        QVERIFY(samplingAllowed(4, false, false));
        QVERIFY(samplingAllowed(1, true, true));
        QVERIFY(!samplingAllowed(1, true, false));
        QVERIFY(!samplingAllowed(1, false, true));
        QVERIFY(!samplingAllowed(0, true, true));
    }
};

QTEST_GUILESS_MAIN(TestBusScan)
#include "test_busscan.moc"
