// A constant-current discharge of the simulated battery recorded by the
// window, exported through the chart menu, and checked against what the
// simulator itself reported.
#include "chartmenu.h"
#include "commandframe.h"
#include "curvesettingspanel.h"
#include "customcoordinates.h"
#include "realtimechart.h"
#include "setting.h"
#include "windowrig.h"

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <cmath>

namespace {

constexpr int Samples = 15;

// Fields of one CSV row in the order of the file: date, V, A, W, Ω, Wh, mAh,
// NTC, CPU, MOS, fan.
struct Row
{
    QString date;
    double v[10];
};

Row parseRow(const QString &line)
{
    Row row{};
    const QStringList f = line.split(QLatin1Char(','));
    if (f.size() != 11)
        qFatal("row with %d fields: %s", int(f.size()), qPrintable(line));
    row.date = f[0];
    for (int i = 0; i < 10; ++i) {
        bool ok = false;
        row.v[i] = f[i + 1].toDouble(&ok);
        if (!ok)
            qFatal("not a number: %s", qPrintable(f[i + 1]));
    }
    return row;
}

// The simulator's values in the file's column order, as its report carries
// them (whole thousandths).
QVector<double> columns(const SimReports::Readings &r)
{
    const auto milli = [](double x) { return std::round(x * 1000.0) / 1000.0; };
    return {milli(r.voltage), milli(r.current),  milli(r.power),   milli(r.resistance),
            milli(r.energy),  milli(r.capacity), milli(r.ntcTemp), milli(r.cpuTemp),
            milli(r.mosTemp), milli(r.fan)};
}

} // namespace

