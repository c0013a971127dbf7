#pragma once

#include <QDateTime>
#include <QString>
#include <QtCharts/QCategoryAxis>

// Value-axis labels: every label is the number in fixed notation followed by
// the unit (2.00V), placed on its tick value.
namespace AxisLabels {

QString label(double value, const QString &unit, int decimals);

void clearAxisLabels(QtCharts::QCategoryAxis *axis);
// Appends steps + 1 labels from bottom to top; does not clear first.
void fillAxisLabels(QtCharts::QCategoryAxis *axis, const QString &unit, int steps, int decimals,
                    double top, double bottom);
// In the three below `steps` is the most intervals the labels may take (the
// plot's height decides it), and every label is a round number: a multiple of
// 1, 2, 2.5 or 5 x 10^n, written with at least `decimals` places.
// Sets min..max with fresh labels inside it; does nothing unless max > min.
void applyAxisRange(QtCharts::QCategoryAxis *axis, const QString &unit, int steps, int decimals,
                    double min, double max);
// Sets 0 up to the round number at or above ceil(1 + value), with fresh labels.
void growAxisTop(QtCharts::QCategoryAxis *axis, const QString &unit, int steps, int decimals,
                 double value);
// The curve's default range (rounded out where needed) and labels.
void resetAxis(QtCharts::QCategoryAxis *axis, int curve, int steps = 10);

// The time axis's label format for a visible span from..to with tickCount
// ticks: hh:mm:ss within one day; once the span passes midnight the date goes
// on a second line (the labels are rich text, and one line would not fit ten
// of them), the seconds go once the ticks are a minute or more apart, and
// tenths come once they are less than a second apart.
QString timeFormat(const QDateTime &from, const QDateTime &to, int tickCount);

} // namespace AxisLabels
