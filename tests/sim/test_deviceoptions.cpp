// The device options every program takes, and the setup word of the simulator.
#include "deviceoptions.h"
#include "hidbackend.h"
#include "simserver.h"

#include <QtTest>

class TestDeviceOptions : public QObject
{
    Q_OBJECT
private slots:
    void parsesAndLeavesTheRest()
    {
        QStringList args{"prog", "--device", "socket:/tmp/x.sock", "file.csv"};
        DeviceOptions::Choice c;
        QString error;
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(int(c.kind), int(DeviceOptions::Choice::Kind::Socket));
        QCOMPARE(c.socketPath, QStringLiteral("/tmp/x.sock"));
        QCOMPARE(args, (QStringList{"prog", "file.csv"}));

        args = QStringList{"prog", "--simulate=RX41,slaves=3+5"};
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(int(c.kind), int(DeviceOptions::Choice::Kind::Simulate));
        QCOMPARE(c.setup.model, QStringLiteral("RX41"));
        QCOMPARE(c.setup.slaves, (QList<quint8>{3, 5}));
        QCOMPARE(int(c.setup.family()), int(SimSetup::Family::PowerTester));
        QCOMPARE(c.setup.productString(), QStringLiteral("RX41 V1.0.0"));

        args = QStringList{"prog", "--simulate"};
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(c.setup.model, QStringLiteral("KV37"));
        QVERIFY(c.setup.slaves.isEmpty());

        args = QStringList{"prog", "--device=hid", "-h"};
        QVERIFY(DeviceOptions::extract(args, &c, &error));
        QCOMPARE(int(c.kind), int(DeviceOptions::Choice::Kind::Hid));
        QVERIFY(c.help);
    }

    void rejectsMalformed_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no value") << QStringList{"p", "--device"};
        QTest::newRow("bad device") << QStringList{"p", "--device", "usb"};
        QTest::newRow("empty socket") << QStringList{"p", "--device", "socket:"};
        QTest::newRow("both") << QStringList{"p", "--simulate", "--device", "hid"};
        QTest::newRow("empty setup") << QStringList{"p", "--simulate="};
        QTest::newRow("bad model") << QStringList{"p", "--simulate=K V"};
        QTest::newRow("bad slave") << QStringList{"p", "--simulate=KV37,slaves=1"};
        QTest::newRow("slave text") << QStringList{"p", "--simulate=KV37,slaves=x"};
        QTest::newRow("unknown item") << QStringList{"p", "--simulate=KV37,colour=red"};
    }
    void rejectsMalformed()
    {
        QFETCH(QStringList, args);
        DeviceOptions::Choice c;
        QString error;
        QVERIFY(!DeviceOptions::extract(args, &c, &error));
        QVERIFY(!error.isEmpty());
    }

    void exitCodes()
    {
        DeviceSession s;
        QCOMPARE(s.setupFromArguments({"p", "--bogus"}), 2);
        QCOMPARE(s.setupFromArguments({"p", "--device", "usb"}), 2);
        QCOMPARE(s.setupFromArguments({"p", "--help"}), 0);
    }

    void simulateServesTheInstrumentInProcess()
    {
        {
            DeviceSession s;
            QCOMPARE(s.setupFromArguments({"p", "--simulate=KV33,slaves=4"}), -1);
            QVERIFY(s.simulator());
            const QList<hid::DeviceInfo> list =
                hid::backend().enumerate(hid::InstrumentVendorId, hid::InstrumentProductId);
            QCOMPARE(list.size(), 1);
            QCOMPARE(list[0].product, QStringLiteral("KV33 V1.0.0"));
            auto h = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
            QVERIFY(h);
            QByteArray probe = QByteArray::fromHex("5505040400000000eeff");
            probe.append(QByteArray(54, '\0'));
            QCOMPARE(h->write(reinterpret_cast<const unsigned char *>(probe.constData()), 64), 64);
            unsigned char answer[64];
            QCOMPARE(h->read(answer, 64, 2000), 64);
            QCOMPARE(QByteArray(reinterpret_cast<char *>(answer), 10).toHex(),
                     QByteArray("aa05040400000000eeff"));
        }
        hid::setBackend(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestDeviceOptions)
#include "test_deviceoptions.moc"
