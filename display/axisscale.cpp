#include "axisscale.h"

#include <algorithm>
#include <cmath>

namespace AxisScale {

double niceStep(double raw)
{
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        // A little slack, so 0.3 / 0.1 does not count as more than 3.
        if (m * power >= raw * (1 - 1e-9))
            return m * power;
    }
    return 10 * power;
}

int decimalsFor(double step, int least)
{
    int d = 0;
    // 2.5 x 10^n needs one place more than 10^n.
    while (d < 9 && std::fabs(step * std::pow(10.0, d) - std::round(step * std::pow(10.0, d))) >
                        1e-6 * step * std::pow(10.0, d))
        ++d;
    return std::max(d, least);
}

namespace {

// Multiples of step that bound [lo, hi], tolerant of rounding.
double floorTo(double v, double step)
{
    return std::floor(v / step + 1e-9) * step;
}
double ceilTo(double v, double step)
{
    return std::ceil(v / step - 1e-9) * step;
}
int intervalsOf(double lo, double hi, double step)
{
    return int(std::lround((ceilTo(hi, step) - floorTo(lo, step)) / step));
}

} // namespace

Scale covering(double lo, double hi, int maxIntervals, int leastDecimals)
{
    maxIntervals = std::max(1, maxIntervals);
    if (!(hi > lo))
        hi = lo + 1;
    double step = niceStep((hi - lo) / maxIntervals);
    // Rounding both ends out can add an interval; the next round step fits.
    while (intervalsOf(lo, hi, step) > maxIntervals)
        step = niceStep(step * 1.0001);
    Scale s;
    s.step = step;
    s.min = floorTo(lo, step);
    s.max = ceilTo(hi, step);
    s.decimals = decimalsFor(step, leastDecimals);
    return s;
}

Scale within(double lo, double hi, int maxIntervals, int leastDecimals)
{
    maxIntervals = std::max(1, maxIntervals);
    Scale s;
    s.min = lo;
    s.max = hi;
    double step = niceStep((hi - lo) / maxIntervals);
    while ((floorTo(hi, step) - ceilTo(lo, step)) / step > maxIntervals + 1e-9)
        step = niceStep(step * 1.0001);
    s.step = step;
    s.decimals = decimalsFor(step, leastDecimals);
    return s;
}

int intervalsFitting(double length, double extent, int most)
{
    if (!(extent > 0) || !(length > 0))
        return std::max(1, most);
    return std::clamp(int(std::floor(length / extent)), 1, std::max(1, most));
}

TimeTicks timeTicks(qint64 spanMs, int maxIntervals)
{
    static const qint64 steps[] = {100,      200,      500,     1000,    2000,    5000,
                                   10000,    15000,    30000,   60000,   120000,  300000,
                                   600000,   900000,   1800000, 3600000, 7200000, 10800000,
                                   21600000, 43200000, 86400000};
    maxIntervals = std::max(1, maxIntervals);
    TimeTicks t;
    t.stepMs = steps[sizeof steps / sizeof steps[0] - 1];
    for (qint64 s : steps) {
        if (spanMs <= s * maxIntervals) {
            t.stepMs = s;
            break;
        }
    }
    if (spanMs > t.stepMs * maxIntervals) // longer than days: spread evenly
        t.stepMs = (spanMs + maxIntervals - 1) / maxIntervals;
    t.intervals = int(std::clamp<qint64>((spanMs + t.stepMs / 2) / t.stepMs, 1, maxIntervals));
    return t;
}

} // namespace AxisScale
