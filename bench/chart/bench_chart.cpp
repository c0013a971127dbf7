// Cost of one sample of the real-time chart (the sample, the axes, the points
// and the repaint of a 1400 x 700 view) as the run grows, next to the plain
// approach of eight line series holding every point; and the heap a sample
// costs once the fixed heap (chart, series, the first storage chunk) is taken
// away: the growth from half the run to the whole run, per sample.
#include "realtimechart.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <malloc.h>

using namespace QtCharts;

namespace {

constexpr qint64 T0 = 1700000000000;
constexpr int ViewWidth = 1400;
constexpr int ViewHeight = 700;
constexpr qint64 Week = 604800;
constexpr double TargetMsAtWeek = 6.0;
constexpr double TargetBytesPerSample = 64.0;

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
    double bytesPerSample = 0; // growth from half the run to the whole, per sample
    double fixedKb = 0;        // what is left of the heap once that is taken away
};

double heapInUse()
{
    return double(mallinfo2().uordblks);
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Fills the store up to `to` samples, one a second.
void fill(SampleStore &store, qint64 from, qint64 to)
{
    for (qint64 i = from; i < to; ++i)
        store.append(T0 + i * 1000, discharge(i));
}

// What the window does each second: one sample (axes and points in one
// step), the coalesced redraw if one is still due, and the repaint.
void sampleAndPaint(RealTimeChart &chart, const SampleStore::Values &values)
{
    chart.addSample(values);
    if (chart.redrawPending())
        chart.redrawNow();
    (void)chart.view()->grab();
}

Cost benchChart(qint64 held, int samples)
{
    Cost cost;
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
    const double heap0 = heapInUse();
    // Half the run, drawn; then the whole run, drawn.
    fill(store, 0, held / 2);
    clock = T0 + (held / 2) * 1000;
    sampleAndPaint(chart, discharge(held / 2));
    const double heapHalf = heapInUse();
    const qint64 half = qint64(store.size());
    fill(store, half, held);
    clock = T0 + held * 1000;
    sampleAndPaint(chart, discharge(held));
    const double heapWhole = heapInUse();
    cost.bytesPerSample = (heapWhole - heapHalf) / double(qint64(store.size()) - half);
    cost.fixedKb = (heapWhole - heap0 - cost.bytesPerSample * double(store.size())) / 1024.0;

    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    for (int k = 0; k < samples; ++k) {
        clock += 1000;
        sampleAndPaint(chart, discharge(held + 1 + k));
    }
    cost.wallMs = double(t.nsecsElapsed()) / 1e6 / samples;
    cost.cpuMs = (threadCpuMs() - cpu) / samples;
    return cost;
}

// The plain way: eight line series holding every point, three of them drawn,
// the time axis spanning the run.
struct PlainChart
{
    explicit PlainChart(qint64 held)
    {
        chart = new QChart;
        chart->addAxis(time, Qt::AlignBottom);
        chart->addAxis(value, Qt::AlignLeft);
        value->setRange(0, 20);
        for (int c = 0; c < 8; ++c) {
            series[c] = new QLineSeries(chart);
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
        time->setRange(double(T0), double(T0 + held * 1000));
        view = new QChartView(chart);
        view->setRenderHint(QPainter::Antialiasing, true);
        view->resize(ViewWidth, ViewHeight);
        view->show();
        settle();
        (void)view->grab();
    }
    ~PlainChart() { delete view; }
    void sample(qint64 i)
    {
        for (int c = 0; c < 8; ++c)
            series[c]->append(QPointF(double(T0 + i * 1000), double(discharge(i)[size_t(c)])));
        time->setRange(double(T0), double(T0 + (i + 1) * 1000));
        (void)view->grab();
    }
    QChart *chart;
    QValueAxis *time = new QValueAxis;
    QValueAxis *value = new QValueAxis;
    QLineSeries *series[8];
    QChartView *view;
};

Cost benchPlain(qint64 held, int samples)
{
    Cost cost;
    const double heap0 = heapInUse();
    double heapHalf = 0, heapWhole = 0;
    {
        PlainChart half(held / 2);
        heapHalf = heapInUse();
    }
    PlainChart whole(held);
    heapWhole = heapInUse();
    cost.bytesPerSample = (heapWhole - heapHalf) / double(held - held / 2);
    cost.fixedKb = (heapWhole - heap0 - cost.bytesPerSample * double(held)) / 1024.0;
    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    for (int k = 0; k < samples; ++k)
        whole.sample(held + k);
    cost.wallMs = double(t.nsecsElapsed()) / 1e6 / samples;
    cost.cpuMs = (threadCpuMs() - cpu) / samples;
    return cost;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    QTemporaryDir dir; // the chart reads its settings from the working directory
    QDir::setCurrent(dir.path());

    std::printf("one sample = the sample, axes and points, repaint of a %dx%d view (offscreen)\n",
                ViewWidth, ViewHeight);
    std::printf("%-8s %18s %18s %14s %14s\n", "samples", "chart ms wall/cpu", "plain ms wall/cpu",
                "chart B/sample", "plain B/sample");
    // Sizes may be given on the command line; "noplain" leaves the baseline out.
    QList<qint64> sizes;
    bool plainToo = true;
    for (const QString &a : app.arguments().mid(1)) {
        if (a == QLatin1String("noplain"))
            plainToo = false;
        else if (a.toLongLong() > 1)
            sizes << a.toLongLong();
    }
    if (sizes.isEmpty())
        sizes = {1000, 86400, Week};
    Cost atWeek, plainAtWeek;
    for (qint64 n : qAsConst(sizes)) {
        const Cost ours = benchChart(n, 30);
        const Cost plain = plainToo ? benchPlain(n, n > 100000 ? 2 : n > 1000 ? 3 : 10) : Cost();
        char mine[32], theirs[32];
        std::snprintf(mine, sizeof mine, "%.1f / %.1f", ours.wallMs, ours.cpuMs);
        std::snprintf(theirs, sizeof theirs, "%.1f / %.1f", plain.wallMs, plain.cpuMs);
        // Within the first storage chunks the growth says nothing per sample.
        char myBytes[24] = "-", theirBytes[24] = "-";
        if (n >= 20 * qint64(SampleStore::ChunkSize)) {
            std::snprintf(myBytes, sizeof myBytes, "%.1f", ours.bytesPerSample);
            std::snprintf(theirBytes, sizeof theirBytes, "%.1f", plain.bytesPerSample);
        }
        std::printf("%-8lld %18s %18s %14s %14s\n", static_cast<long long>(n), mine, theirs,
                    myBytes, theirBytes);
        std::fflush(stdout);
        if (n == Week) {
            atWeek = ours;
            plainAtWeek = plain;
        }
    }
    std::printf("plain: eight QLineSeries holding every point, three drawn (the baseline)\n");
    std::printf("B/sample: heap growth from half the run to the whole, per sample (chart + "
                "record); fixed heap left out: chart %.0f KB, plain %.0f KB at %lld samples\n",
                atWeek.fixedKb, plainAtWeek.fixedKb, static_cast<long long>(Week));
    const bool timeMet = atWeek.cpuMs <= TargetMsAtWeek;
    const bool memoryMet = atWeek.bytesPerSample <= TargetBytesPerSample;
    std::printf("target: <= %.0f ms per sample at %lld samples (cpu): %s (%.1f ms, plain %.0f "
                "ms)\n",
                TargetMsAtWeek, static_cast<long long>(Week), timeMet ? "met" : "MISSED",
                atWeek.cpuMs, plainAtWeek.cpuMs);
    std::printf("target: <= %.0f bytes per sample (chart + record): %s (%.1f B, plain %.0f B)\n",
                TargetBytesPerSample, memoryMet ? "met" : "MISSED", atWeek.bytesPerSample,
                plainAtWeek.bytesPerSample);
    return 0;
}
