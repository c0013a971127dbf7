#pragma once

#include "samplestore.h"

#include <QPointF>
#include <QVector>

// What the plot can show of a run: the samples of a time window, either as
// they are (few enough to draw one by one) or reduced to the lowest and the
// highest value of each pixel column, so a single spike survives however long
// the run. Points are (milliseconds since the epoch, value).
namespace CurveReduction {

struct Request
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    int columns = 1;
    const SampleStore::Quantity *quantities = nullptr;
    int quantityCount = 0;
    // Sample indices, ascending, before which the record has a gap: the
    // line must not join the samples on either side of one.
    const size_t *breaks = nullptr;
    size_t breakCount = 0;
};

// Marks a break in an output curve: the points on either side belong to
// separate lines.
bool isBreak(const QPointF &point);

// Fills out[0 .. quantityCount - 1]. The neighbour just outside each end of
// the window is included so lines reach the plot's edges. A break between two
// points that are both drawn puts a break marker between them. Returns true when
// the window held more samples than columns and was reduced.
bool reduce(const SampleStore &store, const Request &request, QVector<QPointF> *out);

// Number of samples with fromMs <= time <= toMs.
size_t countInWindow(const SampleStore &store, qint64 fromMs, qint64 toMs);

} // namespace CurveReduction
