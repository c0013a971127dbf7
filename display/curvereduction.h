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
};

// Fills out[0 .. quantityCount - 1]. The neighbour just outside each end of
// the window is included so lines reach the plot's edges. Returns true when
// the window held more samples than columns and was reduced.
bool reduce(const SampleStore &store, const Request &request, QVector<QPointF> *out);

// Number of samples with fromMs <= time <= toMs.
size_t countInWindow(const SampleStore &store, qint64 fromMs, qint64 toMs);

} // namespace CurveReduction
