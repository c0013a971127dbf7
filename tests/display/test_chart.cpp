#include "chartfixture.h"
#include "chartview.h"

#include <QApplication>
#include <QPushButton>
#include <QWheelEvent>
#include <QtCharts/QLegendMarker>
#include <QtTest>

using namespace QtCharts;

namespace {

const SampleGate tester{4, false, true, false};
const SampleGate loadRunning{1, true, true, false};

QStringList expectedLabels(double from, double to, int decimals, const QString &unit)
{
    QStringList l;
    for (int i = 0; i <= 10; ++i)
        l << QString::number(from + i * (to - from) / 10, 'f', decimals) + unit;
    return l;
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT
    ChartFixture f;

    // Feeds ticks 1..ticks as the window's poll timer does, half a second apart.
    int feed(RealTimeChart &c, int ticks, const SampleGate &gate, float volt = 5, float curr = 1)
    {
        int taken = 0;
        for (int t = 1; t <= ticks; ++t) {
            f.clockMs += 500;
            taken += c.pollTick(quint32(t), gate, sampleValues(volt, curr)) ? 1 : 0;
        }
        return taken;
    }

    void showView(RealTimeChart &c)
    {
        c.view()->resize(1400, 700);
        c.view()->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.view()));
        QCoreApplication::processEvents();
        QVERIFY(c.chart()->plotArea().width() > 100);
    }

    void wheel(ChartView *v, QPointF pos, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWheelEvent e(pos, v->viewport()->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v->viewport(), &e);
    }

