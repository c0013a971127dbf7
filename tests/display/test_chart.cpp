#include "axislabels.h"
#include "axisscale.h"
#include "chartview.h"
#include "curvereduction.h"
#include "curvesettingspanel.h"
#include "customcoordinates.h"
#include "realtimechart.h"
#include "setting.h"

#include <QApplication>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLegendMarker>
#include <QtTest>

using namespace QtCharts;

namespace {

const SampleGate tester{4, false, true, false, true};
const SampleGate loadRunning{1, true, true, false, true};

SampleStore::Values sample(float volt, float curr = 1)
{
    return {volt, curr, 1, 0, 0, 0, 35}; // V, A, W, ohm, Wh, mAh, MOS temperature
}

QString labels(QCategoryAxis *axis)
{
    return axis->categoriesLabels().join(' ');
}

QString expectedLabels(double from, double to, const QString &unit)
{
    QStringList l;
    for (int i = 0; i <= 10; ++i)
        l << QString::number(from + i * (to - from) / 10, 'f', 2) + unit;
    return l.join(' ');
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

// The axis labels as the plot draws them: text and place of every label item.
struct DrawnLabel
{
    QString text;
    QRectF rect;
};
QList<DrawnLabel> drawnLabels(QChart *chart)
{
    QList<DrawnLabel> out;
    for (QGraphicsItem *item : chart->scene()->items()) {
        auto *t = dynamic_cast<QGraphicsTextItem *>(item);
        if (t && t->isVisible() && !t->toPlainText().isEmpty())
            out.append({t->toPlainText(), t->sceneBoundingRect()});
    }
    return out;
}
bool isTimeLabel(const QString &text)
{
    static const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d"));
    return time.match(text).hasMatch();
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir; // a settings file of its own
    QString oldDir;
    qint64 clockMs = 1700000000000;

    std::unique_ptr<RealTimeChart> makeChart(bool connect = true)
    {
        auto c = std::make_unique<RealTimeChart>(nullptr);
        c->setClock([this] { return clockMs; });
        if (connect)
            c->connected();
        return c;
    }
    // Ticks 1..n as the window's poll timer gives them, half a second apart.
    int feed(RealTimeChart &c, int ticks, const SampleGate &gate, float volt = 5, float curr = 1)
    {
        int taken = 0;
        for (int t = 1; t <= ticks; ++t) {
            clockMs += 500;
            taken += c.pollTick(quint32(t), gate, sample(volt, curr)) ? 1 : 0;
        }
        return taken;
    }
    void add(RealTimeChart &c, qint64 afterMs, float volt = 5)
    {
        clockMs += afterMs;
        c.addSample(sample(volt));
    }
    qint64 tMin(RealTimeChart &c) { return c.timeAxis()->min().toMSecsSinceEpoch(); }
    qint64 tMax(RealTimeChart &c) { return c.timeAxis()->max().toMSecsSinceEpoch(); }
    void showView(RealTimeChart &c)
    {
        c.view()->resize(1400, 700);
        c.view()->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.view()));
        QCoreApplication::processEvents();
    }
    void wheel(ChartView *v, QPointF pos, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWheelEvent e(pos, v->viewport()->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v->viewport(), &e);
    }

private slots:
    void init()
    {
        dir.reset(new QTemporaryDir);
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
    }
    void cleanup() { QDir::setCurrent(oldDir); }

