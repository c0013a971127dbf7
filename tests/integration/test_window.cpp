// The whole window against a simulated instrument served in this process through the socket
// backend. Its 500 ms timers are stopped so a test moves the exchange one tick at a time.
#include "chartmenu.h"
#include "commandframe.h"
#include "confirmations.h"
#include "devicelink.h"
#include "firmwareupgrade.h"
#include "maindialog.h"
#include "pages/historypage.h"
#include "realtimechart.h"
#include "runstore.h"
#include "runsummarypanel.h"
#include "runtracker.h"
#include "setting.h"
#include "simbootloader.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QtCharts/QChartView>
#include <QtTest>
#include <QtWidgets>
#include <cmath>
#include <csignal>
#include <memory>

namespace {

template <class T = QLabel> T *child(const QObject *parent, const char *name)
{
    T *w = parent->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}
QString text(const QObject *parent, const char *name)
{
    return child(parent, name)->text();
}
bool near(double a, double b)
{
    return qAbs(a - b) < 0.0015;
}

QString sqlite(const QString &db, const QString &query)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db, query});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct WindowRig
{
    explicit WindowRig(const QString &setupText = QString())
    {
        QDir::setCurrent(dir.path()); // the settings file lands in the working directory
        SimSetup setup;
        QString error;
        if (!SimSetup::parse(setupText, &setup, &error))
            qFatal("bad setup: %s", qPrintable(error));
        server = std::make_unique<SimServer>(setup, 0.0);
        server->setUpgradeTarget(&boot);
        if (!server->listen(dir.filePath(QStringLiteral("i.sock")), &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(dir.filePath(QStringLiteral("i.sock"))));
        session = std::make_unique<InstrumentSession>();
        w = std::make_unique<MainDialog>(*session);
        for (QTimer *t : {link()->pollTimer(), link()->readTimer(), link()->runButtonTimer()})
            t->stop();
        w->setMessageBox([this](QWidget *, QMessageBox::Icon, const QString &title,
                                const QString &text) { boxes.append(title + ": " + text); });
        w->setQuestionBox([this](QWidget *, const dialoghooks::Question &q) {
            questions.append(q);
            return answer;
        });
    }
    ~WindowRig()
    {
        w.reset();
        session.reset();
        hid::setBackend(nullptr);
        server.reset();
        QDir::setCurrent(QDir::tempPath());
    }
    DeviceLink *link() const { return w->deviceLink(); }

    // The bus scan that follows every connection has built its list.
    bool listed() const
    {
        return !w->instrumentState().scanning && !w->deviceList().pairs().isEmpty() &&
               !link()->scanWorker()->isRunning();
    }
    // One poll tick, then read ticks until its answer has been decoded.
    bool exchange()
    {
        QSignalSpy refreshed(&w->pollCycle(), &PollCycle::displayRefresh);
        w->pollTick();
        QDeadlineTimer deadline(3000);
        while (refreshed.isEmpty() && !deadline.hasExpired()) {
            QTest::qWait(2);
            w->readTick();
        }
        return !refreshed.isEmpty();
    }
    // Output reports the instrument received, oldest first; the addresses a command went to.
    QList<QByteArray> sent() const { return server->receivedReports(); }
    int sentStarting(const char *hex) const
    {
        int n = 0;
        for (const QByteArray &r : sent())
            n += r.startsWith(QByteArray::fromHex(hex)) ? 1 : 0;
        return n;
    }
    QList<int> addressesOf(int code) const
    {
        QList<int> addresses;
        for (const QByteArray &r : sent())
            if (r.size() == 64 && quint8(r[3]) == code)
                addresses.append(quint8(r[2]));
        return addresses;
    }
    // What the simulated instrument at `address` would report now.
    SimReports::Readings readings(quint8 address)
    {
        SimReports::Readings r;
        server->withInstrument([&](SimInstrument &i) { r = i.node(address)->readings(); });
        return r;
    }
    // The device entries in the order of the tree's rows.
    QList<DeviceInfoUI *> entries() const
    {
        QList<DeviceInfoUI *> out;
        auto *tree = child<QTreeWidget>(w.get(), "device_treeWidget");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            out.append(qobject_cast<DeviceInfoUI *>(tree->itemWidget(tree->topLevelItem(i), 0)));
        return out;
    }
    void click(const char *name) const
    {
        QTest::mouseClick(child<QAbstractButton>(w.get(), name), Qt::LeftButton);
    }

    QTemporaryDir dir;
    SimBootloader boot; // outlives the server that hands it the reports
    std::unique_ptr<SimServer> server;
    std::unique_ptr<InstrumentSession> session;
    std::unique_ptr<MainDialog> w;
    QStringList boxes;
    QList<dialoghooks::Question> questions;
    QMessageBox::StandardButton answer = QMessageBox::Discard;
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    // Start-up with a master and slaves 3 and 5 attached: the load's home menu, three entries,
    // the record filled. Ticking a slave moves every later frame to its address and the
    // readings to its own; unticking selects nobody. Then unplugged and plugged in again.
    void connectsSelectsAndReconnects()
    {
        WindowRig rig(QStringLiteral("KV37,slaves=3+5"));
        MainDialog &w = *rig.w;
        QCOMPARE(text(&w, "upgrade_label_devvalue"), QStringLiteral("KV37 V1.0.0"));
        QCOMPARE(w.currentPage(), int(MainDialog::PageStart));
        // A second press during the scan: still one list at the end.
        QSignalSpy built(rig.link()->scanWorker(), &my_thread::ThreadShowData_Signal);
        rig.click("btn_search");
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        QCOMPARE(built.count(), 1);
        QCOMPARE(w.currentPage(), int(MainDialog::PageHome));
        QCOMPARE(rig.addressesOf(CommandFrame::ScanProbe),
                 QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        const QList<DeviceInfoUI *> rows = rig.entries();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(text(rows[0], "label_version_value"), QStringLiteral("V1.0.0"));
        QCOMPARE(text(rows[0], "label_index_value"), QStringLiteral("主:1"));
        QCOMPARE(text(rows[2], "label_index_value"), QStringLiteral("从:3"));
        QCOMPARE(text(rows[0], "label_connect_type"), QStringLiteral("连接"));
        QCOMPARE(text(&w, "disp_labDevTiT"), QStringLiteral(" | KV37 1"));

        // The master runs at 1 A; its slaves stand idle. The record fills from the master.
        QVERIFY(w.sendFrame(CommandFrame::withFloat(1, CommandFrame::SetValue, 1.0f)));
        QVERIFY(w.sendFrame(CommandFrame::withLeadByte(1, CommandFrame::RunStop, 1)));
        QTRY_VERIFY(rig.readings(1).running);
        rig.server->advanceClock(2000);
        QVERIFY(rig.exchange() && rig.exchange());
        const MeasurementRecord &r = w.instrumentState().record;
        QVERIFY2(near(r.voltage, rig.readings(1).voltage), qPrintable(QString::number(r.voltage)));
        QVERIFY(near(r.cpuTemp, rig.readings(1).cpuTemp));
        QVERIFY(r.current > 0.99f);
        QCOMPARE(r.cutoffVoltage, 3.0f);

        QTest::mouseClick(child<QPushButton>(rows[1], "btn_Tick"), Qt::LeftButton);
        QCOMPARE(int(w.busAddress()), 3);
        QCOMPARE(text(&w, "disp_labDevTiT"), QStringLiteral(" | KV37 3"));
        const int before = rig.sent().size();
        QVERIFY(rig.exchange() && rig.exchange());
        const QList<QByteArray> later = rig.sent().mid(before);
        QVERIFY(!later.isEmpty());
        for (const QByteArray &frame : later)
            QCOMPARE(int(quint8(frame[2])), 3);
        QVERIFY(near(r.current, rig.readings(3).current));
        QVERIFY(near(r.voltage, rig.readings(3).voltage));
        QVERIFY(r.current < 0.1f);
        QTest::mouseClick(child<QPushButton>(rows[1], "btn_Tick"), Qt::LeftButton);
        QCOMPARE(int(w.busAddress()), 0);
        QCOMPARE(text(&w, "disp_labDevTiT"), QStringLiteral(" | KV37 Null"));

        // Unplugging gives one loss, the first entry in its error state and the run button
        // stopped; replugging a new connection and a new scan. The upgrade page logs both.
        auto *run = child<QPushButton>(&w, "disp_Btn_Run");
        QCOMPARE(run->text(), QStringLiteral("停止放电"));
        auto *log = child<QTextEdit>(&w, "upgrade_text_log");
        QVERIFY(log->toPlainText().isEmpty()); // connected while the start page showed
        w.setCurrentPage(MainDialog::PageUpgrade);
        QSignalSpy lost(rig.link(), &DeviceLink::linkLost);
        QSignalSpy opened(rig.link(), &DeviceLink::mainHandleOpened);
        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QTest::qWait(1200);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!w.linkUp());
        QCOMPARE(text(rig.entries().value(0), "label_connect_type"), QStringLiteral("错误"));
        // Nothing on screen passes for live: no entry ticked, the readings "--" under a line
        // that says the instrument is gone and awaited.
        for (DeviceInfoUI *entry : rig.entries())
            QVERIFY(!entry->isTicked());
        auto *lostLine = child(&w, "disp_label_linkLost");
        QVERIFY(!lostLine->isHidden());
        QVERIFY2(lostLine->text().contains(QStringLiteral("断开")) &&
                     lostLine->text().contains(QStringLiteral("等待")),
                 qPrintable(lostLine->text()));
        for (const char *reading : {"disp_label_VOL", "disp_label_CUR", "disp_label_CAP",
                                    "disp_label_CPU_VALUE", "disp_label_FANS_VALUE"})
            QCOMPARE(text(&w, reading), QStringLiteral("--"));
        w.updateDisplay(); // the stale record shows nothing as live
        w.runButtonRefresh();
        QCOMPARE(text(&w, "disp_label_VOL"), QStringLiteral("--"));
        QVERIFY(!w.realTimeChart()->curveRunFlag());
        QCOMPARE(run->text(), QStringLiteral("开始放电"));
        QCOMPARE(log->toPlainText(), QStringLiteral("设备已断开"));
        QVERIFY(child(&w, "upgrade_label_connect")->styleSheet().contains("usb_disconnect.png"));
        w.pollTick(); // polls on the stale handle go nowhere and do no harm
        w.readTick();

        const int probes = rig.addressesOf(CommandFrame::ScanProbe).size();
        rig.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 3000);
        QVERIFY(w.linkUp());
        QCOMPARE(log->toPlainText(),
                 QStringLiteral("设备已断开\n设备已连接\n设备名称:KV37 V1.0.0"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        QCOMPARE(rig.addressesOf(CommandFrame::ScanProbe).size(), probes + 10);
        QCOMPARE(int(rig.entries().value(0)->state()), 2);
        QVERIFY(rig.entries().value(0)->isTicked());
        QVERIFY(lostLine->isHidden());
        QVERIFY(rig.exchange());
        QVERIFY(text(&w, "disp_label_VOL") != QStringLiteral("--"));
        // A report the link thread could not write whole: the warning box.
        rig.boxes.clear();
        emit rig.link()->sendError();
        QCOMPARE(rig.boxes, QStringList{QStringLiteral("错误: USB发送数据异常")});
        w.close(); // closing stops the link thread before the window goes
        QVERIFY(!rig.link()->usbThread()->isRunning());
    }

    // A language switch while connected shows the same instruments in the new language.
    void languageSwitchKeepsTheInstruments()
    {
        WindowRig rig(QStringLiteral("KV37,slaves=3+5"));
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        const auto shown = [&] {
            QStringList rows;
            for (DeviceInfoUI *e : rig.entries())
                rows << QStringList{text(e, "label_index_value"),   text(e, "label_model_value"),
                                    text(e, "label_version_value"), text(e, "label_serial_value"),
                                    text(e, "label_connect_type"),  e->isTicked() ? "ticked" : ""}
                            .join(' ');
            return rows;
        };
        const QStringList chinese = shown();
        QCOMPARE(chinese.size(), 3);
        QVERIFY2(chinese[0].startsWith(QStringLiteral("主:1 KV37 V1.0.0 ")) &&
                     chinese[0].endsWith(QStringLiteral(" 连接 ticked")),
                 qPrintable(chinese[0]));
        QVERIFY(QMetaObject::invokeMethod(&w, "onS_Act2Clicked_Slot"));
        QStringList english = chinese;
        english.replaceInStrings(QStringLiteral("主:"), QStringLiteral("M:"))
            .replaceInStrings(QStringLiteral("从:"), QStringLiteral("S:"))
            .replaceInStrings(QStringLiteral("连接"), QStringLiteral("Connect"))
            .replaceInStrings(QStringLiteral("空闲"), QStringLiteral("Idle"));
        QCOMPARE(shown(), english);
        QCOMPARE(text(&w, "disp_labDevTiT"), QStringLiteral(" | KV37 1"));
        QVERIFY(QMetaObject::invokeMethod(&w, "onS_Act1Clicked_Slot"));
        QCOMPARE(shown(), chinese);
    }

    // A power tester is sampled from the first measurement of a connection on,
    // never before it (the record would still hold zeros). The window's own
    // handle failing alone is the instrument's loss: the entry shows it, and
    // the window connects again.
    void powerTesterRecordsOnlyMeasurements()
    {
        WindowRig rig(QStringLiteral("RX41"));
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        const SampleStore &store = w.sampleStore();
        w.pollTick(); // one of these two is a sampling tick, with no report yet
        w.pollTick();
        QCOMPARE(int(store.size()), 0);
        rig.server->advanceClock(1000);
        for (int i = 0; i < 6; ++i)
            QVERIFY(rig.exchange());
        QVERIFY(store.size() >= 2);
        for (size_t i = 0; i < store.size(); ++i)
            QVERIFY2(store.valueAt(SampleStore::Voltage, i) > 4.0f, qPrintable(QString::number(i)));

        QSignalSpy lost(rig.link(), &DeviceLink::linkLost);
        QSignalSpy opened(rig.link(), &DeviceLink::mainHandleOpened);
        rig.server->hangUpNewest(); // the window's handle, opened after the link's
        QDeadlineTimer deadline(3000);
        while (lost.isEmpty() && !deadline.hasExpired()) { // as the window's ticks would
            w.pollTick();
            w.readTick();
            QTest::qWait(20);
        }
        QCOMPARE(lost.count(), 1);
        const size_t before = store.size();
        QCOMPARE(text(rig.entries().value(0), "label_connect_type"), QStringLiteral("错误"));
        w.pollTick();
        w.pollTick();
        QCOMPARE(store.size(), before); // nothing measured meanwhile
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        for (int i = 0; i < 4; ++i) // two of them sampling ticks, one with a fresh report
            QVERIFY(rig.exchange());
        QVERIFY(store.size() > before);
        QCOMPARE(lost.count(), 1);
    }

    // A discharge the window records is kept in the history as it is taken
    // (while a command-line log writes into the same history), ends as
    // stopped with its summary over the readings page, and the history page
    // opens, compares, exports (the very bytes of the live export), reports,
    // labels and deletes it.
    void runsKeptInTheHistory()
    {
        WindowRig rig;
        MainDialog &w = *rig.w;
        const QString db = rig.dir.filePath(QStringLiteral("history.sqlite"));
        QVERIFY(w.openHistory(db));
        // A second program writes into the same history meanwhile.
        QTemporaryDir other;
        QProcess sim, log;
        sim.start(QStringLiteral(SIM_PATH), {"--listen", other.filePath("s.sock"), "RX41"});
        QTRY_VERIFY(QFile::exists(other.filePath("s.sock")));
        log.start(QStringLiteral(CLI_PATH), {"--device", "socket:" + other.filePath("s.sock"),
                                             "--history", db, "log", other.filePath("l.csv")});
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        rig.click("tbtn3");
        QVERIFY(w.sendFrame(CommandFrame::withFloat(1, CommandFrame::SetValue, 1.0f)));
        QVERIFY(rig.exchange() && rig.exchange());
        rig.click("disp_Btn_Run");
        QTRY_VERIFY(rig.readings(1).running);
        const SampleStore &store = w.sampleStore();
        for (int second = 0; second < 40 && store.size() < 12; ++second) {
            rig.server->advanceClock(1000);
            QVERIFY(rig.exchange() && rig.exchange());
        }
        QVERIFY(w.runTracker()->runOpen());
        rig.click("disp_Btn_Run"); // stop
        QTRY_VERIFY(!rig.readings(1).running);
        for (int i = 0; i < 4 && w.runTracker()->runOpen(); ++i)
            QVERIFY(rig.exchange());
        QVERIFY(!w.runTracker()->runOpen());
        QVERIFY(w.runSummaryPanel()->isVisible());
        const QStringList rows = w.runSummaryPanel()->rowTexts();
        QVERIFY2(rows.contains(QStringLiteral("已停止")) && rows.contains(QStringLiteral("容量")),
                 qPrintable(rows.join(',')));
        w.runTracker()->writer().flush();
        log.terminate();
        QVERIFY(log.waitForFinished(5000));
        QCOMPARE(log.exitCode(), 0);
        sim.write("quit\n");
        sim.waitForFinished(3000);
        QVERIFY(rig.boxes.isEmpty()); // neither program was told the history was busy
        QCOMPARE(sqlite(db, "SELECT model || ' ' || end_reason || ' ' || samples FROM runs "
                            "WHERE device_class = 1;"),
                 QStringLiteral("KV37 stopped %1").arg(store.size()));
        QCOMPARE(sqlite(db, "SELECT count(*) FROM runs WHERE model = 'RX41' AND samples > 0;"),
                 QStringLiteral("1"));

        // The history page: the live export and the stored run's export are one file.
        const QString live = rig.dir.filePath(QStringLiteral("live.csv"));
        w.dataExport()->setSaveFileDialog([&](auto...) { return live; });
        emit w.chartMenu()->exportDataRequested();
        HistoryPage *page = w.historyPage();
        rig.click("home_common1");
        QCOMPARE(w.currentPage(), int(MainDialog::PageHistory));
        QCOMPARE(page->table()->rowCount(), 2);
        const qint64 id = sqlite(db, "SELECT id FROM runs WHERE device_class = 1;").toLongLong();
        page->selectRuns({id});
        const QString stored = rig.dir.filePath(QStringLiteral("stored"));
        page->setSaveFileDialog([&](auto...) { return stored; });
        QVERIFY(page->exportSelected());
        QVERIFY(!fileBytes(live).isEmpty());
        QCOMPARE(fileBytes(stored + ".csv"), fileBytes(live));
        QVERIFY(page->openSelected());
        QCOMPARE(page->openedSamples().size(), store.size());
        QVERIFY(page->summaryText().contains(QStringLiteral("已停止")));
        page->setSaveFileDialog(
            [&](auto...) { return rig.dir.filePath(QStringLiteral("run.pdf")); });
        QVERIFY(page->reportSelected());
        const QString text = pdfText(rig.dir.filePath(QStringLiteral("run.pdf")));
        QVERIFY2(text.contains(QStringLiteral("mAh")) && text.contains(QStringLiteral("KV37")),
                 qPrintable(text));
        page->setTextDialog(
            [](QWidget *, const QString &, const QString &, const QString &, bool *ok) {
                *ok = true;
                return QStringLiteral("cell #3");
            });
        QVERIFY(page->labelSelected());
        QCOMPARE(sqlite(db, QStringLiteral("SELECT label FROM runs WHERE id = %1;").arg(id)),
                 QStringLiteral("cell #3"));
        page->selectRuns({id, id + 1, id - 1});
        QVERIFY(page->compareSelected(HistoryPage::Axis::Capacity));
        QCOMPARE(page->compareView()->chart()->series().size(), 2);
        page->selectRuns({id});
        page->setConfirmDialog([](auto...) { return false; });
        QVERIFY(!page->deleteSelected());
        page->setConfirmDialog([](auto...) { return true; });
        QVERIFY(page->deleteSelected());
        QCOMPARE(
            sqlite(db, QStringLiteral("SELECT count(*) FROM samples WHERE run_id = %1;").arg(id)),
            QStringLiteral("0"));
        QCOMPARE(page->table()->rowCount(), 1);
    }

    // The window killed in the middle of a power tester's run: the next start
    // finds the run interrupted, with its samples up to a second before.
    void killedWindowLeavesAnInterruptedRun()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("history.sqlite"));
        QProcess window;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        window.setProcessEnvironment(env);
        window.setWorkingDirectory(dir.path());
        window.start(QStringLiteral(WINDOW_PATH), {"--simulate=RX41", "--history", db});
        QTRY_VERIFY_WITH_TIMEOUT(sqlite(db, "SELECT samples FROM runs;").toInt() >= 3, 20000);
        ::kill(pid_t(window.processId()), SIGKILL);
        QVERIFY(window.waitForFinished(5000));
        const int stored = sqlite(db, "SELECT samples FROM runs;").toInt();
        QCOMPARE(sqlite(db, "SELECT count(*) FROM runs WHERE ended_ms IS NULL;"),
                 QStringLiteral("1"));
        QProcess list;
        list.start(QStringLiteral(CLI_PATH), {"--history", db, "--json", "history", "list"});
        QVERIFY(list.waitForFinished(10000));
        const QJsonObject run = QJsonDocument::fromJson(list.readAllStandardOutput()).object();
        QCOMPARE(run.value("end_reason").toString(), QStringLiteral("interrupted"));
        QCOMPARE(run.value("samples").toInt(), stored);
        QCOMPARE(run.value("model").toString(), QStringLiteral("RX41"));
    }

    // A history that is no database: moved aside, said once, a new one works.
    void brokenHistoryIsSaidOnce()
    {
        WindowRig rig(QStringLiteral("RX41"));
        MainDialog &w = *rig.w;
        const QString db = rig.dir.filePath(QStringLiteral("broken.sqlite"));
        QFile f(db);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);
        f.close();
        QVERIFY(w.openHistory(db));
        QTRY_COMPARE(rig.boxes.size(), 1);
        QVERIFY2(rig.boxes[0].contains(QStringLiteral("已损坏")), qPrintable(rig.boxes[0]));
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        for (int i = 0; i < 6; ++i)
            QVERIFY(rig.exchange());
        // Clearing the record ends the power tester's run; the next sample starts one.
        rig.answer = QMessageBox::Yes;
        QVERIFY(w.clearRecord());
        for (int i = 0; i < 6; ++i)
            QVERIFY(rig.exchange());
        rig.answer = QMessageBox::Discard;
        w.close();
        QCOMPARE(sqlite(db, "SELECT group_concat(end_reason) FROM runs ORDER BY id;"),
                 QStringLiteral("cleared,closed"));
        QCOMPARE(rig.boxes.size(), 1);
    }

    // A second history opened: the open run ends as closed in the first, the
    // page and the next run go to the second.
    void anotherHistoryOpened()
    {
        WindowRig rig(QStringLiteral("RX41"));
        MainDialog &w = *rig.w;
        const QString first = rig.dir.filePath(QStringLiteral("first.sqlite"));
        const QString second = rig.dir.filePath(QStringLiteral("second.sqlite"));
        QVERIFY(w.openHistory(first));
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        for (int i = 0; i < 6; ++i)
            QVERIFY(rig.exchange());
        QVERIFY(w.runTracker()->runOpen());
        w.runTracker()->writer().flush();
        HistoryPage *page = w.historyPage();
        page->refresh();
        QCOMPARE(page->table()->rowCount(), 1);
        QVERIFY(w.openHistory(second));
        QCOMPARE(page->table()->rowCount(), 0);
        QCOMPARE(sqlite(first, "SELECT end_reason FROM runs;"), QStringLiteral("closed"));
        for (int i = 0; i < 6; ++i)
            QVERIFY(rig.exchange());
        w.runTracker()->writer().flush();
        page->refresh();
        QCOMPARE(page->table()->rowCount(), 1);
        QCOMPARE(sqlite(second, "SELECT count(*) FROM runs WHERE samples > 0;"),
                 QStringLiteral("1"));
    }

    // A run whose samples cannot be read: said with the database's reason,
    // and neither a CSV file nor a report without curves is written.
    void unreadableRunIsNotExported()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("h.sqlite"));
        RunStore store;
        QCOMPARE(store.open(db), RunStore::Opened::Ok);
        RunInfo info;
        info.startedMs = 1700000000000;
        info.model = QStringLiteral("KV37");
        const qint64 id = store.beginRun(info);
        QVERIFY(id > 0);
        HistoryPage page;
        QStringList said;
        page.setMessageBox([&](QWidget *, QMessageBox::Icon, const QString &, const QString &text) {
            said << text;
        });
        page.setDatabase(db);
        page.selectRuns({id});
        sqlite(db, "DROP TABLE samples;");
        for (const QString &name : {QStringLiteral("run.csv"), QStringLiteral("run.pdf")}) {
            said.clear();
            const QString file = dir.filePath(name);
            page.setSaveFileDialog([&](auto...) { return file; });
            QVERIFY(name.endsWith("csv") ? !page.exportSelected() : !page.reportSelected());
            QVERIFY(!QFile::exists(file));
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].startsWith(QStringLiteral("无法读取记录: ")) &&
                         said[0].contains(QStringLiteral("no such table")),
                     qPrintable(said[0]));
        }
    }

    // A constant-current discharge recorded by the window, exported through the chart menu and
    // checked against what the simulator itself reported.
    void constantCurrentRunExported()
    {
        constexpr int Samples = 15;
        WindowRig rig;
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        // The no-load offset zeroed, constant current from the home menu, 1 A, run.
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        child<QPushButton>(&w, "settings_btn_clearcurrent")->click();
        rig.click("tbtn3");
        auto *value = child<QLineEdit>(&w, "lineEdit_value");
        value->setFocus();
        value->clear();
        QTest::keyClicks(value, QStringLiteral("1"));
        QTest::keyClick(value, Qt::Key_Return);
        QVERIFY(rig.exchange() && rig.exchange());
        QList<SimReports::Readings> reported = {rig.readings(1)}; // as last seen before the run
        rig.click("disp_Btn_Run");
        QTRY_VERIFY(rig.readings(1).running);
        // Each second the measurement request (which also samples the record the previous one
        // brought, so the first sample is from before the start) and the parameter request.
        const SampleStore &store = w.sampleStore();
        for (int second = 0; second < 40 && int(store.size()) < Samples; ++second) {
            rig.server->advanceClock(1000);
            QVERIFY(rig.exchange());
            reported.append(rig.readings(1));
            QVERIFY(rig.exchange());
        }
        QCOMPARE(int(store.size()), Samples);

        const QString file = rig.dir.filePath(QStringLiteral("run.csv"));
        w.dataExport()->setSaveFileDialog([&](auto...) { return file; });
        emit w.chartMenu()->exportDataRequested();
        QVERIFY(rig.boxes.isEmpty());
        QCOMPARE(Setting().read(QStringLiteral("save_path")), rig.dir.path());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4 + Samples);
        QCOMPARE(lines[1],
                 QStringLiteral("---------------------KV33/HM307/HM309----------------------"));
        QCOMPARE(lines[3], QStringLiteral("DATE,VOLTAGE(V),CURRENT(A),POWER(W),RESISTANCE(Ω),"
                                          "E_QUANTITY(Wh),E_CAPACITY(mAh),NTC_TEMP(℃),CPU_TEMP(℃),"
                                          "MOS_TEMP(℃),FAN_SPEED(RPM),"));
        const QRegularExpression date(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d:\\d\\d:\\d\\d$"));
        // Decimals written per column; a value is right within its last digit.
        const double tolerance[10] = {2e-6, 2e-6, 2e-6, 2e-3, 2e-3, 2e-3, 2e-3, 0.06, 2e-3, 0.6};
        double previousCapacity = 0;
        for (int i = 0; i < Samples; ++i) {
            const QStringList f = lines[4 + i].split(',');
            QCOMPARE(f.size(), 11);
            QVERIFY2(date.match(f[0]).hasMatch(), qPrintable(f[0]));
            const SimReports::Readings &r = reported.at(i);
            const double sim[10] = {r.voltage,  r.current, r.power,   r.resistance, r.energy,
                                    r.capacity, r.ntcTemp, r.cpuTemp, r.mosTemp,    r.fan};
            for (int c = 0; c < 10; ++c) {
                const double want = std::round(sim[c] * 1000) / 1000; // as the report carries it
                QVERIFY2(qAbs(f[c + 1].toDouble() - want) <= tolerance[c] + 1e-6,
                         qPrintable(f[c + 1]));
            }
            // 1 A drawn from the battery: a thousandth of 1000 mAh every 3.6 s.
            QCOMPARE(f[2].toDouble(), i == 0 ? 0.0 : 1.0);
            if (i > 1)
                QVERIFY(qAbs(f[6].toDouble() - previousCapacity - 1.0 / 3.6) < 0.0025);
            previousCapacity = f[6].toDouble();
        }
    }

    // Closing with a discharge running and samples not exported asks first; so
    // does clearing the record, and a factory reset before its frame goes out.
    void askedBeforeAnythingIsLost()
    {
        WindowRig rig;
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        rig.click("tbtn3");
        rig.click("disp_Btn_Run");
        QTRY_VERIFY(rig.readings(1).running);
        const SampleStore &store = w.sampleStore();
        for (int second = 0; second < 40 && store.size() < 12; ++second) {
            rig.server->advanceClock(1000);
            QVERIFY(rig.exchange() && rig.exchange());
        }
        QCOMPARE(int(store.size()), 12);
        QCOMPARE(int(w.unsavedSamples()), 12);

        // Cancel: the window stays, the link goes on.
        rig.answer = QMessageBox::Cancel;
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(rig.link()->usbThread()->isRunning());
        QCOMPARE(rig.questions.size(), 1);
        const dialoghooks::Question asked = rig.questions.first();
        QVERIFY2(asked.text.contains(QStringLiteral("放电正在进行")), qPrintable(asked.text));
        QVERIFY2(asked.text.contains(QStringLiteral("12")), qPrintable(asked.text));
        QVERIFY(asked.offers(QMessageBox::Save) && asked.offers(QMessageBox::Discard) &&
                asked.offers(QMessageBox::Cancel));

        // Clearing the record asks while samples are unsaved; "cancel" keeps them.
        rig.questions.clear();
        QSignalSpy cleared(&w, &MainDialog::recordCleared);
        emit w.chartMenu()->clearRecordRequested();
        QCOMPARE(rig.questions.size(), 1);
        QCOMPARE(rig.questions.first().title, QStringLiteral("清除记录"));
        QCOMPARE(int(store.size()), 12);
        QCOMPARE(cleared.count(), 0);

        // Export from the close question: a cancelled save dialog keeps the window open.
        QString file;
        w.dataExport()->setSaveFileDialog([&](auto...) { return file; });
        rig.answer = QMessageBox::Save;
        QVERIFY(!w.close());
        // Then exported: nothing is unsaved, clearing asks nothing and empties record and chart.
        file = rig.dir.filePath(QStringLiteral("kept"));
        emit w.chartMenu()->exportDataRequested();
        QVERIFY(QFile::exists(file + QStringLiteral(".csv")));
        QCOMPARE(int(w.unsavedSamples()), 0);
        rig.questions.clear();
        emit w.chartMenu()->clearRecordRequested();
        QVERIFY(rig.questions.isEmpty());
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(int(store.size()), 0);
        QCOMPARE(w.realTimeChart()->series(Curves::Voltage)->count(), 0);

        // A factory reset goes out only once confirmed.
        const auto resets = [&] {
            int n = 0;
            for (const QByteArray &r : rig.sent())
                n += quint8(r[3]) == CommandFrame::FactoryReset ? 1 : 0;
            return n;
        };
        rig.questions.clear();
        rig.answer = QMessageBox::Cancel;
        child<QPushButton>(&w, "settings_btn_factory_reset")->click();
        QCOMPARE(rig.questions.size(), 1);
        QCOMPARE(rig.questions.first().title, QStringLiteral("恢复出厂设置"));
        QTest::qWait(100);
        QCOMPARE(resets(), 0);
        rig.answer = QMessageBox::Yes;
        child<QPushButton>(&w, "settings_btn_factory_reset")->click();
        QTRY_COMPARE(resets(), 1);

        // The run still going: closing asks again, and "discard" closes.
        rig.questions.clear();
        rig.answer = QMessageBox::Discard;
        QVERIFY(w.close());
        QCOMPARE(rig.questions.size(), 1);
        QVERIFY(!rig.questions.first().offers(QMessageBox::Save)); // nothing left to export
        QVERIFY(!rig.link()->usbThread()->isRunning());
    }

    // The file, the entry frame, the transfer and the burn through the upgrade page.
    void wholeUpgradeThroughThePage()
    {
        WindowRig rig;
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        rig.boot.setBurnTimeMs(1500);
        QByteArray image(20000, '\0'); // not a multiple of 58: a short last packet
        QRandomGenerator rng(20240305);
        for (char &c : image)
            c = char(rng.bounded(256));
        QFile file(rig.dir.filePath(QStringLiteral("fw.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();
        const QString path = file.fileName();
        QString startDir;
        w.setOpenFileDialog([&](QWidget *, const QString &, const QString &dir, const QString &) {
            startDir = dir;
            return path;
        });
        rig.click("disp_btnUpgrade");
        auto *start = child<QPushButton>(&w, "upgrade_pushButton_start");
        auto *log = child<QTextEdit>(&w, "upgrade_text_log");
        auto *bar = child<QProgressBar>(&w, "upgrade_progressBar_fw");
        QVERIFY(!start->isEnabled());
        rig.click("upgrade_pushButton_openfile");
        QCOMPARE(log->toPlainText(), QStringLiteral("打开文件...\n读取文件完成..."));
        QCOMPARE(text(&w, "upgrade_label_fwsizevalue"),
                 QStringLiteral("固件大小:19.5KB   20000字节"));
        QCOMPARE(Setting().read(QStringLiteral("file_path")), path);
        QVERIFY(start->isEnabled());

        // The entry frame goes out through the poll cycle at once; the button waits inactive.
        const int before = rig.sent().size();
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(!start->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("正在下载"));
        QTRY_VERIFY(rig.sent().size() > before);
        QCOMPARE(rig.sent().at(before),
                 QByteArray::fromHex("55050902000000eeff") + QByteArray(55, '\0'));
        w.firmwareUpgrade()->entryWaitElapsed(); // rather than wait out the 3 s
        QTRY_VERIFY_WITH_TIMEOUT(
            log->toPlainText().endsWith(QStringLiteral("请等待设备烧写完成...")), 20000);
        QCOMPARE(bar->format(), QStringLiteral("当前进度为：99.9%"));
        QVERIFY(!rig.boot.burned());
        rig.server->advanceClock(1500);
        QTRY_COMPARE(bar->value(), 100);
        QCOMPARE(bar->format(), QStringLiteral("当前进度为：100.0%"));
        QVERIFY2(rig.boot.burned(), qPrintable(rig.boot.error()));
        QVERIFY(rig.boot.image() == image);
        QCOMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::Done);
        const QStringList lines = log->toPlainText().split('\n');
        for (const char *line : {"开始连接设备...", "握手成功...", "开始传输固件...", "传输完成...",
                                 "烧写完成...", "本次下载结束"})
            QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
        QCOMPARE(start->text(), QStringLiteral("开始下载"));
        QVERIFY(rig.boxes.isEmpty());

        rig.click("upgrade_pushButton_openfile"); // the next dialog opens at the last good file
        QCOMPARE(startDir, path);
    }

    // In English every word of the upgrade page, its log, bar and boxes is English: a
    // whole upgrade, then a timed-out one, and the send-error box.
    void englishUpgradeHasNoChinese()
    {
        WindowRig rig;
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        QVERIFY(QMetaObject::invokeMethod(&w, "onS_Act2Clicked_Slot"));
        QFile file(rig.dir.filePath(QStringLiteral("fw.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(3000, 'f')) == 3000);
        file.close();
        w.setOpenFileDialog(
            [&](QWidget *, const QString &caption, const QString &, const QString &filter) {
                rig.boxes << caption << filter;
                return file.fileName();
            });
        rig.click("disp_btnUpgrade");
        auto *start = child<QPushButton>(&w, "upgrade_pushButton_start");
        QVERIFY(!start->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("Start download")); // not "Downloading" yet
        rig.click("upgrade_pushButton_openfile");
        QVERIFY(start->isEnabled());
        auto *log = child<QTextEdit>(&w, "upgrade_text_log");
        QStringList shown; // every text the page showed on the way
        const auto look = [&] {
            QWidget *page = child<QWidget>(&w, "page_upgrade");
            QList<QWidget *> widgets = page->findChildren<QWidget *>();
            widgets.prepend(page);
            for (QWidget *x : widgets) {
                shown << x->toolTip();
                if (auto *l = qobject_cast<QLabel *>(x))
                    shown << l->text();
                if (auto *b = qobject_cast<QAbstractButton *>(x))
                    shown << b->text();
                if (auto *g = qobject_cast<QGroupBox *>(x))
                    shown << g->title();
                if (auto *e = qobject_cast<QLineEdit *>(x))
                    shown << e->placeholderText();
                if (auto *bar = qobject_cast<QProgressBar *>(x))
                    shown << bar->text();
            }
            shown << log->toPlainText();
        };
        look();
        const auto upgrade = [&](SimBootloader::Fault fault) {
            rig.server->withInstrument([&](SimInstrument &) {
                rig.boot.setFault(fault, SimBootloader::AtHandshake);
                rig.boot.setBurnTimeMs(0);
            });
            const int entries = rig.sentStarting("55050902");
            QTest::mouseClick(start, Qt::LeftButton);
            look();
            QTRY_VERIFY(rig.sentStarting("55050902") > entries);
            bool active = false;
            QTRY_VERIFY(
                (rig.server->withInstrument([&](SimInstrument &) { active = rig.boot.active(); }),
                 active));
            w.firmwareUpgrade()->entryWaitElapsed();
        };
        upgrade(SimBootloader::Fault::None);
        QTRY_VERIFY_WITH_TIMEOUT(log->toPlainText().contains(QStringLiteral("Please wait")), 20000);
        look();
        rig.server->advanceClock(100);
        QTRY_COMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::Done);
        look();
        rig.click("upgrade_pushButton_openfile"); // loaded again for the next try
        upgrade(SimBootloader::Fault::Silence);
        for (int i = 0; i < FirmwareUpgrade::TimeoutLimit; ++i)
            w.firmwareUpgrade()->silenceTick();
        QCOMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::TimedOut);
        look();
        emit rig.link()->sendError();
        QVERIFY(rig.boxes.contains(QStringLiteral("Error: USB update failed: timed out")));
        QVERIFY(rig.boxes.contains(QStringLiteral("Error: USB send error")));
        const QString seen = shown.join('\n');
        for (const char *line : {"Connecting to the instrument...", "Transfer took", "bytes",
                                 "End of this download", "USB update failed: timed out"})
            QVERIFY2(seen.contains(QLatin1String(line)), line);
        static const QRegularExpression cjk(
            QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
        QStringList chinese;
        for (const QString &t : shown + rig.boxes + log->toPlainText().split('\n'))
            if (cjk.match(t).hasMatch())
                chinese << t;
        chinese.removeDuplicates();
        QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join('\n')));
    }

    // An upgrade the instrument ends early, then one that times out: each is
    // logged as a failure and the same image can be started again at once.
    void failedUpgradeLeavesThePageReady()
    {
        WindowRig rig;
        MainDialog &w = *rig.w;
        QTRY_VERIFY_WITH_TIMEOUT(rig.listed(), 4000);
        QFile file(rig.dir.filePath(QStringLiteral("fw.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(3000, 'f')) == 3000);
        file.close();
        w.setOpenFileDialog([&](QWidget *, const QString &, const QString &, const QString &) {
            return file.fileName();
        });
        rig.click("disp_btnUpgrade");
        rig.click("upgrade_pushButton_openfile");
        auto *start = child<QPushButton>(&w, "upgrade_pushButton_start");
        auto *log = child<QTextEdit>(&w, "upgrade_text_log");
        const auto setFault = [&](SimBootloader::Fault fault, int step) {
            rig.server->withInstrument([&](SimInstrument &) { rig.boot.setFault(fault, step); });
        };
        const auto bootloaderEntered = [&] {
            bool active = false;
            rig.server->withInstrument([&](SimInstrument &) { active = rig.boot.active(); });
            return active;
        };
        const auto entryFrames = [&] { return rig.sentStarting("55050902"); };
        const auto startUpgrade = [&] {
            QVERIFY(start->isEnabled());
            const int entries = entryFrames();
            QTest::mouseClick(start, Qt::LeftButton);
            QCOMPARE(start->text(), QStringLiteral("正在下载"));
            // Rather than wait out the 3 s, as soon as the instrument is in its bootloader
            // (after a silent failure it still is: its new entry frame must have come too).
            QTRY_VERIFY(entryFrames() > entries);
            QTRY_VERIFY(bootloaderEntered());
            w.firmwareUpgrade()->entryWaitElapsed();
        };

        setFault(SimBootloader::Fault::EarlyFinish, SimBootloader::AtHandshake);
        startUpgrade();
        QTRY_VERIFY(!w.firmwareUpgrade()->isActive());
        QCOMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::EndedEarly);
        QCOMPARE(rig.boxes, QStringList{QStringLiteral("错误: 设备提前结束了升级")});
        QCOMPARE(log->toPlainText().split('\n').last(), QStringLiteral("设备提前结束了升级"));
        QVERIFY(!log->toPlainText().contains(QStringLiteral("烧写完成")));
        QVERIFY(start->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("开始下载"));

        setFault(SimBootloader::Fault::Silence, SimBootloader::AtHandshake);
        startUpgrade();
        for (int i = 0; i < FirmwareUpgrade::TimeoutLimit; ++i)
            w.firmwareUpgrade()->silenceTick();
        QCOMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QCOMPARE(log->toPlainText().split('\n').last(), QStringLiteral("USB更新失败,超时"));
        QVERIFY(start->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("开始下载"));

        // The third try, with the same image and no new load, goes through.
        setFault(SimBootloader::Fault::None, SimBootloader::AtHandshake);
        rig.server->withInstrument([&](SimInstrument &) { rig.boot.setBurnTimeMs(0); });
        startUpgrade();
        // With no burn time the end may follow at once.
        QTRY_VERIFY_WITH_TIMEOUT(
            log->toPlainText().contains(QStringLiteral("请等待设备烧写完成...")), 20000);
        rig.server->advanceClock(100);
        QTRY_COMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::Done);
        QCOMPARE(rig.boot.image(), QByteArray(3000, 'f'));
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
