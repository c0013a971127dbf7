// The main window against the simulated instrument: connection, bus scan,
// device list, the poll and read cycle, slaves, unplugging and replugging.
#include "commandframe.h"
#include "realtimechart.h"
#include "windowrig.h"

#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTextEdit>

namespace {

template <class T> T *child(const QObject *parent, const QString &name)
{
    T *w = parent->findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

QString labelText(const QObject *parent, const QString &name)
{
    return child<QLabel>(parent, name)->text();
}

// The device entries in the order of the tree's rows.
QList<DeviceInfoUI *> entries(const MainDialog &w)
{
    QList<DeviceInfoUI *> out;
    auto *tree = child<QTreeWidget>(&w, QStringLiteral("device_treeWidget"));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        out.append(qobject_cast<DeviceInfoUI *>(tree->itemWidget(tree->topLevelItem(i), 0)));
    return out;
}

QList<int> codesTo(const QList<QByteArray> &reports, int code)
{
    QList<int> addresses;
    for (const QByteArray &r : reports)
        if (r.size() == 64 && quint8(r[3]) == code)
            addresses.append(quint8(r[2]));
    return addresses;
}

bool near(double a, double b)
{
    return qAbs(a - b) < 0.0015;
}

} // namespace

class TestWindowLink : public QObject
{
    Q_OBJECT

private slots:
    // Start-up with the instrument attached: the load's home menu, one entry,
    // the readings in the record.
    void connectsScansAndReads()
    {
        WindowRig rig;
        MainDialog &w = rig.open();
        // The connection ran during construction, before the window showed.
        QCOMPARE(labelText(&w, QStringLiteral("upgrade_label_devvalue")),
                 QStringLiteral("KV37 V1.0.0"));
        QCOMPARE(w.currentPage(), int(MainDialog::PageStart));
        QVERIFY(w.instrumentState().scanning);
        auto *searching = child<QLabel>(&w, QStringLiteral("label_searching"));
        QVERIFY(searching->movie());
        QCOMPARE(searching->toolTip(), QStringLiteral("正在扫描总线设备"));
        // A second press during the scan: lists cleared, still one list at the end.
        QSignalSpy built(w.deviceLink()->scanWorker(), &my_thread::ThreadShowData_Signal);
        QTest::mouseClick(child<QPushButton>(&w, QStringLiteral("btn_search")), Qt::LeftButton);

        // The scan takes 2.5 s; the home menu follows at once.
        QVERIFY(rig.waitForList(4000));
        QCOMPARE(built.count(), 1);
        QCOMPARE(w.currentPage(), int(MainDialog::PageHome));
        QCOMPARE(int(w.getDeviceClass()), 1);
        QVERIFY(!searching->movie());
        QVERIFY(searching->toolTip().isEmpty());

        const QList<DeviceInfoUI *> rows = entries(w);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(labelText(rows[0], QStringLiteral("label_model_value")), QStringLiteral("KV37"));
        QCOMPARE(labelText(rows[0], QStringLiteral("label_version_value")),
                 QStringLiteral("V1.0.0"));
        QCOMPARE(labelText(rows[0], QStringLiteral("label_index_value")), QStringLiteral("主:1"));
        QCOMPARE(labelText(rows[0], QStringLiteral("label_connect_type")), QStringLiteral("连接"));
        QVERIFY(rows[0]->isTicked());
        QCOMPARE(labelText(&w, QStringLiteral("disp_labDevTiT")), QStringLiteral(" | KV37 1"));

        // Probes went to 1..10 in turn, once (the second press started no worker).
        QCOMPARE(codesTo(rig.sent(), CommandFrame::ScanProbe),
                 QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

        // The poll asks for measurements and parameters in turn; the record fills.
        QVERIFY(rig.exchange());
        QVERIFY(rig.exchange());
        const QList<QByteArray> sent = rig.sent();
        QCOMPARE(sent.at(sent.size() - 2).left(9).toHex(' '),
                 QByteArray("55 05 01 05 0b 00 8c ee ff"));
        QCOMPARE(sent.last().left(9).toHex(' '), QByteArray("55 05 01 03 0b 00 8c ee ff"));
        const SimReports::Readings sim = rig.readings(1);
        const MeasurementRecord &r = w.instrumentState().record;
        QVERIFY(sim.voltage > 3.0);
        QVERIFY2(near(r.voltage, sim.voltage), qPrintable(QString::number(r.voltage)));
        QVERIFY(near(r.cpuTemp, sim.cpuTemp));
        QVERIFY(near(r.mosTemp, sim.mosTemp));
        QCOMPARE(r.cutoffVoltage, 3.0f);
    }

    // Slaves 3 and 5 behind the master: three rows; ticking a slave moves
    // every later frame to its address and the readings to its own.
    void slavesAreListedAndSelectable()
    {
        WindowRig rig(QStringLiteral("KV37,slaves=3+5"));
        MainDialog &w = rig.open();
        QVERIFY(rig.waitForList(4000));
        const QList<DeviceInfoUI *> rows = entries(w);
        QCOMPARE(rows.size(), 3);
        const QStringList index = {QStringLiteral("主:1"), QStringLiteral("从:2"),
                                   QStringLiteral("从:3")};
        const QList<int> states = {2, 0, 0};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(labelText(rows[i], QStringLiteral("label_index_value")), index[i]);
            QCOMPARE(int(rows[i]->state()), states[i]);
        }

        // The master runs at 1 A; its slaves stand idle.
        QVERIFY(w.sendFrame(CommandFrame::withFloat(1, CommandFrame::SetValue, 1.0f)));
        QVERIFY(w.sendFrame(CommandFrame::withLeadByte(1, CommandFrame::RunStop, 1)));
        QTRY_VERIFY(rig.readings(1).running);
        rig.server->advanceClock(2000);
        QVERIFY(rig.exchange());
        QVERIFY(rig.exchange());
        QVERIFY(w.instrumentState().record.current > 0.99f);
        QVERIFY(near(w.instrumentState().record.current, rig.readings(1).current));

        QTest::mouseClick(child<QPushButton>(rows[1], QStringLiteral("btn_Tick")), Qt::LeftButton);
        QCOMPARE(int(w.busAddress()), 3);
        QCOMPARE(labelText(&w, QStringLiteral("disp_labDevTiT")), QStringLiteral(" | KV37 3"));
        QVERIFY(!rows[0]->isTicked());
        QCOMPARE(int(rows[0]->state()), 0);
        QCOMPARE(labelText(rows[1], QStringLiteral("label_connect_type")), QStringLiteral("连接"));

        const int before = rig.sent().size();
        QVERIFY(rig.exchange());
        QVERIFY(rig.exchange());
        const QList<QByteArray> later = rig.sent().mid(before);
        QVERIFY(!later.isEmpty());
        for (const QByteArray &r : later)
            QCOMPARE(int(quint8(r[2])), 3);
        const SimReports::Readings slave = rig.readings(3);
        const MeasurementRecord &r = w.instrumentState().record;
        QVERIFY(near(r.current, slave.current));
        QVERIFY(near(r.voltage, slave.voltage));
        QVERIFY(r.current < 0.1f);

        // Unticking selects nobody.
        QTest::mouseClick(child<QPushButton>(rows[1], QStringLiteral("btn_Tick")), Qt::LeftButton);
        QCOMPARE(int(w.busAddress()), 0);
        QCOMPARE(labelText(&w, QStringLiteral("disp_labDevTiT")), QStringLiteral(" | KV37 Null"));
    }

