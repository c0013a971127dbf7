#pragma once

#include <QString>

// Round axis numbers: steps of 1, 2, 2.5 or 5 times a power of ten, as many
// intervals as the plot has room for labels.
namespace AxisScale {

struct Scale
{
    double min = 0;
    double max = 0;
    double step = 0;
    int decimals = 0; // enough to write every multiple of step exactly
};

// The smallest step of 1, 2, 2.5 or 5 x 10^n not below `raw` (> 0).
double niceStep(double raw);
// Decimals that write every multiple of `step` exactly, at least `least`.
int decimalsFor(double step, int least);
// Ends rounded out to multiples of a round step, so that [lo, hi] is covered
// by at most `maxIntervals` intervals.
Scale covering(double lo, double hi, int maxIntervals, int leastDecimals);
// Fixed ends (a range the user chose): a round step that gives at most
// `maxIntervals` intervals; the labels go on its multiples inside [lo, hi].
Scale within(double lo, double hi, int maxIntervals, int leastDecimals);

// How many intervals fit `length` pixels when each label needs `extent`
// pixels, between 1 and `most`.
int intervalsFitting(double length, double extent, int most);

// The time axis: a round tick distance (100 ms up to days) for a span, and
// how many intervals it gives, at most `maxIntervals`.
struct TimeTicks
{
    qint64 stepMs = 1000;
    int intervals = 1;
};
TimeTicks timeTicks(qint64 spanMs, int maxIntervals);

} // namespace AxisScale
