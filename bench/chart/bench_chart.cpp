// Cost of one sample of the real-time chart (append, rescale, redraw of a
// 1400 x 700 view) as the run grows, next to the plain approach of eight
// spline series holding every point; and the memory a sample costs.
#include "realtimechart.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>

#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <ctime>

using namespace QtCharts;

namespace {

constexpr qint64 T0 = 1700000000000;
constexpr int ViewWidth = 1400;
constexpr int ViewHeight = 700;

SampleStore::Values discharge(qint64 i)
{
    SampleStore::Values v{};
    const float soc = 1.0f - float(i % 700000) / 800000.0f;
    v[SampleStore::Voltage] = 3.2f + soc + 0.01f * float(i % 7);
    v[SampleStore::Current] = 2.0f + 0.002f * float(i % 11);
    v[SampleStore::Power] = v[SampleStore::Voltage] * v[SampleStore::Current];
    v[SampleStore::Energy] = float(i) / 3600.0f * 7.0f;
    v[SampleStore::Capacity] = float(i) / 3.6f * 2.0f;
    v[SampleStore::CpuTemp] = 35;
    v[SampleStore::NtcTemp] = 28;
    v[SampleStore::MosTemp] = 45;
    return v;
}

// CPU time of this thread: on a shared machine it says more than the wall clock.
double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Cost
{
    double wallMs = 0;
    double cpuMs = 0;
};

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Cost per sample, over `samples` samples after `held` are held; the heap
// the run adds to the built chart, per sample.
Cost benchChart(qint64 held, int samples, double *bytesPerSample)
{
    qint64 clock = T0;
    SampleStore store;
    RealTimeChart chart(&store);
    chart.setClock([&clock] { return clock; });
    chart.view()->resize(ViewWidth, ViewHeight);
    chart.view()->show();
    settle();
    chart.connected();
    chart.redrawNow();
    (void)chart.view()->grab();
    const size_t heapBefore = heapInUse();
    for (qint64 i = 0; i < held; ++i)
        store.append(T0 + i * 1000, discharge(i));
    clock = T0 + held * 1000;
    chart.addSample(discharge(held));
    chart.redrawNow();
    (void)chart.view()->grab();
    *bytesPerSample = (double(heapInUse()) - double(heapBefore)) / double(store.size());

    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    for (int k = 0; k < samples; ++k) {
        clock += 1000;
        chart.addSample(discharge(held + k));
        chart.redrawNow();
        (void)chart.view()->grab();
    }
    return {double(t.nsecsElapsed()) / 1e6 / samples, (threadCpuMs() - cpu) / samples};
}

// Eight spline series holding every point, three of them drawn.
Cost benchSplines(qint64 held, int samples)
{
    auto *chart = new QChart;
    auto *time = new QValueAxis;
    auto *value = new QValueAxis;
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    value->setRange(0, 20);
    QSplineSeries *series[8];
    for (int c = 0; c < 8; ++c) {
        series[c] = new QSplineSeries(chart);
        QVector<QPointF> pts;
        pts.reserve(int(held));
        for (qint64 i = 0; i < held; ++i)
            pts.append(QPointF(double(T0 + i * 1000), double(discharge(i)[size_t(c)])));
        series[c]->replace(pts);
        if (c < 3) {
            chart->addSeries(series[c]);
            series[c]->attachAxis(time);
            series[c]->attachAxis(value);
        }
    }
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing, true);
    view.resize(ViewWidth, ViewHeight);
    view.show();
    settle();
    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    for (int k = 0; k < samples; ++k) {
        const qint64 i = held + k;
        for (int c = 0; c < 8; ++c)
            series[c]->append(QPointF(double(T0 + i * 1000), double(discharge(i)[size_t(c)])));
        time->setRange(double(T0), double(T0 + (i + 1) * 1000));
        (void)view.grab();
    }
    return {double(t.nsecsElapsed()) / 1e6 / samples, (threadCpuMs() - cpu) / samples};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    QTemporaryDir dir;  // the chart reads its settings from the working directory
    QDir::setCurrent(dir.path());

    std::printf("one sample = eight appends, rescale, repaint of a %dx%d view (offscreen)\n",
                ViewWidth, ViewHeight);
    std::printf("%-8s %22s %26s %16s\n", "samples", "chart ms wall/cpu",
                "baseline ms wall/cpu", "chart+record B");
    const qint64 sizes[3] = {1000, 86400, 604800};
    for (qint64 n : sizes) {
        double bytes = 0;
        const Cost ours = benchChart(n, 10, &bytes);
        char baseline[48] = "-";
        if (n <= 86400) {
            const Cost b = benchSplines(n, n > 1000 ? 2 : 10);
            std::snprintf(baseline, sizeof baseline, "%.1f / %.1f", b.wallMs, b.cpuMs);
        }
        char mine[48];
        std::snprintf(mine, sizeof mine, "%.1f / %.1f", ours.wallMs, ours.cpuMs);
        std::printf("%-8lld %22s %26s %16.1f\n", static_cast<long long>(n), mine, baseline, bytes);
        std::fflush(stdout);
    }
    std::printf("baseline: eight spline series holding every point (the plain way)\n");
    std::printf("chart+record B: heap the run adds per sample (store, summaries, series)\n");
    std::printf("targets: <= 20 ms per sample at 604800, <= 64 bytes per sample (chart + record)\n");
    return 0;
}
