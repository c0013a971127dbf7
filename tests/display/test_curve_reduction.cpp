#include "curvereduction.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const SampleStore::Quantity volt[1] = {SampleStore::Voltage};

SampleStore::Values values(float v, float i = 0)
{
    SampleStore::Values x{};
    x[SampleStore::Voltage] = v;
    x[SampleStore::Current] = i;
    return x;
}

CurveReduction::Request window(qint64 from, qint64 to, int columns,
                               const SampleStore::Quantity *q = volt, int n = 1)
{
    CurveReduction::Request r;
    r.fromMs = from;
    r.toMs = to;
    r.columns = columns;
    r.quantities = q;
    r.quantityCount = n;
    return r;
}

} // namespace

class TestCurveReduction : public QObject
{
    Q_OBJECT
private slots:
    void fewSamplesStayAsTheyAre()
    {
        SampleStore s;
        for (int i = 0; i < 20; ++i)
            s.append(i * 1000, values(float(i)));
        QVector<QPointF> out[1];
        QVERIFY(!CurveReduction::reduce(s, window(5000, 9000, 100), out));
        // The window's five and one neighbour on each side.
        QCOMPARE(out[0].size(), 7);
        QCOMPARE(out[0].first(), QPointF(4000, 4));
        QCOMPARE(out[0].last(), QPointF(10000, 10));
        QCOMPARE(CurveReduction::countInWindow(s, 5000, 9000), size_t(5));
    }

    void everySpikeOfAMillionSurvivesInBothDirections()
    {
        SampleStore s;
        const int n = 1000000;
        for (int i = 0; i < n; ++i) {
            float v = 5.0f;
            if (i == 123457)
                v = 100.0f;
            if (i == 876543)
                v = -3.0f;
            s.append(qint64(i) * 1000, values(v));
        }
        QVector<QPointF> out[1];
        QVERIFY(CurveReduction::reduce(s, window(0, qint64(n) * 1000, 1400), out));
        QVERIFY(out[0].size() <= 2 * 1400 + 2);
        double top = -1e9, bottom = 1e9;
        for (const QPointF &p : out[0]) {
            top = std::max(top, p.y());
            bottom = std::min(bottom, p.y());
        }
        QCOMPARE(top, 100.0);
        QCOMPARE(bottom, -3.0);
        // The spike sits at its own time, not at a column edge.
        bool found = false;
        for (const QPointF &p : out[0])
            found |= p.y() == 100.0 && p.x() == 123457000.0;
        QVERIFY(found);
        // Time order is kept, so the line never runs backwards.
        for (int i = 1; i < out[0].size(); ++i)
            QVERIFY(out[0][i].x() >= out[0][i - 1].x());
    }

    void blockSummariesGiveWhatAFullScanGives()
    {
        SampleStore s;
        quint32 seed = 12345;
        auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
        qint64 t = 0;
        for (int i = 0; i < 300000; ++i) {
            t += 500 + qint64(next() % 1500);  // irregular spacing, as a busy link gives
            const float v = float(next() % 100000) / 1000.0f;
            s.append(t, values(i % 9973 == 0 ? std::numeric_limits<float>::quiet_NaN() : v));
        }
        const qint64 from = 7777777, to = t - 5555555;
        const int columns = 613;
        QVector<QPointF> out[1];
        QVERIFY(CurveReduction::reduce(s, window(from, to, columns), out));

        const double per = (double(to - from) + 1.0) / columns;
        auto columnOf = [&](double x) { return std::min(columns - 1, int((x - double(from)) / per)); };
        QVector<double> lo(columns, 1e30), hi(columns, -1e30);
        for (size_t i = s.lowerBound(from); i < s.size() && s.timeAt(i) <= to; ++i) {
            const float v = s.valueAt(SampleStore::Voltage, i);
            if (!std::isfinite(v))
                continue;
            const int c = columnOf(double(s.timeAt(i)));
            lo[c] = std::min(lo[c], double(v));
            hi[c] = std::max(hi[c], double(v));
        }
        QVector<double> gotLo(columns, 1e30), gotHi(columns, -1e30);
        for (const QPointF &p : out[0]) {
            if (p.x() < from || p.x() > to)
                continue;  // the neighbours beyond the window
            const int c = columnOf(p.x());
            gotLo[c] = std::min(gotLo[c], p.y());
            gotHi[c] = std::max(gotHi[c], p.y());
        }
        QCOMPARE(gotLo, lo);
        QCOMPARE(gotHi, hi);
    }

    void columnsKeepTheOrderOfTheirExtremes()
    {
        SampleStore s;
        // Falling then rising within one column: the low comes first.
        for (int i = 0; i < 100; ++i)
            s.append(i, values(i < 50 ? float(50 - i) : float(i - 50), float(i)));
        const SampleStore::Quantity both[2] = {SampleStore::Voltage, SampleStore::Current};
        QVector<QPointF> out[2];
        QVERIFY(CurveReduction::reduce(s, window(0, 99, 1, both, 2), out));
        QCOMPARE(out[0].size(), 2);
        QCOMPARE(out[0][0], QPointF(0, 50));  // the highest is the first sample
        QCOMPARE(out[0][1], QPointF(50, 0));
        QCOMPARE(out[1][0], QPointF(0, 0));
        QCOMPARE(out[1][1], QPointF(99, 99));
    }

    void unreadableValuesAreLeftOut()
    {
        SampleStore s;
        for (int i = 0; i < 3000; ++i) {
            float v = float(i % 10);
            if (i % 3 == 0)
                v = std::numeric_limits<float>::quiet_NaN();
            s.append(i * 10, values(v));
        }
        QVector<QPointF> out[1];
        QVERIFY(CurveReduction::reduce(s, window(0, 30000, 100), out));
        for (const QPointF &p : out[0])
            QVERIFY(std::isfinite(p.y()));
        QVERIFY(!CurveReduction::reduce(s, window(0, 100, 100), out));
        QCOMPARE(out[0].size(), 8);  // 11 samples in the window and one after, 4 of them NaN
    }

    void emptyStoreAndWindowsOutsideTheRun()
    {
        SampleStore s;
        QVector<QPointF> out[1];
        QVERIFY(!CurveReduction::reduce(s, window(0, 1000, 10), out));
        QVERIFY(out[0].isEmpty());
        for (int i = 0; i < 10; ++i)
            s.append(1000 + i, values(1));
        // Before the run: only the first sample, as the neighbour on the right.
        QVERIFY(!CurveReduction::reduce(s, window(0, 500, 10), out));
        QCOMPARE(out[0].size(), 1);
        QVERIFY(!CurveReduction::reduce(s, window(5000, 6000, 10), out));
        QCOMPARE(out[0].size(), 1);
    }

    void storeSurvivesClearAndChunkEdges()
    {
        SampleStore s;
        const size_t n = SampleStore::ChunkSize * 2 + 5;
        for (size_t i = 0; i < n; ++i)
            s.append(qint64(i), values(float(i)));
        QCOMPARE(s.size(), n);
        QCOMPARE(s.valueAt(SampleStore::Voltage, SampleStore::ChunkSize), float(SampleStore::ChunkSize));
        QCOMPARE(s.chunkCount(), size_t(3));
        QCOMPARE(s.chunkLength(2), size_t(5));
        QVERIFY(s.memoryBytes() >= n * 48);
        s.clear();
        QCOMPARE(s.size(), size_t(0));
        QCOMPARE(s.memoryBytes(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestCurveReduction)
#include "test_curve_reduction.moc"
