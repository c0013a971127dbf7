// Export of a week of once-a-second samples, next to the same rows written
// the plain way (QTextStream and QString::number per field) in the same run.
#include "samplestore.h"
#include "savedatadeal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr int Rows = 604800;
constexpr double TargetSeconds = 2.0;

void fill(SampleStore &store)
{
    const qint64 start = QDateTime(QDate(2024, 3, 5), QTime(0, 0, 0)).toMSecsSinceEpoch();
    for (int i = 0; i < Rows; ++i) {
        const float t = float(i) / Rows;
        store.append(start + qint64(i) * 1000,
                     {4.2f - 1.2f * t, 1.0f + 0.0001f * float(i % 97), 4.0f - t, 4.2f / (1.0f + t),
                      3.7f * t * 168, 1000.0f * t * 168, 30.0f + 10 * t, float(1500 + i % 300),
                      36.0f + float(i % 50) / 10, 25.0f + 5 * t});
    }
}

// The straightforward writer the fast one is measured against.
bool writePlain(const SampleStore &store, const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    QTextStream out(&f);
    out.setCodec("UTF-8");
    for (const QString &l : saveDataDeal::bannerLines(1))
        out << l << '\n';
    out << saveDataDeal::headerLine() << '\n';
    const SampleStore::Quantity order[] = {
        SampleStore::Voltage, SampleStore::Current,  SampleStore::Power,   SampleStore::Resistance,
        SampleStore::Energy,  SampleStore::Capacity, SampleStore::NtcTemp, SampleStore::CpuTemp,
        SampleStore::MosTemp, SampleStore::FanSpeed};
    const int decimals[] = {6, 6, 6, 3, 3, 3, 3, 1, 3, 0};
    for (size_t i = 0; i < store.size(); ++i) {
        out << store.timeTextAt(i);
        for (int c = 0; c < 10; ++c)
            out << ',' << QString::number(double(store.valueAt(order[c], i)), 'f', decimals[c]);
        out << '\n';
    }
    out.flush();
    return f.error() == QFileDevice::NoError;
}

double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    SampleStore store;
    fill(store);

    QElapsedTimer t;
    t.start();
    saveDataDeal deal;
    const bool ok = deal.writeCsv(store, dir.filePath("fast.csv"), 1);
    const double fast = seconds(t);
    if (!ok) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(deal.errorString()));
        return 1;
    }

    t.restart();
    if (!writePlain(store, dir.filePath("plain.csv")))
        return 1;
    const double plain = seconds(t);

    QFile a(dir.filePath("fast.csv")), b(dir.filePath("plain.csv"));
    const bool same =
        a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll();

    std::printf("csv export of %d rows (%.1f MB)\n", Rows,
                double(QFile(a.fileName()).size()) / 1e6);
    std::printf("  saveDataDeal::writeCsv        %7.3f s\n", fast);
    std::printf("  QTextStream + QString::number %7.3f s  (baseline, %.1fx slower)\n", plain,
                fast > 0 ? plain / fast : 0.0);
    std::printf("  files identical: %s\n", same ? "yes" : "NO");
    std::printf("  target <= %.1f s: %s\n", TargetSeconds,
                fast <= TargetSeconds ? "met" : "MISSED");
    return same ? 0 : 1;
}