class TestWindowExport : public QObject
{
    Q_OBJECT

private slots:
    void constantCurrentRunExported()
    {
        WindowRig rig;
        MainDialog &w = rig.open();
        QVERIFY(rig.waitForList(4000));

        // The no-load offset zeroed, constant current from the home menu, 1 A, run.
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.findChild<QPushButton *>(QStringLiteral("settings_btn_clearcurrent"))->click();
        QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("tbtn3")), Qt::LeftButton);
        QCOMPARE(w.currentPage(), int(MainDialog::PageDisp));
        auto *value = w.findChild<QLineEdit *>(QStringLiteral("lineEdit_value"));
        value->setFocus();
        QVERIFY(value->hasFocus());
        value->clear();
        QTest::keyClicks(value, QStringLiteral("1"));
        QTest::keyClick(value, Qt::Key_Return);
        // The instrument as the read tick last saw it, before the run.
        QVERIFY(rig.exchange());
        QVERIFY(rig.exchange());
        QList<SimReports::Readings> reported = {rig.readings(1)};
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("disp_Btn_Run")),
                          Qt::LeftButton);
        QTRY_VERIFY(rig.readings(1).running);
        SimReports::Parameters set;
        rig.server->withInstrument([&](SimInstrument &i) { set = i.node(1)->parameters(); });
        QCOMPARE(set.setValue, 1.0f);
        QCOMPARE(int(set.workMode), 0);

        // Each second: the measurement request (odd tick, which also samples
        // the record the previous one brought, so the first sample is the
        // reading from before the start) and the parameter request.
        const SampleStore &store = w.sampleStore();
        for (int second = 0; second < 40 && int(store.size()) < Samples; ++second) {
            rig.server->advanceClock(1000);
            QVERIFY(rig.exchange());
            reported.append(rig.readings(1));
            QVERIFY(rig.exchange());
            if (store.size() == 9) {
                w.onAct1Clicked_Slot();
                QCOMPARE(rig.boxes.size(), 1);
                QCOMPARE(rig.boxes.first().title, QStringLiteral("提示信息"));
            }
        }
        QCOMPARE(int(store.size()), Samples);
        w.realTimeChart()->redrawNow();
        QCOMPARE(w.realTimeChart()->series(Curves::Voltage)->count(), Samples);

        // Through the chart menu's entry, into a file of our choosing.
        const QString file = rig.dir.filePath(QStringLiteral("run.csv"));
        w.dataExport()->setSaveFileDialog(
            [&](QWidget *, const QString &, const QString &, const QString &) { return file; });
        emit w.chartMenu()->exportDataRequested();
        QCOMPARE(rig.boxes.size(), 1);
        QCOMPARE(Setting().read(QStringLiteral("save_path")), rig.dir.path());

        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
        for (int i = 0; i < Samples; ++i) {
            const Row row = parseRow(lines[4 + i]);
            QVERIFY2(date.match(row.date).hasMatch(), qPrintable(row.date));
            const QVector<double> sim = columns(reported.at(i));
            for (int c = 0; c < 10; ++c)
                QVERIFY2(qAbs(row.v[c] - sim[c]) <= tolerance[c] + 1e-6,
                         qPrintable(QStringLiteral("row %1 column %2: %3, simulator %4")
                                        .arg(i)
                                        .arg(c + 1)
                                        .arg(row.v[c])
                                        .arg(sim[c])));
            if (i == 0) {
                QCOMPARE(row.v[1], 0.0);
                continue;
            }
            // 1 A drawn from the battery: 1000 mAh an hour, a thousandth of it every 3.6 s.
            QCOMPARE(row.v[1], 1.0);
            if (i > 1) {
                const Row prev = parseRow(lines[3 + i]);
                QVERIFY(qAbs(row.v[5] - prev.v[5] - 1.0 / 3.6) < 0.0025);
                QVERIFY(row.v[0] <= prev.v[0]);
            }
        }

        // The chart as a picture; a name without a suffix becomes a .png.
        const QString picture = rig.dir.filePath(QStringLiteral("chart"));
        w.chartMenu()->setSaveFileDialog(
            [&](QWidget *, const QString &, const QString &, const QString &) { return picture; });
        emit w.chartMenu()->exportImageRequested();
        const QImage image(picture + QStringLiteral(".png"));
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), w.realTimeChart()->view()->size());
        QCOMPARE(rig.boxes.size(), 1);
    }

    // The readings page's chart buttons and the chart menu's other entries
    // reach the chart.
    void chartControlsReachTheChart()
    {
        WindowRig rig;
        MainDialog &w = rig.open();
        w.setCurrentPage(MainDialog::PageDisp);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        RealTimeChart *chart = w.realTimeChart();
        QCOMPARE(chart->view()->parentWidget()->objectName(), QStringLiteral("disp_frame_chart"));

        const auto click = [&w](const char *name) {
            QTest::mouseClick(w.findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
        };
        click("disp_btn_dp_dm");
        QCOMPARE(chart->shownGroup(), Curves::EnergyGroup);
        click("disp_btn_cc1_cc2");
        QCOMPARE(chart->shownGroup(), Curves::TemperatureGroup);
        click("disp_btn_temp");
        QCOMPARE(chart->shownGroup(), Curves::MosGroup);
        click("disp_btn_temp");
        QCOMPARE(chart->shownGroup(), Curves::Standard);

        // The custom range panel opens over the chart and closes again.
        auto *ranges = w.findChild<customcoordinates *>();
        QVERIFY(ranges && !ranges->isVisible());
        click("disp_btn_RangCustom");
        QVERIFY(ranges->isVisible());
        click("disp_btn_RangCustom");
        QVERIFY(!ranges->isVisible());

        emit w.chartMenu()->displayModeChanged(ChartMenu::ScrollingDisplay);
        QCOMPARE(chart->displayMode(), int(RealTimeChart::Scrolling));
        emit w.chartMenu()->displayModeChanged(ChartMenu::AccumulatingDisplay);
        QCOMPARE(chart->displayMode(), int(RealTimeChart::Accumulating));
        emit w.chartMenu()->curveSettingsRequested();
        auto *panel = w.findChild<CurveSettingsPanel *>();
        QVERIFY(panel && panel->isVisible());
    }
};

QTEST_MAIN(TestWindowExport)
#include "test_window_export.moc"
