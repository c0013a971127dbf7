// The readings page and its controls against the simulated instrument,
// through the socket backend as `--device socket:PATH` reaches it: every
// control changes the instrument, and the page shows what it reports. The
// window's 500 ms timers are stopped; the test runs the ticks itself and
// counts them instead of timing them.
#include "cdpoptips.h"
#include "devicelink.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "readingsrig.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QDir>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <memory>

namespace {

struct SimWindow
{
    explicit SimWindow(const QString &setupText = QStringLiteral("KV37"))
    {
        QDir::setCurrent(dir.path());
        SimSetup setup;
        QString error;
        if (!SimSetup::parse(setupText, &setup, &error))
            qFatal("bad setup: %s", qPrintable(error));
        // The instrument's clock stands still unless the test moves it.
        server = std::make_unique<SimServer>(setup, 0.0);
        if (!server->listen(dir.filePath(QStringLiteral("i.sock")), &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(dir.filePath(QStringLiteral("i.sock"))));
        window = std::make_unique<MainDialog>();
        DeviceLink *link = window->deviceLink();
        link->pollTimer()->stop();
        link->readTimer()->stop();
        link->runButtonTimer()->stop();
    }
    ~SimWindow()
    {
        window.reset();
        hid::setBackend(nullptr);
        server.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    // The connection's bus scan has named the instrument.
    bool connected(int timeoutMs = 8000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QTest::qWait(20);
            if (window->mainHandle() && !window->instrumentState().scanning &&
                window->getDeviceClass() != 0 && !window->deviceLink()->scanWorker()->isRunning())
                return true;
        }
        return false;
    }

    // Poll ticks, each followed by read ticks while the answer comes, until
    // `done` holds; the number of poll ticks it took, or -1.
    int ticksUntil(const std::function<bool()> &done, int maxTicks = 8)
    {
        for (int tick = 1; tick <= maxTicks; ++tick) {
            window->pollTick();
            QDeadlineTimer answer(300);
            while (!answer.hasExpired()) {
                QTest::qWait(2);
                window->readTick();
                if (done())
                    return tick;
            }
        }
        return -1;
    }

    template <class F> auto node(F f)
    {
        decltype(f(std::declval<SimNode &>())) out{};
        server->withInstrument([&](SimInstrument &i) { out = f(*i.master()); });
        return out;
    }

    template <class T> T *w(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QString label(const char *name) const { return w<QLabel>(name)->text(); }

    // Clicks `name` and waits until the instrument has the frame it sent.
    void click(const char *name)
    {
        const int before = server->reportsReceived();
        w<QPushButton>(name)->click();
        QTRY_VERIFY(server->reportsReceived() > before);
    }

    void type(const char *edit, const QString &text)
    {
        auto *e = w<QLineEdit>(edit);
        e->setFocus();
        QVERIFY(e->hasFocus());
        e->clear();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
    }

    QTemporaryDir dir;
    std::unique_ptr<SimServer> server;
    std::unique_ptr<MainDialog> window;
};

} // namespace

class TestReadingsSim : public QObject
{
    Q_OBJECT

private slots:
    void constantCurrentRunStopAndCutOff()
    {
        SimWindow sim;
        QVERIFY(sim.connected());
        MainDialog &w = *sim.window;
        QCOMPARE(int(w.getDeviceClass()), 1);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        // Without the no-load offset the page shows the load's own current.
        w.setCurrentPage(MainDialog::PageSettings);
        sim.click("settings_btn_clearcurrent");
        QTest::mouseClick(sim.w<QToolButton>("tbtn3"), Qt::LeftButton);
        QCOMPARE(w.currentPage(), int(MainDialog::PageDisp));
        QCOMPARE(sim.label("disp_labTitle"), QStringLiteral("恒电流模式"));
        sim.type("lineEdit_value", QStringLiteral("1.5"));
        sim.type("lineEdit_value_zero_v", QStringLiteral("3.9"));
        QVERIFY(sim.ticksUntil([&] { return w.instrumentState().record.cutoffVoltage > 3.8f; }) >
                0);
        QCOMPARE(sim.w<QLineEdit>("lineEdit_value")->text(), QStringLiteral("01.5000"));
        QCOMPARE(sim.w<QLineEdit>("lineEdit_value_zero_v")->text(), QStringLiteral("003.9"));

        pointAway();
        sim.click("disp_Btn_Run");
        sim.server->advanceClock(200);
        QCOMPARE(sim.node([](SimNode &n) { return n.trueCurrent(); }), 1.5);
        // A measurement request goes out on every second poll tick; its
        // answer shows on the next read tick.
        const int ticks = sim.ticksUntil(
            [&] { return sim.label("disp_label_CUR") == QStringLiteral("001.500"); });
        QVERIFY2(ticks > 0 && ticks <= 2, qPrintable(QString::number(ticks)));
        QVERIFY(w.instrumentState().running);
        QMetaObject::invokeMethod(&w, "runButtonRefresh");
        QCOMPARE(sim.w<QPushButton>("disp_Btn_Run")->text(), QStringLiteral("停止放电"));

        // Stop.
        sim.click("disp_Btn_Run");
        sim.server->advanceClock(200);
        QVERIFY(sim.ticksUntil([&] {
            return sim.label("disp_label_CUR") == QStringLiteral("000.000") &&
                   !w.instrumentState().running;
        }) > 0);
        QCOMPARE(sim.node([](SimNode &n) { return n.endReason(); }), QStringLiteral("stopped"));

        // Run again until the battery reaches the cut-off voltage.
        sim.click("disp_Btn_Run");
        sim.server->advanceClock(60 * 60 * 1000);
        QCOMPARE(sim.node([](SimNode &n) { return n.endReason(); }), QStringLiteral("cut-off"));
        QVERIFY(sim.ticksUntil([&] { return !w.instrumentState().running; }) > 0);
        QMetaObject::invokeMethod(&w, "runButtonRefresh");
        QCOMPARE(sim.w<QPushButton>("disp_Btn_Run")->text(), QStringLiteral("开始放电"));
        const double volts = sim.label("disp_label_VOL").toDouble();
        QVERIFY2(volts > 3.85 && volts < 4.1, qPrintable(sim.label("disp_label_VOL")));
        QVERIFY(sim.label("disp_label_CAP").toDouble() > 100);
    }