private slots:
    void init() { f.enter(); }
    void cleanup() { f.leave(); }

    void tenPollTicksGiveFivePointsPerCurve()
    {
        auto c = f.makeChart();
        c->connected();
        QCOMPARE(feed(*c, 10, tester, 12.5f), 5);
        QCOMPARE(c->store().size(), size_t(5));
        c->redrawNow();
        for (int curve : {Curves::Voltage, Curves::Current, Curves::Power}) {
            QCOMPARE(c->series(curve)->count(), 5);
            QVERIFY(qobject_cast<QSplineSeries *>(c->series(curve)));  // smooth while few
        }
        QCOMPARE(c->series(Curves::Voltage)->at(4).y(), 12.5);
        QCOMPARE(qint64(c->series(Curves::Voltage)->at(4).x()), f.clockMs - 500);
        // Every quantity lands in the shared record, hidden curves too.
        QCOMPARE(c->store().valueAt(SampleStore::MosTemp, 4), 35.0f);
        QCOMPARE(c->store().valueAt(SampleStore::NtcTemp, 0), 25.0f);
        // The legend names the standard group.
        QStringList names;
        for (QLegendMarker *m : c->chart()->legend()->markers())
            names << m->label();
        QCOMPARE(names, QStringList({"VOLTAGE", "CURRENT", "POWER"}));
    }

    void samplingRuleByDeviceClassAndFlags()
    {
        auto c = f.makeChart();
        // A load draws only while it runs and the run flag is set.
        QCOMPARE(feed(*c, 4, loadRunning), 0);
        c->connected();
        QVERIFY(c->curveRunFlag());
        QCOMPARE(feed(*c, 4, {1, false, true, false}), 0);
        QCOMPARE(feed(*c, 4, loadRunning), 2);
        c->runButton(false);
        QCOMPARE(feed(*c, 4, loadRunning), 0);
        // A power tester always, run flag or not.
        QCOMPARE(feed(*c, 4, tester), 2);
        // Never during a bus scan, for an unknown class, or with the link lost.
        QCOMPARE(feed(*c, 4, {4, false, true, true}), 0);
        QCOMPARE(feed(*c, 4, {0, true, true, false}), 0);
        QCOMPARE(feed(*c, 4, {4, false, false, false}), 0);
        c->runButton(true);
        QCOMPARE(feed(*c, 4, {1, true, false, false}), 0);
        QCOMPARE(c->store().size(), size_t(0));  // the run start emptied it
    }

    void connectionAndRunButtonKeepOrClear()
    {
        auto c = f.makeChart();
        QVERIFY(c->connected());
        QVERIFY(!c->connected());  // already set: run start untouched
        feed(*c, 6, tester);
        QVERIFY(c->disconnected());
        QVERIFY(!c->curveRunFlag());
        QVERIFY(!c->disconnected());
        QCOMPARE(c->store().size(), size_t(3));  // a lost link keeps the run
        c->runButton(true);
        QCOMPARE(c->store().size(), size_t(0));
        QCOMPARE(c->series(Curves::Voltage)->count(), 0);
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), f.clockMs);
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch(), f.clockMs + 10000);
    }

    void voltageAxisGrowsOnlyPastItsTop()
    {
        auto c = f.makeChart();
        c->connected();
        QCOMPARE(axisLabels(c->valueAxis(Curves::LeftAxis)), expectedLabels(0, 20, 2, "V"));
        feed(*c, 2, tester, 12.3f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);
        QCOMPARE(axisLabels(c->valueAxis(Curves::LeftAxis)), expectedLabels(0, 20, 2, "V"));
        feed(*c, 2, tester, 23.4f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 0.0);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 25.0);
        const QStringList labels = axisLabels(c->valueAxis(Curves::LeftAxis));
        QCOMPARE(labels.first(), QString("0.00V"));
        QCOMPARE(labels.at(1), QString("2.50V"));
        QCOMPARE(labels.last(), QString("25.00V"));
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->endValue("2.50V"), 2.5);
        // It never shrinks by itself.
        feed(*c, 2, tester, 3.0f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 25.0);
    }

    void currentAxisLosesItsNegativePartPastTenAmps()
    {
        auto c = f.makeChart();
        c->connected();
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->min(), -25.0);
        feed(*c, 2, tester, 5, 9.9f);
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->min(), -25.0);
        feed(*c, 2, tester, 5, 10.4f);
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->min(), 0.0);
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->max(), 12.0);  // ceil(1 + 10.4)
        QCOMPARE(axisLabels(c->valueAxis(Curves::InnerRightAxis)).last(), QString("12.00A"));
        // An infinite reading is no axis end.
        feed(*c, 2, tester, 5, std::numeric_limits<float>::infinity());
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->max(), 12.0);
    }

    void groupsSwitchCurvesAxesAndButtons()
    {
        auto c = f.makeChart();
        QPushButton ele, temp, mos;
        c->setGroupButtons(&ele, &temp, &mos);
        c->connected();
        c->toggleGroup(Curves::MosGroup);
        QCOMPARE(c->shownGroup(), Curves::MosGroup);
        QCOMPARE(mos.styleSheet(), RealTimeChart::highlightedButtonStyle());
        QCOMPARE(ele.styleSheet(), RealTimeChart::plainButtonStyle());
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 40.0);
        QCOMPARE(axisLabels(c->valueAxis(Curves::LeftAxis)).last(), QString::fromUtf8("40.0℃"));
        QCOMPARE(c->chart()->series().size(), 1);
        QCOMPARE(c->chart()->series().first()->name(), QString("MOS_T"));
        // The running maximum starts at 100: first sample gives 0..101.
        feed(*c, 2, tester);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 101.0);
        QCOMPARE(axisLabels(c->valueAxis(Curves::LeftAxis)).last(), QString::fromUtf8("101.0℃"));

        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(ele.styleSheet(), RealTimeChart::highlightedButtonStyle());
        QCOMPARE(mos.styleSheet(), RealTimeChart::plainButtonStyle());
        QCOMPARE(c->chart()->series().size(), 2);
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->max(), 100.0);
        c->redrawNow();
        QCOMPARE(c->series(Curves::Capacity)->count(), 1);  // kept while hidden
        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(c->shownGroup(), Curves::Standard);
        QCOMPARE(ele.styleSheet(), RealTimeChart::plainButtonStyle());
        QCOMPARE(c->chart()->series().size(), 3);
    }

    void returningToStandardRescalesToTheMaximumSeen()
    {
        auto c = f.makeChart();
        c->connected();
        feed(*c, 2, tester, 23.4f);
        c->toggleGroup(Curves::EnergyGroup);
        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);  // default again
        feed(*c, 2, tester, 12.0f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 25.0);
    }

    void capacityKeepsHeadroom()
    {
        auto c = f.makeChart();
        c->connected();
        c->toggleGroup(Curves::EnergyGroup);
        SampleStore::Values v = sampleValues(5);
        v[SampleStore::Capacity] = 150;
        f.clockMs += 1000;
        c->pollTick(1, tester, v);
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->max(), 171.0);  // ceil(1 + 150 + 20)
    }

    void accumulatingTimeAxisMovesFromElevenPoints()
    {
        auto c = f.makeChart();
        c->connected();
        const qint64 start = f.clockMs;
        for (int i = 1; i <= 10; ++i) {
            f.clockMs += 1000;
            c->addSample(sampleValues(5));
        }
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), start);
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch(), start + 10000);
        f.clockMs += 1000;
        c->addSample(sampleValues(5));
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), start);
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch(), f.clockMs + 1000);
    }

    void scrollingDisplayUndoesAPanAtTheNextSample()
    {
        auto c = f.makeChart();
        c->connected();
        c->setDisplayMode(RealTimeChart::Scrolling);
        f.clockMs += 5000;
        c->addSample(sampleValues(5));  // within the first ten seconds: untouched
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch(), f.clockMs + 5000);
        f.clockMs += 7000;
        c->addSample(sampleValues(5));
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), f.clockMs - 9000);
        c->view()->setViewHeld(true);
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(f.clockMs - 60000),
                                QDateTime::fromMSecsSinceEpoch(f.clockMs - 50000));
        f.clockMs += 1000;
        c->addSample(sampleValues(5));
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), f.clockMs - 9000);
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch(), f.clockMs + 1000);
    }

    void viewZoomPanHoldAndRelease()
    {
        auto c = f.makeChart();
        showView(*c);
        c->connected();
        const qint64 start = f.clockMs;
        for (int i = 0; i < 120; ++i) {
            f.clockMs += 1000;
            c->addSample(sampleValues(5 + (i % 7)));
        }
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), start);
        ChartView *v = c->view();
        const QRectF plot = c->chart()->plotArea();
        const QPointF middle = v->mapFromScene(c->chart()->mapToScene(plot.center()));
        wheel(v, middle, 120);
        // One step keeps the time under the pointer and shows two thirds of the run.
        const double firstMin = double(c->timeAxis()->min().toMSecsSinceEpoch());
        const double firstMax = double(c->timeAxis()->max().toMSecsSinceEpoch());
        QVERIFY(qAbs((firstMax - firstMin) - 121000 / 1.5) <= 2000);
        QVERIFY(qAbs(firstMin + (firstMax - firstMin) / 2 - (start + 60500)) <= 1500);
        for (int i = 0; i < 30; ++i)
            wheel(v, middle, 120);
        QVERIFY(c->viewHeld());
        const qint64 zoomedMin = c->timeAxis()->min().toMSecsSinceEpoch();
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch() - zoomedMin, qint64(2000));
        // Still near the middle of the run (each step truncates to whole seconds).
        QVERIFY2(qAbs(zoomedMin + 1000 - (start + 60500)) <= 10000,
                 qPrintable(QString::number(zoomedMin - start)));

        // Held: new samples leave the view alone.
        f.clockMs += 1000;
        c->addSample(sampleValues(5));
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), zoomedMin);

        // Ctrl-wheel only holds.
        QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::NoModifier, middle.toPoint());
        QVERIFY(!c->viewHeld());
        wheel(v, middle, 120, Qt::ControlModifier);
        QVERIFY(c->viewHeld());
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), zoomedMin);

        // A drag to the right moves the content right: earlier times come in.
        QTest::mousePress(v->viewport(), Qt::LeftButton, Qt::NoModifier, middle.toPoint());
        QMouseEvent move(QEvent::MouseMove, middle + QPointF(200, 80), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(v->viewport(), &move);
        QTest::mouseRelease(v->viewport(), Qt::LeftButton, Qt::NoModifier,
                            (middle + QPointF(200, 80)).toPoint());
        QVERIFY(c->timeAxis()->min().toMSecsSinceEpoch() < zoomedMin);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);  // vertical move ignored

        // A right click releases: the next sample spans the run again.
        QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::NoModifier, middle.toPoint());
        f.clockMs += 1000;
        c->addSample(sampleValues(5));
        QCOMPARE(c->timeAxis()->min().toMSecsSinceEpoch(), start);
        QCOMPARE(c->timeAxis()->max().toMSecsSinceEpoch(), f.clockMs + 1000);

        // Zooming out widens about the pointer.
        wheel(v, middle, -120);
        QVERIFY(c->timeAxis()->max().toMSecsSinceEpoch() - c->timeAxis()->min().toMSecsSinceEpoch() >
                150000);
    }

    void longRunIsDrawnReducedAndKeepsItsSpike()
    {
        auto c = f.makeChart();
        showView(*c);
        c->connected();
        const qint64 start = f.clockMs;
        const int n = 1000000;
        for (int i = 0; i < n; ++i) {
            SampleStore::Values v = sampleValues(i == n / 2 + 7 ? 100.0f : 5.0f);
            c->store().append(start + qint64(i) * 1000, v);
        }
        f.clockMs = start + qint64(n) * 1000;
        c->addSample(sampleValues(5));
        c->redrawNow();
        QVERIFY(c->isReduced());
        QXYSeries *s = c->series(Curves::Voltage);
        QVERIFY(qobject_cast<QLineSeries *>(s));
        QVERIFY(s->count() <= 2 * int(c->chart()->plotArea().width()) + 4);
        double top = 0;
        for (const QPointF &p : s->pointsVector())
            top = std::max(top, p.y());
        QCOMPARE(top, 100.0);
        // The legend still shows the group once each, in order.
        QCOMPARE(c->chart()->series().size(), 3);
        QCOMPARE(c->chart()->series().first()->name(), QString("VOLTAGE"));

        // Zoomed to a minute the raw points come back, smooth.
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(start + 1000000),
                                QDateTime::fromMSecsSinceEpoch(start + 1060000));
        c->redrawNow();
        QVERIFY(!c->isReduced());
        QVERIFY(qobject_cast<QSplineSeries *>(c->series(Curves::Voltage)));
        QCOMPARE(c->series(Curves::Voltage)->count(), 63);  // 61 inside, one each side
        QCOMPARE(c->chart()->series().size(), 3);
    }

    // Set CHART_SHOT=path to look at a few minutes of a simulated discharge.
    void screenshotOfASimulatedDischarge()
    {
        const QString path = qEnvironmentVariable("CHART_SHOT");
        if (path.isEmpty())
            QSKIP("CHART_SHOT not set");
        auto c = f.makeChart();
        showView(*c);
        c->connected();
        for (int i = 0; i < 300; ++i) {
            f.clockMs += 1000;
            const float soc = 1.0f - i / 600.0f;
            const float volt = 3.3f + 0.9f * soc - (i > 30 ? 0.12f : 0.0f) + 0.01f * float(i % 5);
            const float curr = i > 30 ? 2.0f : 0.0f;
            c->addSample(sampleValues(volt, curr, volt * curr));
        }
        c->redrawNow();
        QCoreApplication::processEvents();  // the legend lays itself out later
        QVERIFY(c->view()->grab().save(path));
    }
};

QTEST_MAIN(TestChart)
#include "test_chart.moc"
