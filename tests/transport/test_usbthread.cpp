// The link thread against the simulated instrument through the socket backend.
#include "setting.h"
#include "simfixture.h"
#include "usbthread.h"

#include <QElapsedTimer>

namespace {

SettingsAccess settingsFile()
{
    return {[](const QString &k) { return Setting().read(k); },
            [](const QString &k, const QString &v) { Setting().write(k, v); }};
}

} // namespace

class TestUsbThread : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_cwd.isValid());
        QDir::setCurrent(m_cwd.path());
    }

    void plugInConnectsOnceWithProductString()
    {
        SimFixture sim;
        sim.server->unplug();
        USBThread t;
        QSignalSpy connects(&t, &USBThread::usb_connect);
        QVERIFY(!t.open());
        t.start();
        QTest::qWait(700);
        QCOMPARE(connects.count(), 0);

        QElapsedTimer since;
        sim.server->replug();
        since.start();
        QTRY_VERIFY_WITH_TIMEOUT(connects.count() > 0, 3000);
        // Retries are 500 ms apart; allow for a loaded machine.
        QVERIFY2(since.elapsed() < 1500, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(connects.count(), 1);
        QCOMPARE(connects[0][0].toString(), QStringLiteral("KV37 V1.0.0"));
        QVERIFY(t.isLinkOpen());
        t.stop();
        QVERIFY(t.wait(2000));
    }

    void openEmitsConnectAtOnce()
    {
        SimFixture sim;
        USBThread t;
        QSignalSpy connects(&t, &USBThread::usb_connect);
        QVERIFY(t.open());
        QCOMPARE(connects.count(), 1); // direct, on the caller's thread
        QCOMPARE(connects[0][0].toString(), QStringLiteral("KV37 V1.0.0"));
    }

    void unplugOnceReplugAgain()
    {
        SimFixture sim;
        USBThread t;
        QSignalSpy connects(&t, &USBThread::usb_connect);
        QSignalSpy losses(&t, &USBThread::usb_disconnect);
        QVERIFY(t.open());
        t.start();
        sim.server->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(losses.count() > 0, 2000);
        QTest::qWait(1200); // retries while absent must not report again
        QCOMPARE(losses.count(), 1);
        QVERIFY(!t.isLinkOpen());
        sim.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 2, 3000);
        QCOMPARE(losses.count(), 1);
        t.stop();
        QVERIFY(t.wait(2000));
    }

    void writeSendsHeaderAndFirst63Bytes()
    {
        SimFixture sim;
        USBThread t;
        QSignalSpy errors(&t, &USBThread::usb_send_error);
        QVERIFY(t.open());
        t.start();
        QByteArray data(64, '\0');
        for (int i = 0; i < 64; ++i)
            data[i] = char(i + 1);
        t.write(data);
        QTRY_COMPARE_WITH_TIMEOUT(sim.server->receivedReports().size(), 1, 2000);
        const QByteArray wire = sim.server->receivedReports().first();
        QCOMPARE(wire.size(), 64);
        QCOMPARE(quint8(wire[0]), quint8(0x55));
        QCOMPARE(wire.mid(1), data.left(63));

        // Short data is padded with zeros.
        t.write(reinterpret_cast<const unsigned char *>("\x05\x09"), 2);
        QTRY_COMPARE_WITH_TIMEOUT(sim.server->receivedReports().size(), 2, 2000);
        QCOMPARE(sim.server->receivedReports().last(), QByteArray("\x55\x05\x09", 3) + QByteArray(61, '\0'));
        QCOMPARE(errors.count(), 0);
        t.stop();
        QVERIFY(t.wait(2000));
    }

    void writeWhileClosedDoesNothing()
    {
        SimFixture sim;
        sim.server->unplug();
        USBThread t;
        QSignalSpy errors(&t, &USBThread::usb_send_error);
        QVERIFY(!t.open());
        t.start();
        t.write(QByteArray(10, '\x01'));
        sim.server->replug();
        QTRY_VERIFY_WITH_TIMEOUT(t.isLinkOpen(), 3000);
        QTest::qWait(200);
        // Nothing queued while closed reaches the instrument later.
        QCOMPARE(sim.server->reportsReceived(), 0);
        QCOMPARE(errors.count(), 0);
        t.stop();
        QVERIFY(t.wait(2000));
    }

    void failedWriteReportsSendError()
    {
        SimFixture sim;
        USBThread t;
        QSignalSpy errors(&t, &USBThread::usb_send_error);
        QSignalSpy losses(&t, &USBThread::usb_disconnect);
        QVERIFY(t.open());
        t.start();
        QVERIFY(sim.waitConnections(1));
        sim.server->failWrites();
        t.write(QByteArray(58, '\x11'));
        QTRY_VERIFY_WITH_TIMEOUT(errors.count() > 0, 2000);
        QCOMPARE(errors.count(), 1);
        QVERIFY(t.isLinkOpen()); // a send error does not close the link
        QCOMPARE(losses.count(), 0);
        t.stop();
        QVERIFY(t.wait(2000));
    }

    void reportIdKey()
    {
        {
            USBThread t(nullptr, settingsFile());
            QCOMPARE(Setting().read(QStringLiteral("report_id")), QStringLiteral("85"));
            QCOMPARE(t.reportId(), 85);
        }
        Setting().write(QStringLiteral("report_id"), QStringLiteral("12"));
        {
            USBThread t(nullptr, settingsFile());
            QCOMPARE(t.reportId(), 12);
        }
        QCOMPARE(Setting().read(QStringLiteral("report_id")), QStringLiteral("12"));
        Setting().write(QStringLiteral("report_id"), QStringLiteral("abc"));
        USBThread t(nullptr, settingsFile());
        QCOMPARE(t.reportId(), 0);
        QCOMPARE(Setting().read(QStringLiteral("report_id")), QStringLiteral("abc"));
    }

    void stopReturnsPromptlyOpenOrClosed()
    {
        SimFixture sim;
        for (bool present : {true, false}) {
            if (!present)
                sim.server->unplug();
            USBThread t;
            QCOMPARE(t.open(), present);
            t.start();
            QTest::qWait(100);
            t.stop();
            QVERIFY(t.wait(1000));
        }
    }

    void newDataCarriesItsOwnCopy()
    {
        SimFixture sim;
        USBThread t;
        QSignalSpy data(&t, &USBThread::new_data);
        QVERIFY(t.open());
        t.start();
        auto main = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        SimFixture::write(main.get(), SimFixture::probe(1));
        SimFixture::write(main.get(), SimFixture::report({0x55, 5, 1, 3, 0x0B, 0, 0x8C, 0xEE, 0xFF}));
        // Both replies reach the link thread while the first is still queued for us.
        QTRY_COMPARE_WITH_TIMEOUT(data.count(), 2, 2000);
        const QByteArray first = data[0][0].toByteArray();
        const QByteArray second = data[1][0].toByteArray();
        QCOMPARE(first.size(), 64);
        QCOMPARE(first.left(10).toHex(), QByteArray("aa05010401000000eeff"));
        QCOMPARE(quint8(second[3]), quint8(0x03));
        QCOMPARE(second.mid(62).toHex(), QByteArray("eeff"));
        t.stop();
        QVERIFY(t.wait(2000));
    }

private:
    QTemporaryDir m_cwd;
};

QTEST_GUILESS_MAIN(TestUsbThread)
#include "test_usbthread.moc"
