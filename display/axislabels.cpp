#include "axislabels.h"

#include "axisscale.h"
#include "curvetable.h"

#include <cmath>

using QtCharts::QCategoryAxis;

namespace AxisLabels {

QString label(double value, const QString &unit, int decimals)
{
    return QString::number(value, 'f', decimals) + unit;
}

void clearAxisLabels(QCategoryAxis *axis)
{
    const QStringList labels = axis->categoriesLabels();
    for (const QString &l : labels)
        axis->remove(l);
}

void fillAxisLabels(QCategoryAxis *axis, const QString &unit, int steps, int decimals, double top,
                    double bottom)
{
    if (steps <= 0)
        return;
    const double step = (top - bottom) / steps;
    for (int i = 0; i <= steps; ++i) {
        const double v = bottom + i * step;
        axis->append(label(v, unit, decimals), v);
    }
}

namespace {

// Labels on every multiple of the scale's step from `from` to `to`.
void labelSteps(QCategoryAxis *axis, const QString &unit, const AxisScale::Scale &scale)
{
    const double first = std::ceil(scale.min / scale.step - 1e-9);
    const double last = std::floor(scale.max / scale.step + 1e-9);
    for (double k = first; k <= last; ++k) {
        double v = k * scale.step;
        if (std::fabs(v) < scale.step * 1e-9)
            v = 0; // no "-0.00"
        axis->append(label(v, unit, scale.decimals), v);
    }
}

void show(QCategoryAxis *axis, const QString &unit, const AxisScale::Scale &scale)
{
    clearAxisLabels(axis);
    axis->setRange(scale.min, scale.max);
    axis->setTickCount(10);
    labelSteps(axis, unit, scale);
}

} // namespace

void applyAxisRange(QCategoryAxis *axis, const QString &unit, int steps, int decimals, double min,
                    double max)
{
    // Also refuses NaN ends, which would leave the axis unusable.
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max))
        return;
    show(axis, unit, AxisScale::within(min, max, steps, decimals));
}

void growAxisTop(QCategoryAxis *axis, const QString &unit, int steps, int decimals, double value)
{
    show(axis, unit, AxisScale::covering(0, std::ceil(1 + value), steps, decimals));
}

void resetAxis(QCategoryAxis *axis, int curve, int steps)
{
    const Curves::Info &c = Curves::info(curve);
    show(axis, Curves::unitText(curve),
         AxisScale::covering(c.defaultMin, c.defaultMax, steps, c.decimals));
}

QString timeFormat(const QDateTime &from, const QDateTime &to, int tickCount)
{
    const qint64 stepMs = from.msecsTo(to) / qMax(1, tickCount - 1);
    // Ticks under a second apart would all read the same second.
    const QString time = stepMs < 1000 ? QStringLiteral("hh:mm:ss.z") : QStringLiteral("hh:mm:ss");
    if (from.date() == to.date())
        return time;
    return stepMs >= 60000 ? QStringLiteral("hh:mm<br>MM-dd") : time + QStringLiteral("<br>MM-dd");
}

} // namespace AxisLabels
