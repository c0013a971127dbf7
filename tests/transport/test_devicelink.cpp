// The connection lifecycle: main handle, the window's texts, the scan pacing.
#include "devicelink.h"
#include "enumeration.h"
#include "simfixture.h"

#include <QElapsedTimer>

class TestDeviceLink : public QObject
{
    Q_OBJECT
private slots:
    void startWithInstrumentConnectsBeforeReturning()
    {
        SimFixture sim;
        DeviceLink link;
        QStringList order;
        QSignalSpy names(&link, &DeviceLink::deviceNameChanged);
        QSignalSpy upgrade(&link, &DeviceLink::upgradePageStatus);
        connect(&link, &DeviceLink::deviceNameChanged, [&] { order << "name"; });
        connect(&link, &DeviceLink::deviceListCleared, [&] { order << "cleared"; });
        connect(&link, &DeviceLink::mainHandleOpened, [&] {
            order << "opened";
            QVERIFY(link.mainHandle());
        });
        link.start();
        QCOMPARE(order, (QStringList{"name", "cleared", "opened"}));
        QCOMPARE(names[0][0].toString(), QStringLiteral("KV37 V1.0.0"));
        QCOMPARE(upgrade[0][0].toStringList(),
                 (QStringList{QStringLiteral("设备已连接"), QStringLiteral("设备名称:KV37 V1.0.0")}));
        QCOMPARE(upgrade[0][1].toString(),
                 QStringLiteral("border-image:url(:/sys/rs/rs/usb_connect.png) 0 0 0 0 stretch stretch;"));
        QCOMPARE(link.serialNumberText(), SimSetup().serial);
        QCOMPARE(link.productText(), QStringLiteral("KV37 V1.0.0"));
        QCOMPARE(link.enumeration().count, 1);
        QCOMPARE(link.enumeration().serials, QStringList{SimSetup().serial});
        for (QTimer *t : {link.pollTimer(), link.readTimer(), link.runButtonTimer()}) {
            QVERIFY(t->isActive());
            QCOMPARE(t->interval(), 500);
        }
        QSignalSpy polls(&link, &DeviceLink::pollTick);
        QSignalSpy reads(&link, &DeviceLink::readTick);
        QSignalSpy runs(&link, &DeviceLink::runButtonTick);
        QTRY_VERIFY_WITH_TIMEOUT(polls.count() && reads.count() && runs.count(), 2000);
    }

    void everyConnectionReplacesTheMainHandle()
    {
        SimFixture sim;
        DeviceLink link;
        link.start();
        QVERIFY(sim.waitConnections(2)); // the link thread's and the window's
        link.usbconnect(QStringLiteral("KV37 V1.0.0"));
        link.usbconnect(QStringLiteral("KV37 V1.0.0"));
        // The old main handle is closed before the new one opens.
        QVERIFY(sim.waitConnections(2));
        QTest::qWait(100);
        QCOMPARE(sim.server->connectionCount(), 2);
    }

    void bothHandlesReceiveEveryReport()
    {
        SimFixture sim;
        DeviceLink link;
        QSignalSpy linkData(link.usbThread(), &USBThread::new_data);
        link.start();
        QCOMPARE(SimFixture::write(link.mainHandle(), SimFixture::probe(1)), 64);
        const QByteArray onMain = SimFixture::read(link.mainHandle());
        QCOMPARE(onMain.left(10).toHex(), QByteArray("aa05010401000000eeff"));
        QTRY_COMPARE_WITH_TIMEOUT(linkData.count(), 1, 2000);
        QCOMPARE(linkData[0][0].toByteArray(), onMain);
    }