    void tenPollTicksGiveFivePointsAndTheSamplingRule()
    {
        auto c = makeChart();
        QCOMPARE(feed(*c, 10, tester, 12.5f), 5);
        c->redrawNow();
        for (int curve : {Curves::Voltage, Curves::Current, Curves::Power})
            QCOMPARE(c->series(curve)->count(), 5);
        QCOMPARE(c->series(Curves::Voltage)->at(4), QPointF(clockMs - 500, 12.5));
        QCOMPARE(c->store().valueAt(SampleStore::MosTemp, 4), 35.0f); // hidden curves too
        QStringList names;
        for (QLegendMarker *m : c->chart()->legend()->markers())
            names << m->label();
        QCOMPARE(names, QStringList({"VOLTAGE", "CURRENT", "POWER"}));

        c = makeChart(false);
        QCOMPARE(feed(*c, 4, loadRunning), 0); // not connected yet
        c->connected();
        QCOMPARE(feed(*c, 4, {1, false, true, false, true}), 0); // load not running
        QCOMPARE(feed(*c, 4, loadRunning), 2);
        QCOMPARE(feed(*c, 4, {4, false, true, true, true}), 0);   // bus scan
        QCOMPARE(feed(*c, 4, {0, true, true, false, true}), 0);   // unknown class
        QCOMPARE(feed(*c, 4, {4, false, false, false, true}), 0); // link lost
        QCOMPARE(feed(*c, 4, {4, false, true, false, false}), 0); // no report since the last sample
        QVERIFY(c->disconnected());
        QCOMPARE(c->store().size(), size_t(2)); // a lost link keeps the run
        c->connected();
        c->runButton(false);
        QCOMPARE(feed(*c, 4, loadRunning), 0);
        QCOMPARE(feed(*c, 4, tester), 2); // a tester always
        c->runButton(true);
        QCOMPARE(c->store().size(), size_t(0));
        QCOMPARE(tMax(*c), clockMs + 10000);
    }

    void valueAxesGrowByTheirRules()
    {
        auto c = makeChart();
        QCategoryAxis *left = c->valueAxis(Curves::LeftAxis),
                      *inner = c->valueAxis(Curves::InnerRightAxis);
        feed(*c, 2, tester, 12.3f, 9.9f);
        QCOMPARE(labels(left), expectedLabels(0, 20, "V"));
        QCOMPARE(inner->min(), -25.0);
        feed(*c, 2, tester, 23.4f, 10.4f);
        QCOMPARE(labels(left), expectedLabels(0, 25, "V"));
        QCOMPARE(left->endValue("2.50V"), 2.5);
        QCOMPARE(inner->min(), 0.0);
        QCOMPARE(inner->max(), 12.0); // ceil(1 + 10.4)
        feed(*c, 2, tester, 3.0f, std::numeric_limits<float>::infinity());
        QCOMPARE(left->max(), 25.0);  // never shrinks by itself
        QCOMPARE(inner->max(), 12.0); // an infinite reading is no axis end

        // Back to the standard group: the default, then the maximum seen past it.
        c->toggleGroup(Curves::EnergyGroup);
        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);
        feed(*c, 2, tester, 12.0f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 25.0);

