#include "axislabels.h"
#include "chartview.h"
#include "curvereduction.h"
#include "curvesettingspanel.h"
#include "customcoordinates.h"
#include "realtimechart.h"
#include "setting.h"

#include <QApplication>
#include <QComboBox>
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
    return {volt, curr, 1, 0, 0, 0, 35};  // V, A, W, ohm, Wh, mAh, MOS temperature
}

QString labels(QCategoryAxis *axis) { return axis->categoriesLabels().join(' '); }

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

} // namespace

class TestChart : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;  // a settings file of its own
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
        QCOMPARE(c->store().valueAt(SampleStore::MosTemp, 4), 35.0f);  // hidden curves too
        QStringList names;
        for (QLegendMarker *m : c->chart()->legend()->markers())
            names << m->label();
        QCOMPARE(names, QStringList({"VOLTAGE", "CURRENT", "POWER"}));

        c = makeChart(false);
        QCOMPARE(feed(*c, 4, loadRunning), 0);  // not connected yet
        c->connected();
        QCOMPARE(feed(*c, 4, {1, false, true, false, true}), 0);  // load not running
        QCOMPARE(feed(*c, 4, loadRunning), 2);
        QCOMPARE(feed(*c, 4, {4, false, true, true, true}), 0);  // bus scan
        QCOMPARE(feed(*c, 4, {0, true, true, false, true}), 0);  // unknown class
        QCOMPARE(feed(*c, 4, {4, false, false, false, true}), 0);  // link lost
        QCOMPARE(feed(*c, 4, {4, false, true, false, false}), 0);  // no report since the last sample
        QVERIFY(c->disconnected());
        QCOMPARE(c->store().size(), size_t(2));  // a lost link keeps the run
        c->connected();
        c->runButton(false);
        QCOMPARE(feed(*c, 4, loadRunning), 0);
        QCOMPARE(feed(*c, 4, tester), 2);  // a tester always
        c->runButton(true);
        QCOMPARE(c->store().size(), size_t(0));
        QCOMPARE(tMax(*c), clockMs + 10000);
    }

    void valueAxesGrowByTheirRules()
    {
        auto c = makeChart();
        QCategoryAxis *left = c->valueAxis(Curves::LeftAxis), *inner = c->valueAxis(Curves::InnerRightAxis);
        feed(*c, 2, tester, 12.3f, 9.9f);
        QCOMPARE(labels(left), expectedLabels(0, 20, "V"));
        QCOMPARE(inner->min(), -25.0);
        feed(*c, 2, tester, 23.4f, 10.4f);
        QCOMPARE(labels(left), expectedLabels(0, 25, "V"));
        QCOMPARE(left->endValue("2.50V"), 2.5);
        QCOMPARE(inner->min(), 0.0);
        QCOMPARE(inner->max(), 12.0);  // ceil(1 + 10.4)
        feed(*c, 2, tester, 3.0f, std::numeric_limits<float>::infinity());
        QCOMPARE(left->max(), 25.0);  // never shrinks by itself
        QCOMPARE(inner->max(), 12.0);  // an infinite reading is no axis end

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
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->categoriesLabels().last(), QString::fromUtf8("101.0℃"));
    }

    void timeAxisAccumulatesOrScrolls()
    {
        auto c = makeChart();
        const qint64 start = clockMs;
        for (int i = 1; i <= 10; ++i)
            add(*c, 1000);
        QCOMPARE(tMax(*c), start + 10000);
        add(*c, 1000);  // the eleventh point moves the end
        QCOMPARE(tMin(*c), start);
        QCOMPARE(tMax(*c), clockMs + 1000);

        c = makeChart();
        c->setDisplayMode(RealTimeChart::Scrolling);
        add(*c, 12000);
        QCOMPARE(tMin(*c), clockMs - 9000);
        c->view()->setViewHeld(true);
        c->timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(clockMs - 60000),
                                QDateTime::fromMSecsSinceEpoch(clockMs - 50000));
        add(*c, 1000);  // a pan is undone at the next sample
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
        const QPointF middle = v->mapFromScene(c->chart()->mapToScene(c->chart()->plotArea().center()));
        for (int i = 0; i < 31; ++i)
            wheel(v, middle, 120);
        const qint64 zoomedMin = tMin(*c);
        QCOMPARE(tMax(*c) - zoomedMin, qint64(2000));
        QVERIFY(qAbs(zoomedMin + 1000 - (start + 60500)) <= 10000);  // about the pointer
        add(*c, 1000);
        QCOMPARE(tMin(*c), zoomedMin);  // held

        QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::NoModifier, middle.toPoint());
        QVERIFY(!c->viewHeld());
        wheel(v, middle, 120, Qt::ControlModifier);  // Ctrl-wheel only holds
        QVERIFY(c->viewHeld());
        QCOMPARE(tMin(*c), zoomedMin);
        QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::NoModifier, middle.toPoint());
        add(*c, 1000);  // released: the next sample spans the run again
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
        QCOMPARE(c->series(Curves::Voltage)->count(), 63);  // raw again: 61 inside, one each side
    }

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
        const int columns = 613;
        const SampleStore::Quantity volt[1] = {SampleStore::Voltage};
        QVector<QPointF> out[1];
        QVERIFY(CurveReduction::reduce(s, {from, to, columns, volt, 1}, out));
        const double per = (double(to - from) + 1.0) / columns;
        auto col = [&](double x) { return std::min(columns - 1, int((x - double(from)) / per)); };
        QVector<double> lo(columns, 1e30), hi(columns, -1e30), gotLo = lo, gotHi = hi;
        for (size_t i = s.lowerBound(from); i < s.size() && s.timeAt(i) <= to; ++i) {
            const float v = s.valueAt(SampleStore::Voltage, i);
            if (std::isfinite(v)) {
                lo[col(s.timeAt(i))] = std::min(lo[col(s.timeAt(i))], double(v));
                hi[col(s.timeAt(i))] = std::max(hi[col(s.timeAt(i))], double(v));
            }
        }
        for (const QPointF &p : out[0]) {
            QVERIFY(std::isfinite(p.y()));
            if (p.x() >= from && p.x() <= to) {
                gotLo[col(p.x())] = std::min(gotLo[col(p.x())], p.y());
                gotHi[col(p.x())] = std::max(gotHi[col(p.x())], p.y());
            }
        }
        QCOMPARE(gotLo, lo);
        QCOMPARE(gotHi, hi);
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
            QVERIFY(size.width() < 1000 || (p->width() >= w && p->height() >= h));  // every row shows
            QVERIFY(QRect(QPoint(0, 0), area.size()).contains(p->geometry()));
            p->okButton()->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY(!QFile::exists("usb-hid.ini"));  // nothing written until the user chooses
    }

    void chosenColoursAndWidthsAreKept()
    {
        Setting().write("IBUS_col", "ff1570a5");
        {
            auto c = makeChart(false);
            QWidget area;
            CurveSettingsPanel *p = c->showCurveSettings(&area);
            c->setColourPicker([](const QColor &, QWidget *) { return QColor(); });
            p->colourButton(Curves::Current)->click();  // cancelled
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
        connect(&panel, &customcoordinates::RangChang_signal, c.get(), &RealTimeChart::applyCustomRanges);
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
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 0.0);  // off: chart untouched
        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(panel.switchButton(Curves::Voltage)->text(), QString::fromUtf8("启用"));
        QCOMPARE(labels(c->valueAxis(Curves::LeftAxis)), expectedLabels(11.5, 12.5, "V"));
        feed(*c, 4, tester, 30.0f);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 12.5);  // holds

        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(labels(c->valueAxis(Curves::LeftAxis)), expectedLabels(0, 20, "V"));
        customcoordinates again;  // a later start reads them back
        QCOMPARE(again.minBox(Curves::Voltage)->text(), QString("11.50"));
        QVERIFY(!again.isOpen(Curves::Voltage));
    }
};

QTEST_MAIN(TestChart)
#include "test_chart.moc"