    void unplugAndReplug()
    {
        SimFixture sim;
        DeviceLink link;
        QSignalSpy lost(&link, &DeviceLink::linkLost);
        QSignalSpy opened(&link, &DeviceLink::mainHandleOpened);
        QSignalSpy upgrade(&link, &DeviceLink::upgradePageStatus);
        link.start();
        QCOMPARE(opened.count(), 1);
        hid::Handle *before = link.mainHandle();
        sim.server->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(lost.count() > 0, 2000);
        QCOMPARE(upgrade.last()[0].toStringList(), QStringList{QStringLiteral("设备已断开")});
        QCOMPARE(upgrade.last()[1].toString(),
                 QStringLiteral("border-image:url(:/sys/rs/rs/usb_disconnect.png) 0 0 0 0 stretch stretch;"));
        // The stale main handle stays and reads fail until the next connection.
        QCOMPARE(link.mainHandle(), before);
        unsigned char buffer[64];
        QCOMPARE(link.mainHandle()->read(buffer, 64, 0), -1);

        sim.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 2, 3000);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(SimFixture::write(link.mainHandle(), SimFixture::probe(1)), 64);
        QCOMPARE(SimFixture::read(link.mainHandle()).size(), 64);
    }

    void mainHandleFailureIsReported()
    {
        SimFixture sim;
        DeviceLink link;
        sim.server->unplug();
        QSignalSpy failed(&link, &DeviceLink::mainHandleFailed);
        QSignalSpy opened(&link, &DeviceLink::mainHandleOpened);
        link.usbconnect(QStringLiteral("KV37 V1.0.0"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(opened.count(), 0);
        QVERIFY(!link.mainHandle());
        QCOMPARE(link.enumeration().count, 0);
        QVERIFY(link.enumeration().serials.isEmpty());
    }

    void sendErrorTexts()
    {
        DeviceLink link;
        QSignalSpy box(&link, &DeviceLink::sendErrorMessage);
        link.usbsenderror();
        QCOMPARE(box.count(), 1);
        QCOMPARE(box[0][0].toString(), QStringLiteral("错误"));
        QCOMPARE(box[0][1].toString(), QStringLiteral("USB发送数据异常"));
    }

    void shutdownWithInstrumentAbsentIsPrompt()
    {
        SimFixture sim;
        sim.server->unplug();
        DeviceLink link;
        link.start();
        QVERIFY(!link.mainHandle());
        QTest::qWait(100);
        link.shutdown();
        QVERIFY(link.usbThread()->isFinished());
        QVERIFY(!link.pollTimer()->isActive());
    }

    void scanPacing()
    {
        DeviceLink link;
        QElapsedTimer clock;
        // Stamped on the pacing thread itself, so a busy receiver cannot skew them.
        QMutex mutex;
        QList<QPair<QString, qint64>> events;
        QList<int> addresses;
        auto stamp = [&](const QString &what) {
            QMutexLocker lock(&mutex);
            events << qMakePair(what, clock.elapsed());
        };
        my_thread *scan = link.scanWorker();
        connect(scan, &my_thread::ThreadSendData_Signal, this, [&](qint16 a) {
            {
                QMutexLocker lock(&mutex);
                addresses << a;
            }
            stamp(QStringLiteral("probe"));
        }, Qt::DirectConnection);
        connect(scan, &my_thread::ThreadRecvData_Signal, this,
                [&] { stamp(QStringLiteral("read")); }, Qt::DirectConnection);
        connect(scan, &my_thread::ThreadShowData_Signal, this,
                [&] { stamp(QStringLiteral("show")); }, Qt::DirectConnection);
        clock.start();
        QVERIFY(link.startScan());
        QVERIFY(!link.startScan()); // a second start while it runs does nothing
        QVERIFY(scan->wait(8000));
        QCOMPARE(addresses, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QCOMPARE(events.size(), 21);
        QVERIFY2(events[0].second >= 990, qPrintable(QString::number(events[0].second)));
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(events[2 * i].first, QStringLiteral("probe"));
            QCOMPARE(events[2 * i + 1].first, QStringLiteral("read"));
            const qint64 gap = events[2 * i + 1].second - events[2 * i].second;
            QVERIFY2(gap >= 140 && gap < 600, qPrintable(QString::number(gap)));
        }
        QVERIFY(link.startScan()); // reusable for the next scan
        link.shutdown();           // and a running scan ends with the window
        QVERIFY(scan->isFinished());
    }
};

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "test_devicelink.moc"
