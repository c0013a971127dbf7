// The readings page against the simulated instrument through the socket
// backend, as `--device socket:PATH` reaches it. The window's timers are
// stopped; the test runs the ticks itself and counts them.
#include "cdpoptips.h"
#include "readingsrig.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QDir>
#include <QTemporaryDir>
#include <QToolButton>
#include <functional>
#include <memory>

class TestReadingsSim : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<SimServer> server;
    std::unique_ptr<InstrumentSession> session;
    std::unique_ptr<MainDialog> window;

    // Poll ticks, each followed by read ticks while the answer comes, until
    // `done` holds; the number of poll ticks it took, or -1.
    int ticksUntil(const std::function<bool()> &done)
    {
        for (int tick = 1; tick <= 8; ++tick) {
            window->pollTick();
            for (QDeadlineTimer answer(300); !answer.hasExpired();) {
                QTest::qWait(2);
                window->readTick();
                if (done())
                    return tick;
            }
        }
        return -1;
    }
    QString text(const char *name) { return widget<QLabel>(*window, name)->text(); }
    QString endReason()
    {
        QString out;
        server->withInstrument([&](SimInstrument &i) { out = i.master()->endReason(); });
        return out;
    }
    // Clicks `b` and waits until the instrument has the frame it sent.
    void click(QAbstractButton *b)
    {
        const int before = server->reportsReceived();
        b->click();
        QTRY_VERIFY(server->reportsReceived() > before);
    }

private slots:
    void cyclePromptThenConstantCurrentToCutOff()
    {
        QDir::setCurrent(dir.path());
        SimSetup setup;
        QString error;
        QVERIFY2(SimSetup::parse(QStringLiteral("KV37"), &setup, &error), qPrintable(error));
        server = std::make_unique<SimServer>(setup, 0.0); // its clock moves only when told
        QVERIFY2(server->listen(dir.filePath(QStringLiteral("i.sock")), &error), qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(dir.filePath(QStringLiteral("i.sock"))));
        session = std::make_unique<InstrumentSession>();
        window = std::make_unique<MainDialog>(*session);
        MainDialog &w = *window;
        w.deviceLink()->pollTimer()->stop();
        w.deviceLink()->readTimer()->stop();
        w.deviceLink()->runButtonTimer()->stop();
        QTRY_VERIFY_WITH_TIMEOUT(w.mainHandle() && !w.instrumentState().scanning &&
                                     w.getDeviceClass() == 1 &&
                                     !w.deviceLink()->scanWorker()->isRunning(),
                                 8000);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *run = widget<QPushButton>(w, "disp_Btn_Run");
        pointAway();

        // A cycle run on a fresh battery: the prompt counts down and is answered.
        QTest::mouseClick(widget<QToolButton>(w, "tbtn10"), Qt::LeftButton);
        QVERIFY(ticksUntil([&] { return w.instrumentState().record.workMode == 7; }) > 0);
        click(run);
        CDPopTips *tips = w.popTips();
        QVERIFY(ticksUntil([&] { return tips->isVisible(); }) > 0);
        auto *count = tips->findChild<QLabel *>("lab_count");
        QCOMPARE(count->text(), QStringLiteral("8"));
        QVERIFY(tips->findChild<QPushButton *>("Btn2")->isHidden());
        server->advanceClock(3000);
        QVERIFY(ticksUntil([&] { return count->text() == QStringLiteral("5"); }) > 0);
        click(tips->findChild<QPushButton *>("Btn3")); // clear data, new cycle
        server->advanceClock(100);
        QVERIFY(ticksUntil([&] { return !tips->isVisible() && w.instrumentState().running; }) > 0);
        click(run);
        QVERIFY(ticksUntil([&] { return !w.instrumentState().running; }) > 0);

        // Without the no-load offset the page shows the load's own current.
        w.setCurrentPage(MainDialog::PageSettings);
        click(widget<QPushButton>(w, "settings_btn_clearcurrent"));
        QTest::mouseClick(widget<QToolButton>(w, "tbtn3"), Qt::LeftButton);
        QCOMPARE(text("disp_labTitle"), QStringLiteral("恒电流模式"));
        QApplication::setActiveWindow(&w); // the closed prompt had it
        typeAndReturn(widget<QLineEdit>(w, "lineEdit_value"), QStringLiteral("1.5"));
        typeAndReturn(widget<QLineEdit>(w, "lineEdit_value_zero_v"), QStringLiteral("3.9"));
        QVERIFY(ticksUntil([&] { return w.instrumentState().record.cutoffVoltage > 3.8f; }) > 0);
        pointAway();
        click(run);
        server->advanceClock(200);
        // A measurement request goes out on every second poll tick.
        const int ticks = ticksUntil([&] { return text("disp_label_CUR") == "001.500"; });
        QVERIFY2(ticks > 0 && ticks <= 2, qPrintable(QString::number(ticks)));
        QMetaObject::invokeMethod(&w, "runButtonRefresh");
        QCOMPARE(run->text(), QStringLiteral("停止放电"));

        click(run);
        server->advanceClock(200);
        QVERIFY(ticksUntil([&] {
                    return text("disp_label_CUR") == "000.000" && !w.instrumentState().running;
                }) > 0);
        QCOMPARE(endReason(), QStringLiteral("stopped"));

        // Run again until the battery reaches the cut-off voltage.
        click(run);
        server->advanceClock(60 * 60 * 1000);
        QCOMPARE(endReason(), QStringLiteral("cut-off"));
        QVERIFY(ticksUntil([&] { return !w.instrumentState().running; }) > 0);
        QMetaObject::invokeMethod(&w, "runButtonRefresh");
        QCOMPARE(run->text(), QStringLiteral("开始放电"));
        const double volts = text("disp_label_VOL").toDouble();
        QVERIFY2(volts > 3.85 && volts < 4.1, qPrintable(text("disp_label_VOL")));
        QVERIFY(text("disp_label_CAP").toDouble() > 100);
    }

    void cleanupTestCase()
    {
        window.reset();
        session.reset();
        hid::setBackend(nullptr);
        server.reset();
    }
};

QTEST_MAIN(TestReadingsSim)
#include "test_readings_sim.moc"