    // Unplugging gives one loss, the first entry in its error state and the
    // run button stopped; replugging a new connection and a new scan. The
    // upgrade page, while shown, logs both.
    void unplugAndReplug()
    {
        WindowRig rig;
        MainDialog &w = rig.open();
        QVERIFY(rig.waitForList(4000));
        auto *run = child<QPushButton>(&w, QStringLiteral("disp_Btn_Run"));
        QVERIFY(w.realTimeChart()->curveRunFlag());
        QCOMPARE(run->text(), QStringLiteral("停止放电"));
        QCOMPARE(run->toolTip(), QStringLiteral("单击停止放电"));
        auto *log = child<QTextEdit>(&w, QStringLiteral("upgrade_text_log"));
        auto *picture = child<QLabel>(&w, QStringLiteral("upgrade_label_connect"));
        // Connected while the start page showed: no log lines, but the picture says so.
        QVERIFY(log->toPlainText().isEmpty());
        QVERIFY(picture->styleSheet().contains(QStringLiteral("usb_connect.png")));
        w.setCurrentPage(MainDialog::PageUpgrade);

        QSignalSpy lost(w.deviceLink(), &DeviceLink::linkLost);
        QSignalSpy opened(w.deviceLink(), &DeviceLink::mainHandleOpened);
        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QTest::qWait(1200);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!w.linkUp());
        DeviceInfoUI *first = entries(w).value(0);
        QVERIFY(first);
        QCOMPARE(int(first->state()), 1);
        QCOMPARE(labelText(first, QStringLiteral("label_connect_type")), QStringLiteral("错误"));
        QVERIFY(!w.realTimeChart()->curveRunFlag());
        QCOMPARE(run->text(), QStringLiteral("开始放电"));
        QCOMPARE(run->toolTip(), QStringLiteral("单击开始放电"));
        QCOMPARE(log->toPlainText(), QStringLiteral("设备已断开"));
        QVERIFY(picture->styleSheet().contains(QStringLiteral("usb_disconnect.png")));
        // Polls on the stale handle go nowhere and do no harm.
        w.pollTick();
        w.readTick();

