#include "axislabels.h"

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

void applyAxisRange(QCategoryAxis *axis, const QString &unit, int steps, int decimals, double min,
                    double max)
{
    // Also refuses NaN ends, which would leave the axis unusable.
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max))
        return;
    clearAxisLabels(axis);
    axis->setRange(min, max);
    axis->setTickCount(10);
    fillAxisLabels(axis, unit, steps, decimals, max, min);
}

void growAxisTop(QCategoryAxis *axis, const QString &unit, int steps, int decimals, double value)
{
    const double top = std::ceil(1 + value);
    clearAxisLabels(axis);
    axis->setRange(0, top);
    axis->setTickCount(10);
    fillAxisLabels(axis, unit, steps, decimals, top, 0);
}

void resetAxis(QCategoryAxis *axis, int curve)
{
    const Curves::Info &c = Curves::info(curve);
    clearAxisLabels(axis);
    axis->setRange(c.defaultMin, c.defaultMax);
    axis->setTickCount(10);
    fillAxisLabels(axis, Curves::unitText(curve), 10, c.decimals, c.defaultMax, c.defaultMin);
}

QString timeFormat(const QDateTime &from, const QDateTime &to, int tickCount)
{
    if (from.date() == to.date())
        return QStringLiteral("hh:mm:ss");
    const qint64 stepMs = from.msecsTo(to) / qMax(1, tickCount - 1);
    return stepMs >= 60000 ? QStringLiteral("hh:mm<br>MM-dd") : QStringLiteral("hh:mm:ss<br>MM-dd");
}

} // namespace AxisLabels
