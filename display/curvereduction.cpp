#include "curvereduction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace CurveReduction {

namespace {

constexpr int MaxQuantities = SampleStore::QuantityCount;

void appendFinite(QVector<QPointF> &out, qint64 t, float v)
{
    if (std::isfinite(v))
        out.append(QPointF(double(t), double(v)));
}

// A break marker, unless the curve has nothing yet or already ends in one.
void appendBreak(QVector<QPointF> &out, qint64 t)
{
    if (!out.isEmpty() && !isBreak(out.last()))
        out.append(QPointF(double(t), std::numeric_limits<double>::quiet_NaN()));
}

// Walks the sorted break indices alongside the samples.
struct Breaks
{
    const size_t *next;
    const size_t *end;

    Breaks(const Request &r, size_t from)
        : next(r.breaks ? std::lower_bound(r.breaks, r.breaks + r.breakCount, from) : nullptr),
          end(r.breaks ? r.breaks + r.breakCount : nullptr)
    {
    }
    // True once for a break right before sample i.
    bool at(size_t i)
    {
        while (next != end && *next < i)
            ++next;
        if (next != end && *next == i) {
            ++next;
            return true;
        }
        return false;
    }
    // No break before any sample in (i, i + n).
    bool noneWithin(size_t i, size_t n) const
    {
        const size_t *b = next;
        while (b != end && *b <= i)
            ++b;
        return b == end || *b >= i + n;
    }
};

void appendRaw(const SampleStore &store, const Request &r, size_t from, size_t to,
               QVector<QPointF> *out)
{
    for (int q = 0; q < r.quantityCount; ++q) {
        out[q].reserve(out[q].size() + int(to - from));
        Breaks breaks(r, from);
        for (size_t i = from; i < to; ++i) {
            if (breaks.at(i))
                appendBreak(out[q], store.timeAt(i));
            appendFinite(out[q], store.timeAt(i), store.valueAt(r.quantities[q], i));
        }
    }
}

struct Column
{
    float minV, maxV;
    size_t minI, maxI; // times are looked up once, when the column is flushed
    bool any;
};

void resetColumns(Column *cols, int n)
{
    for (int q = 0; q < n; ++q)
        cols[q].any = false;
}

void flushColumns(const SampleStore &store, Column *cols, int n, QVector<QPointF> *out)
{
    for (int q = 0; q < n; ++q) {
        const Column &c = cols[q];
        if (!c.any)
            continue;
        const QPointF lowest(double(store.timeAt(c.minI)), double(c.minV));
        // Keep the two extremes in the order they happened so the line runs
        // through them as the signal did.
        if (c.minI == c.maxI) {
            out[q].append(lowest);
            continue;
        }
        const QPointF highest(double(store.timeAt(c.maxI)), double(c.maxV));
        out[q].append(c.minI < c.maxI ? lowest : highest);
        out[q].append(c.minI < c.maxI ? highest : lowest);
    }
}

} // namespace

bool isBreak(const QPointF &point)
{
    return std::isnan(point.y());
}

size_t countInWindow(const SampleStore &store, qint64 fromMs, qint64 toMs)
{
    if (toMs < fromMs)
        return 0;
    const size_t a = store.lowerBound(fromMs);
    const size_t b =
        toMs == std::numeric_limits<qint64>::max() ? store.size() : store.lowerBound(toMs + 1);
    return b - a;
}

bool reduce(const SampleStore &store, const Request &r, QVector<QPointF> *out)
{
    const int nq = std::min(r.quantityCount, MaxQuantities);
    for (int q = 0; q < nq; ++q)
        out[q].clear();
    if (store.isEmpty() || nq <= 0 || r.toMs < r.fromMs)
        return false;

    const size_t a = store.lowerBound(r.fromMs);
    const size_t b = store.lowerBound(r.toMs + 1);
    const size_t before = a > 0 ? a - 1 : a;
    const size_t after = b < store.size() ? b + 1 : b;
    const int columns = std::max(1, r.columns);

    if (b - a <= size_t(columns)) {
        appendRaw(store, r, before, after, out);
        return false;
    }

    for (int q = 0; q < nq; ++q)
        out[q].reserve(2 * columns + 2);
    appendRaw(store, r, before, a, out);

    const double span = double(r.toMs - r.fromMs) + 1.0;
    const double perColumn = span / columns;
    int col = 0;
    double colEnd = double(r.fromMs) + perColumn;
    Column cols[MaxQuantities];
    resetColumns(cols, nq);

    auto take = [&cols](int q, float v, size_t i) {
        Column &c = cols[q];
        if (!c.any) {
            c = Column{v, v, i, i, true};
            return;
        }
        if (v < c.minV) {
            c.minV = v;
            c.minI = i;
        }
        if (v > c.maxV) {
            c.maxV = v;
            c.maxI = i;
        }
    };

    const size_t block = SampleStore::BlockSize;
    const bool snapToBlocks = b - a >= size_t(columns) * 8 * block;
    Breaks breaks(r, a);
    size_t i = a;
    while (i < b) {
        if (breaks.at(i)) {
            // The samples before the gap close their column; the line stops there.
            flushColumns(store, cols, nq, out);
            resetColumns(cols, nq);
            for (int q = 0; q < nq; ++q)
                appendBreak(out[q], store.timeAt(i));
        }
        const double t = double(store.timeAt(i));
        if (t >= colEnd && col < columns - 1) {
            flushColumns(store, cols, nq, out);
            resetColumns(cols, nq);
            col = std::min(columns - 1, std::max(col + 1, int((t - double(r.fromMs)) / perColumn)));
            colEnd = double(r.fromMs) + perColumn * (col + 1);
        }
        // A whole block inside this column: its summary stands for its samples.
        // In a column many blocks wide, a block that starts in it counts
        // wholly: the extremes keep their own times, so the line is the same
        // but the blocks astride the column edges are not read sample by sample.
        if (i % block == 0 && i + block <= b && breaks.noneWithin(i, block) &&
            (col == columns - 1 || snapToBlocks || double(store.timeAt(i + block - 1)) < colEnd)) {
            const SampleStore::Block &s = store.blockAt(i / block);
            for (int q = 0; q < nq; ++q) {
                const int k = r.quantities[q];
                if (s.min[k] > s.max[k])
                    continue;
                if (s.minAt[k] <= s.maxAt[k]) {
                    take(q, s.min[k], i + s.minAt[k]);
                    take(q, s.max[k], i + s.maxAt[k]);
                } else {
                    take(q, s.max[k], i + s.maxAt[k]);
                    take(q, s.min[k], i + s.minAt[k]);
                }
            }
            i += block;
            continue;
        }
        for (int q = 0; q < nq; ++q) {
            const float v = store.valueAt(r.quantities[q], i);
            if (std::isfinite(v))
                take(q, v, i);
        }
        ++i;
    }
    flushColumns(store, cols, nq, out);
    appendRaw(store, r, b, after, out);
    return true;
}

} // namespace CurveReduction