    void cyclePromptCountsDownAndIsAnswered()
    {
        SimWindow sim;
        QVERIFY(sim.connected());
        MainDialog &w = *sim.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(sim.w<QToolButton>("tbtn10"), Qt::LeftButton);
        QCOMPARE(sim.label("disp_labTitle"), QStringLiteral("充放充"));
        QVERIFY(sim.ticksUntil([&] { return w.instrumentState().record.workMode == 7; }) > 0);

        pointAway();
        sim.click("disp_Btn_Run");
        QCOMPARE(sim.w<QPushButton>("disp_Btn_Run")->text(), QStringLiteral("停止"));
        CDPopTips *tips = w.popTips();
        QVERIFY(sim.ticksUntil([&] { return tips->isVisible(); }) > 0);
        auto *count = tips->findChild<QLabel *>("lab_count");
        QCOMPARE(count->text(), QStringLiteral("8"));
        // A fresh battery: two choices.
        QVERIFY(tips->findChild<QPushButton *>("Btn2")->isHidden());

        sim.server->advanceClock(3000);
        QVERIFY(sim.ticksUntil([&] { return count->text() == QStringLiteral("5"); }) > 0);
        QVERIFY(tips->isVisible());

        // "Clear data for a new cycle" starts the run; the prompt goes.
        const int before = sim.server->reportsReceived();
        tips->findChild<QPushButton *>("Btn3")->click();
        QTRY_VERIFY(sim.server->reportsReceived() > before);
        sim.server->advanceClock(100);
        QVERIFY(sim.ticksUntil([&] { return !tips->isVisible(); }) > 0);
        QVERIFY(sim.node([](SimNode &n) { return n.running(); }));
        QVERIFY(sim.ticksUntil([&] { return w.instrumentState().running; }) > 0);
    }
};

QTEST_MAIN(TestReadingsSim)
#include "test_readings_sim.moc"