        c = makeChart();
        QPushButton ele, temp, mos;
        c->setGroupButtons(&ele, &temp, &mos);
        c->toggleGroup(Curves::MosGroup);
        QCOMPARE(mos.styleSheet(), RealTimeChart::highlightedButtonStyle());
        QCOMPARE(c->chart()->series().size(), 1);
        QCOMPARE(c->chart()->series().first()->name(), QString("MOS_T"));
        feed(*c, 2, tester);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 0.0);
        // 0 to ceil(1 + 100), rounded out to a round number: 0, 20, ... 120.
        QCOMPARE(labels(c->valueAxis(Curves::LeftAxis)),
                 QString::fromUtf8("0.0℃ 20.0℃ 40.0℃ 60.0℃ 80.0℃ 100.0℃ 120.0℃"));
    }

    void timeAxisAccumulatesOrScrolls()
    {
        auto c = makeChart();
        const qint64 start = clockMs;
        for (int i = 1; i <= 10; ++i)
            add(*c, 1000);
        QCOMPARE(tMax(*c), start + 10000);
        add(*c, 1000); // the eleventh point moves the end
        QCOMPARE(tMin(*c), start);
        QCOMPARE(tMax(*c), clockMs + 1000);
        // A short unplug mid-run: the chart goes on showing the run from its start.
        QVERIFY(c->disconnected());
        clockMs += 5000;
        QVERIFY(c->connected());
        c->restartTimeWindow(); // the device list is built again
        add(*c, 1000);
        QCOMPARE(tMin(*c), start);
        QCOMPARE(tMax(*c), clockMs + 1000);

        c = makeChart();
        c->setDisplayMode(RealTimeChart::Scrolling);
        add(*c, 12000);
        QCOMPARE(tMin(*c), clockMs - 9000);
        c->view()->setViewHeld(true);
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(clockMs - 60000),
                                QDateTime::fromMSecsSinceEpoch(clockMs - 50000));
        add(*c, 1000); // a pan is undone at the next sample
        QCOMPARE(tMin(*c), clockMs - 9000);
        QCOMPARE(tMax(*c), clockMs + 1000);
    }

    // A run over days: the time labels say which day once the span passes midnight.
    void timeLabelsShowTheDayPastMidnight()
    {
        const auto at = [](int day, int h, int m, int s) {
            return QDateTime(QDate(2023, 11, day), QTime(h, m, s));
        };
        QCOMPARE(AxisLabels::timeFormat(at(14, 0, 0, 0), at(14, 23, 59, 59), 10),
                 QString("hh:mm:ss"));
        QCOMPARE(AxisLabels::timeFormat(at(14, 23, 59, 55), at(15, 0, 0, 5), 10),
                 QString("hh:mm:ss<br>MM-dd")); // ten seconds: the seconds still tell ticks apart
        QCOMPARE(AxisLabels::timeFormat(at(14, 8, 0, 0), at(17, 8, 0, 0), 10),
                 QString("hh:mm<br>MM-dd"));

        clockMs = at(14, 23, 59, 0).toMSecsSinceEpoch();
        auto c = makeChart();
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm:ss"));
        for (int i = 0; i < 58; ++i)
            add(*c, 1000);
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm:ss")); // 23:59:00 to 23:59:59
        add(*c, 1000);
        QCOMPARE(c->timeAxis()->max().toString(c->timeAxis()->format()),
                 QString("00:00:00<br>11-15"));
        const qint64 next = clockMs + 1000;
        for (qint64 t = 0; t < 3LL * 86400 * 1000; t += 60000) // three days more
            c->store().append(next + t, sample(5));
        clockMs = next + 3LL * 86400 * 1000;
        add(*c, 0);
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm<br>MM-dd"));
        QCOMPARE(c->timeAxis()->max().toString(c->timeAxis()->format()), QString("00:00<br>11-18"));
        c->view()->setViewHeld(true); // zoomed into one afternoon
        c->timeAxis()->setRange(at(16, 14, 0, 0), at(16, 15, 0, 0));
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm:ss"));
    }

    // A sample moves the axes and draws its points in one step, not on a later repaint.
    void aSampleIsDrawnInOneStep()
    {
        auto c = makeChart();
        showView(*c);
        for (int i = 0; i < 30; ++i)
            add(*c, 1000, 5 + i % 3);
        QVERIFY(!c->redrawPending());
        QXYSeries *s = c->series(Curves::Voltage);
        QCOMPARE(s->count(), 30);
        QCOMPARE(s->at(29), QPointF(clockMs, 7));
        QCOMPARE(tMax(*c), clockMs + 1000);
    }

    void viewZoomHoldAndRelease()
    {
        auto c = makeChart();
        showView(*c);
        const qint64 start = clockMs;
        for (int i = 0; i < 120; ++i)
            add(*c, 1000, 5 + (i % 7));
        ChartView *v = c->view();
        const QPointF middle =
            v->mapFromScene(c->chart()->mapToScene(c->chart()->plotArea().center()));
        for (int i = 0; i < 31; ++i)
            wheel(v, middle, 120);
        const qint64 zoomedMin = tMin(*c);
        QCOMPARE(tMax(*c) - zoomedMin, qint64(2000));
        QVERIFY(qAbs(zoomedMin + 1000 - (start + 60500)) <= 10000); // about the pointer
        add(*c, 1000);
        QCOMPARE(tMin(*c), zoomedMin); // held

        QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::NoModifier, middle.toPoint());
        QVERIFY(!c->viewHeld());
        wheel(v, middle, 120, Qt::ControlModifier); // Ctrl-wheel only holds
        QVERIFY(c->viewHeld());
        QCOMPARE(tMin(*c), zoomedMin);
        QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::NoModifier, middle.toPoint());
        add(*c, 1000); // released: the next sample spans the run again
        QCOMPARE(tMin(*c), start);
        QCOMPARE(tMax(*c), clockMs + 1000);
    }

    void aSpikeAmongAMillionSamplesIsDrawn()
    {
        auto c = makeChart();
        showView(*c);
        const qint64 start = clockMs;
        const int n = 1000000;
        for (int i = 0; i < n; ++i)
            c->store().append(start + qint64(i) * 1000, sample(i == n / 2 + 7 ? 100.0f : 5.0f));
        clockMs = start + qint64(n) * 1000;
        add(*c, 0);
        c->redrawNow();
        QXYSeries *s = c->series(Curves::Voltage);
        QVERIFY(s->count() <= 2 * int(c->chart()->plotArea().width()) + 4);
        double top = 0;
        for (const QPointF &p : s->pointsVector())
            top = std::max(top, p.y());
        QCOMPARE(top, 100.0);
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(start + 1000000),
                                QDateTime::fromMSecsSinceEpoch(start + 1060000));
        c->redrawNow();
        QCOMPARE(c->series(Curves::Voltage)->count(), 63); // raw again: 61 inside, one each side
    }

    // Each pixel column keeps its lowest and highest sample. With many blocks
    // to a column (the second window) a block astride a column edge is read
    // whole, so an extreme may be drawn under the neighbouring column, never
    // further away, and only as the sample it is.
    void reducedColumnsAgreeWithAFullScan()
    {
        SampleStore s;
        quint32 seed = 12345;
        auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
        qint64 t = 0;
        for (int i = 0; i < 300000; ++i) {
            t += 500 + qint64(next() % 1500);
            const float v = float(next() % 100000) / 1000.0f;
            s.append(t, sample(i % 9973 == 0 ? std::numeric_limits<float>::quiet_NaN() : v));
        }
        const qint64 from = 7777777, to = t - 5555555;
        const SampleStore::Quantity volt[1] = {SampleStore::Voltage};
        for (const int columns : {613, 61}) {
            const bool exact = columns == 613;
            QVector<QPointF> out[1];
            QVERIFY(CurveReduction::reduce(s, {from, to, columns, volt, 1}, out));
            QVERIFY(out[0].size() <= 2 * columns + 4);
            const double per = (double(to - from) + 1.0) / columns;
            auto col = [&](double x) {
                return std::min(columns - 1, int((x - double(from)) / per));
            };
            QVector<double> lo(columns, 1e30), hi(columns, -1e30), gotLo = lo, gotHi = hi;
            for (size_t i = s.lowerBound(from); i < s.size() && s.timeAt(i) <= to; ++i) {
                const float v = s.valueAt(SampleStore::Voltage, i);
                if (std::isfinite(v)) {
                    lo[col(s.timeAt(i))] = std::min(lo[col(s.timeAt(i))], double(v));
                    hi[col(s.timeAt(i))] = std::max(hi[col(s.timeAt(i))], double(v));
                }
            }
            double lastX = -1;
            for (const QPointF &p : out[0]) {
                QVERIFY(std::isfinite(p.y()));
                QVERIFY(p.x() > lastX);
                lastX = p.x();
                const size_t i = s.lowerBound(qint64(p.x()));
                QCOMPARE(double(s.timeAt(i)), p.x());
                QCOMPARE(p.y(), double(s.valueAt(SampleStore::Voltage, i)));
                if (p.x() >= from && p.x() <= to) {
                    gotLo[col(p.x())] = std::min(gotLo[col(p.x())], p.y());
                    gotHi[col(p.x())] = std::max(gotHi[col(p.x())], p.y());
                }
            }
            if (exact) {
                QCOMPARE(gotLo, lo);
                QCOMPARE(gotHi, hi);
                continue;
            }
            int moved = 0;
            for (int c = 0; c < columns; ++c) {
                const int a = std::max(0, c - 1), b = std::min(columns - 1, c + 1);
                const double nearLo = *std::min_element(gotLo.begin() + a, gotLo.begin() + b + 1);
                const double nearHi = *std::max_element(gotHi.begin() + a, gotHi.begin() + b + 1);
                QVERIFY2(nearLo <= lo[c] && nearHi >= hi[c], qPrintable(QString::number(c)));
                moved += gotLo[c] != lo[c] || gotHi[c] != hi[c];
            }
            QVERIFY(moved < columns / 4);
        }
    }

    // Round numbers on every value axis: steps of 1, 2, 2.5 or 5 x 10^n.
    void valueAxesTakeRoundNumbers()
    {
        QCOMPARE(AxisScale::niceStep(3.7), 5.0);
        QCOMPARE(AxisScale::niceStep(0.22), 0.25);
        QCOMPARE(AxisScale::niceStep(10.1), 20.0);
        const AxisScale::Scale cap = AxisScale::covering(0, 223.3, 10, 2);
        QCOMPARE(cap.step, 25.0);
        QCOMPARE(cap.max, 225.0);

        // A capacity of 202.3 mAh (with its 20 mAh of headroom) no longer gives 222.30mAh.
        auto c = makeChart();
        c->toggleGroup(Curves::EnergyGroup);
        clockMs += 1000;
        c->addSample({5, 1, 5, 5, 0.5f, 202.3f, 30});
        const QStringList capLabels = c->valueAxis(Curves::InnerRightAxis)->categoriesLabels();
        QVERIFY2(capLabels.size() >= 3 && capLabels.size() <= 11, qPrintable(capLabels.join(' ')));
        const double step = capLabels[1].chopped(3).toDouble() - capLabels[0].chopped(3).toDouble();
        QCOMPARE(AxisScale::niceStep(step), step);
        for (const QString &l : capLabels) {
            const double v = l.chopped(3).toDouble();
            QVERIFY2(qAbs(v / step - std::round(v / step)) < 1e-9, qPrintable(l));
        }
        QVERIFY(c->valueAxis(Curves::InnerRightAxis)->max() >= 223.3);
        // A custom range keeps its ends; its labels sit on round values inside it.
        QCategoryAxis axis;
        AxisLabels::applyAxisRange(&axis, "V", 4, 2, 3.3, 4.25);
        QCOMPARE(axis.min(), 3.3);
        QCOMPARE(axis.max(), 4.25);
        QCOMPARE(labels(&axis), QString("3.50V 3.75V 4.00V 4.25V"));
    }

    // A pause of more than two sample periods (an unplug, another instrument selected) is a
    // gap in the curve, not a straight line across it; one missed sample is not.
    void gapsBreakTheCurve()
    {
        auto c = makeChart();
        showView(*c);
        for (int i = 0; i < 10; ++i)
            add(*c, 1000, 5);
        add(*c, 2000, 6); // one sample missed: still one line
        QCOMPARE(c->drawnLines(Curves::Voltage).size(), 1);
        const qint64 beforeGap = clockMs;
        add(*c, 30000, 7); // half a minute unplugged
        for (int i = 0; i < 10; ++i)
            add(*c, 1000, 8);
        QVector<QVector<QPointF>> lines = c->drawnLines(Curves::Voltage);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].last().x(), double(beforeGap));
        QCOMPARE(lines[1].first().x(), double(beforeGap + 30000));
        QCOMPARE(lines[0].size() + lines[1].size(), 22);
        for (int curve : {Curves::Current, Curves::Power})
            QCOMPARE(c->drawnLines(curve).size(), 2);
        // The legend still names each curve once.
        QCoreApplication::processEvents();
        QStringList names;
        for (const DrawnLabel &l : drawnLabels(c->chart()))
            if (QRegularExpression("^[A-Z_]+$").match(l.text).hasMatch())
                names << l.text;
        names.sort();
        QCOMPARE(names, QStringList({"CURRENT", "POWER", "VOLTAGE"}));
        // Another group shown and back: the pieces follow their curve.
        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(c->drawnLines(Curves::Capacity).size(), 2);
        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(c->drawnLines(Curves::Voltage).size(), 2);

        // Reduced to pixel columns, an hour's gap in a long run still shows.
        auto longRun = makeChart();
        showView(*longRun);
        const qint64 start = clockMs;
        for (int i = 0; i < 200000; ++i)
            longRun->store().append(start + qint64(i) * 1000 + (i >= 100000 ? 3600000 : 0),
                                    sample(5.0f + float(i % 5)));
        clockMs = start + 200000LL * 1000 + 3600000;
        add(*longRun, 0);
        longRun->redrawNow();
        QVERIFY(longRun->isReduced());
        lines = longRun->drawnLines(Curves::Voltage);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].first().x() - lines[0].last().x() >= 3600000);
        // Emptied, the record starts without any.
        longRun->clearRecord();
        add(*longRun, 1000);
        add(*longRun, 1000);
        QCOMPARE(longRun->drawnLines(Curves::Voltage).size(), 1);
    }

    // A step from 0 to 8.08 W is drawn as straight lines: no pixel of the curve above 8.08.
    void aStepIsDrawnWithoutOvershoot()
    {
        auto c = makeChart();
        c->setCurveColour(Curves::Power, QColor(255, 0, 0));
        c->setCurveWidth(Curves::Power, 2);
        c->setCurveColour(Curves::Voltage, QColor(0, 0, 255));
        c->setCurveColour(Curves::Current, QColor(0, 0, 255));
        showView(*c);
        for (int i = 0; i < 12; ++i) {
            clockMs += 1000;
            c->addSample({5, 1, i < 6 ? 0.0f : 8.08f, 0, 0, 0, 30});
        }
        c->redrawNow();
        QCoreApplication::processEvents();
        const QImage shot = c->view()->grab().toImage();
        const QPointF top = c->view()->mapFromScene(c->chart()->mapToScene(
            c->chart()->mapToPosition(QPointF(double(clockMs), 8.08), c->series(Curves::Power))));
        // Inside the plot only: the power axis's line has the curve's colour too.
        const QRect plot = c->view()
                               ->mapFromScene(c->chart()->mapToScene(c->chart()->plotArea()))
                               .boundingRect()
                               .adjusted(4, 0, -4, 0);
        int highest = shot.height();
        for (int y = 0; y < shot.height() && highest == shot.height(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x) {
                const QColor p = shot.pixelColor(x, y);
                if (p.red() > 200 && p.green() < 60 && p.blue() < 60) {
                    highest = y;
                    break;
                }
            }
        QVERIFY2(highest < shot.height(), "the power curve is drawn");
        QVERIFY2(highest >= int(top.y()) - 2,
                 qPrintable(
                     QString("curve reaches y=%1, 8.08 W lies at y=%2").arg(highest).arg(top.y())));
    }

    // At every size the window gives it, no axis label is cut to "..." and no two time labels
    // overlap: the number of labels follows the plot.
    void labelsFitAtEverySize()
    {
        auto c = makeChart();
        showView(*c);
        for (int i = 0; i < 40; ++i)
            add(*c, 1000, 12 + i % 5);
        int previousValueLabels = 100;
        for (QSize size : {QSize(1400, 700), QSize(1100, 420), QSize(900, 300), QSize(700, 230),
                           QSize(560, 190)}) {
            c->view()->resize(size);
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            const QList<DrawnLabel> drawn = drawnLabels(c->chart());
            QList<QRectF> times;
            for (const DrawnLabel &l : drawn) {
                QVERIFY2(
                    !l.text.contains(QChar(0x2026)) && !l.text.contains("..."),
                    qPrintable(
                        QString("%1x%2: %3").arg(size.width()).arg(size.height()).arg(l.text)));
                if (isTimeLabel(l.text))
                    times << l.rect;
            }
            QVERIFY(times.size() >= 2);
            for (int i = 0; i < times.size(); ++i)
                for (int j = i + 1; j < times.size(); ++j)
                    QVERIFY2(!times[i].intersects(times[j]),
                             qPrintable(QString("%1x%2").arg(size.width()).arg(size.height())));
            const int valueLabels = c->valueAxis(Curves::LeftAxis)->categoriesLabels().size();
            QVERIFY(valueLabels >= 2 && valueLabels <= previousValueLabels);
            previousValueLabels = valueLabels;
        }
        QVERIFY(previousValueLabels < 11); // a short plot takes fewer
    }

    // Zoomed in to two seconds, the time labels show tenths, and no two read the same.
    void timeLabelPrecisionFollowsTheSpan()
    {
        auto c = makeChart();
        showView(*c);
        for (int i = 0; i < 60; ++i)
            add(*c, 1000);
        const auto texts = [&] {
            QStringList t;
            const qint64 from = tMin(*c), to = tMax(*c);
            const int n = c->timeAxis()->tickCount();
            for (int i = 0; i < n; ++i)
                t << QDateTime::fromMSecsSinceEpoch(from + (to - from) * i / (n - 1))
                         .toString(c->timeAxis()->format());
            return t;
        };
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm:ss"));
        c->view()->setViewHeld(true);
        const qint64 second = (clockMs / 1000 - 30) * 1000;
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(second),
                                QDateTime::fromMSecsSinceEpoch(second + 2000));
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm:ss.z"));
        QStringList shown = texts();
        QVERIFY(shown.size() >= 3);
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
        QVERIFY2(shown[1].endsWith(".5") || shown[1].endsWith(".2") || shown[1].endsWith(".4"),
                 qPrintable(shown.join(' ')));
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(second - 30000),
                                QDateTime::fromMSecsSinceEpoch(second));
        QCOMPARE(c->timeAxis()->format(), QString("hh:mm:ss"));
        shown = texts();
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
    }

    // Hovering over the plot shows the nearest sample's time and every shown curve's value.
    void crosshairShowsTheNearestSample()
    {
        auto c = makeChart();
        showView(*c);
        const qint64 start = clockMs;
        for (int i = 0; i < 20; ++i) {
            clockMs += 1000;
            c->addSample({float(10 + i), float(i) / 10, 2.5f, 0, 0, 0, 30});
        }
        const qint64 seventh = start + 7000;
        const QPointF onScreen =
            c->view()->mapFromScene(c->chart()->mapToScene(c->chart()->mapToPosition(
                QPointF(double(seventh) + 300, 12), c->series(Curves::Voltage))));
        QTest::mouseMove(c->view()->viewport(), onScreen.toPoint());
        QTRY_VERIFY(c->crosshairShown());
        const QString text = c->crosshairText();
        QVERIFY2(text.startsWith(
                     QDateTime::fromMSecsSinceEpoch(seventh).toString("yyyy-MM-dd hh:mm:ss")),
                 qPrintable(text));
        QVERIFY2(text.contains("VOLTAGE  16.000V") && text.contains("CURRENT  0.600A") &&
                     text.contains("POWER    2.500W"),
                 qPrintable(text));
        clockMs += 1000; // a new sample moves the axis under the resting pointer
        c->addSample({30, 2, 60, 0, 0, 0, 30});
        QVERIFY(c->crosshairShown());
        c->toggleGroup(Curves::TemperatureGroup); // only the shown curves
        c->hoverAt(onScreen);
        QVERIFY(c->crosshairText().contains("CPU_T") && !c->crosshairText().contains("VOLTAGE"));
        c->hoverAt(QPointF(2, 2)); // outside the plot
        QVERIFY(!c->crosshairShown());
    }

    void freshAppearanceAndThePanelFitsItsArea()
    {
        auto c = makeChart(false);
        QCOMPARE(c->chart()->theme(), QChart::ChartThemeLight);
        for (int curve = 0; curve < Curves::Count; ++curve) {
            QCOMPARE(c->appearance().colour(curve), QColor(Qt::black));
            QCOMPARE(c->appearance().width(curve), 0.0);
        }
        QCOMPARE(c->series(Curves::Voltage)->pen().color(), QColor(Qt::black));
        QCOMPARE(c->series(Curves::Voltage)->pen().widthF(), 0.0);
        for (QSize size : {QSize(1000, 700), QSize(600, 300)}) {
            QWidget area;
            area.resize(size);
            CurveSettingsPanel *p = c->showCurveSettings(&area);
            QCOMPARE(p->widthBox(0)->currentText(), QString("0.5"));
            QCOMPARE(p->themeBox()->currentText(), QString("Light"));
            int w = p->verticalHeader()->width(), h = p->horizontalHeader()->height();
            for (int col = 0; col < 3; ++col)
                w += p->columnWidth(col);
            for (int row = 0; row < 10; ++row)
                h += p->rowHeight(row);
            QVERIFY(size.width() < 1000 ||
                    (p->width() >= w && p->height() >= h)); // every row shows
            QVERIFY(QRect(QPoint(0, 0), area.size()).contains(p->geometry()));
            p->okButton()->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY(!QFile::exists("usb-hid.ini")); // nothing written until the user chooses
    }

    void chosenColoursAndWidthsAreKept()
    {
        Setting().write("IBUS_col", "ff1570a5");
        {
            auto c = makeChart(false);
            QWidget area;
            CurveSettingsPanel *p = c->showCurveSettings(&area);
            c->setColourPicker([](const QColor &, QWidget *) { return QColor(); });
            p->colourButton(Curves::Current)->click(); // cancelled
            QCOMPARE(Setting().read("IBUS_col"), QString("ff1570a5"));
            QCOMPARE(c->series(Curves::Current)->pen().color(), QColor(0x15, 0x70, 0xa5));

            c->setColourPicker([](const QColor &, QWidget *) { return QColor(255, 0, 0); });
            p->colourButton(Curves::Voltage)->click();
            QCOMPARE(Setting().read("VBUS_col"), QString("ffff0000"));
            QCOMPARE(c->series(Curves::Voltage)->pen().color(), QColor(Qt::red));

            p->widthBox(Curves::Power)->setCurrentIndex(4);
            QCOMPARE(Setting().read("POWER_lw"), QString("2.5"));
            p->colourButton(Curves::Power)->click();
            p->themeBox()->setCurrentIndex(2);
            QCOMPARE(c->chart()->theme(), QChart::ChartThemeDark);
            QCOMPARE(c->series(Curves::Power)->pen().widthF(), 2.5);
            QCOMPARE(c->series(Curves::Power)->pen().color(), QColor(Qt::red));
        }
        auto restarted = makeChart(false);
        QCOMPARE(restarted->chart()->theme(), QChart::ChartThemeDark);
        QCOMPARE(restarted->series(Curves::Voltage)->pen().color(), QColor(Qt::red));
        QCOMPARE(restarted->valueAxis(Curves::LeftAxis)->linePenColor(), QColor(Qt::red));
        QCOMPARE(restarted->series(Curves::Power)->pen().widthF(), 2.5);
    }

    void customVoltageRangeAppliesHoldsAndGoes()
    {
        auto c = makeChart();
        customcoordinates panel;
        c->setCustomRanges(&panel);
        connect(&panel, &customcoordinates::RangChang_signal, c.get(),
                &RealTimeChart::applyCustomRanges);
        for (int curve = 0; curve < Curves::Count; ++curve) {
            const QString zero = curve == Curves::MosTemp ? "0.0" : "0.00";
            QCOMPARE(panel.minBox(curve)->text(), zero);
            QCOMPARE(panel.maxBox(curve)->text(), zero);
            QCOMPARE(panel.switchButton(curve)->text(), QString::fromUtf8("关闭"));
            QVERIFY(!panel.isOpen(curve));
        }
        panel.show();
        typeInto(panel.minBox(Curves::Voltage), "11.5");
        typeInto(panel.maxBox(Curves::Voltage), "12.5");
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 0.0); // off: chart untouched
        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(panel.switchButton(Curves::Voltage)->text(), QString::fromUtf8("启用"));
        QCOMPARE(labels(c->valueAxis(Curves::LeftAxis)), expectedLabels(11.5, 12.5, "V"));
        feed(*c, 4, tester, 30.0f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 12.5); // holds

        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(labels(c->valueAxis(Curves::LeftAxis)), expectedLabels(0, 20, "V"));
        customcoordinates again; // a later start reads them back
        QCOMPARE(again.minBox(Curves::Voltage)->text(), QString("11.50"));
        QVERIFY(!again.isOpen(Curves::Voltage));
    }
};

QTEST_MAIN(TestChart)
#include "test_chart.moc"
