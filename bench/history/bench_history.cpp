// A week of once-a-second samples through the history: what appending costs
// the thread that takes the samples, the size on disk, opening the run again
// (read back and drawn in the chart) and exporting it, each against its
// target, with the plain way (one transaction a sample, synced) as baseline.
#include "historywriter.h"
#include "realtimechart.h"
#include "runstore.h"
#include "savedatadeal.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Week = 604800;
constexpr int BaselineSamples = 2000;
constexpr double AppendTargetMs = 1.0, OpenTargetS = 1.5, ExportTargetS = 2.0, SizeTarget = 100;

SampleStore::Values sample(int i)
{
    const float t = float(i) / Week;
    return {4.2f - 1.2f * t,
            1.0f + 0.0001f * float(i % 97),
            4.0f - t,
            4.2f / (1.0f + t),
            3.7f * t * 168,
            1000.0f * t * 168,
            30.0f + 10 * t,
            float(1500 + i % 300),
            36.0f + float(i % 50) / 10,
            25.0f + 5 * t};
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("history.sqlite"));
    const qint64 start = QDateTime(QDate(2024, 3, 5), QTime(0, 0, 0)).toMSecsSinceEpoch();

    // Appending, as the window's thread does it once a second.
    std::vector<double> costs;
    costs.reserve(Week);
    QElapsedTimer total;
    total.start();
    {
        HistoryWriter w;
        w.open(db);
        RunInfo info;
        info.startedMs = start;
        info.deviceClass = 1;
        w.beginRun(info);
        QElapsedTimer one;
        for (int i = 0; i < Week; ++i) {
            one.start();
            w.addSample(start + 1000LL * i, sample(i));
            costs.push_back(double(one.nsecsElapsed()) / 1e6);
        }
        w.endRun(QString::fromLatin1(EndReason::CutOff));
        w.flush();
    }
    const double writeS = seconds(total);
    std::sort(costs.begin(), costs.end());
    const double worstMs = costs.back();
    const double p9999 = costs[size_t(double(costs.size()) * 0.9999)];
    // The same timing around nothing: what the machine alone adds (preemption).
    std::vector<double> idle;
    idle.reserve(Week);
    {
        QElapsedTimer one;
        for (int i = 0; i < Week; ++i) {
            one.start();
            idle.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(idle.begin(), idle.end());

    // The plain way: a transaction a sample, waiting for the disk each time.
    double plainMs = 0;
    {
        RunStore plain;
        plain.open(dir.filePath(QStringLiteral("plain.sqlite")));
        plain.setSynced(true);
        RunInfo info;
        const qint64 id = plain.beginRun(info);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < BaselineSamples; ++i)
            plain.append(id, {{start + 1000LL * i, sample(i)}}, RunSummary());
        plainMs = double(t.nsecsElapsed()) / 1e6 / BaselineSamples;
    }

    RunStore store;
    store.open(db);
    store.closeAbandonedRuns();
    const qint64 id = store.runs().value(0).id;
    // Size on disk once the log is folded in.
    RunStore checkpoint;
    checkpoint.open(db);
    checkpoint.close();
    const double perSample = double(QFileInfo(db).size() + QFileInfo(db + "-wal").size()) / Week;

    // Opening the run: read back and drawn.
    QElapsedTimer open;
    open.start();
    SampleStore back;
    store.loadSamples(id, &back);
    const double readS = seconds(open);
    RealTimeChart chart(&back);
    chart.view()->resize(1200, 700);
    chart.view()->show();
    chart.showStoredRun(); // as the history page opens a run
    chart.view()->repaint();
    const double openS = seconds(open);

    QElapsedTimer exportTimer;
    exportTimer.start();
    saveDataDeal writer;
    writer.writeCsv(back, dir.filePath(QStringLiteral("week.csv")), 1);
    const double exportS = seconds(exportTimer);

    std::printf("history, a week of samples (%d) in one run\n", Week);
    std::printf(
        "  append on the sampling thread: 99.99%% of samples within %.4f ms (target <= %.1f ms:"
        " %s), worst %.2f ms (timing nothing, the machine's worst: %.2f ms);"
        " baseline, a synced transaction a sample: %.2f ms\n",
        p9999, AppendTargetMs, verdict(p9999 <= AppendTargetMs), worstMs, idle.back(), plainMs);
    std::printf("  stored by the writer thread in %.1f s\n", writeS);
    std::printf("  size on disk: %.1f B a sample (target <= %.0f: %s)\n", perSample, SizeTarget,
                verdict(perSample <= SizeTarget));
    std::printf("  open in the chart: %.2f s, of which reading %.2f s (target <= %.1f s: %s)\n",
                openS, readS, OpenTargetS, verdict(openS <= OpenTargetS));
    std::printf("  export to CSV: %.2f s (target <= %.1f s: %s)\n", exportS, ExportTargetS,
                verdict(exportS <= ExportTargetS));
    return back.size() == size_t(Week) ? 0 : 1;
}