        const int probes = codesTo(rig.sent(), CommandFrame::ScanProbe).size();
        rig.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 3000);
        QVERIFY(w.linkUp());
        QCOMPARE(log->toPlainText(),
                 QStringLiteral("设备已断开\n设备已连接\n设备名称:KV37 V1.0.0"));
        QVERIFY(picture->styleSheet().contains(QStringLiteral("usb_connect.png")));
        QVERIFY(rig.waitForList(4000));
        QCOMPARE(codesTo(rig.sent(), CommandFrame::ScanProbe).size(), probes + 10);
        QCOMPARE(entries(w).size(), 1);
        QCOMPARE(int(entries(w).first()->state()), 2);
        QVERIFY(w.realTimeChart()->curveRunFlag());
        QCOMPARE(run->text(), QStringLiteral("停止放电"));
        QCOMPARE(lost.count(), 1);
        QVERIFY(rig.exchange());

        // Closing stops the link thread before the window goes.
        w.close();
        QVERIFY(!w.deviceLink()->usbThread()->isRunning());
        QVERIFY(!w.deviceLink()->scanWorker()->isRunning());
    }

    // A power tester samples every second while connected, and nothing once
    // the link is lost (its last readings are no new measurements).
    void powerTesterStopsSamplingWhenLost()
    {
        WindowRig rig(QStringLiteral("RX41"));
        MainDialog &w = rig.open();
        QVERIFY(rig.waitForList(4000));
        QCOMPARE(w.currentPage(), int(MainDialog::PageRx41Home));
        QCOMPARE(int(w.getDeviceClass()), 4);
        for (int i = 0; i < 6; ++i)
            QVERIFY(rig.exchange());
        QCOMPARE(int(w.sampleStore().size()), 3);

        QSignalSpy lost(w.deviceLink(), &DeviceLink::linkLost);
        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        for (int i = 0; i < 6; ++i)
            w.pollTick();
        QCOMPARE(int(w.sampleStore().size()), 3);
    }
};

QTEST_MAIN(TestWindowLink)
#include "test_window_link.moc"
