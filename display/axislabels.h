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
// Sets min..max with fresh labels; does nothing unless max > min.
void applyAxisRange(QtCharts::QCategoryAxis *axis, const QString &unit, int steps, int decimals,
                    double min, double max);
// Sets 0..ceil(1 + value) with fresh labels.
void growAxisTop(QtCharts::QCategoryAxis *axis, const QString &unit, int steps, int decimals,
                 double value);
// The curve's default range and labels.
void resetAxis(QtCharts::QCategoryAxis *axis, int curve);

// The time axis's label format for a visible span from..to with tickCount
// ticks: hh:mm:ss within one day; once the span passes midnight the date goes
// on a second line (the labels are rich text, and one line would not fit ten
// of them), and the seconds go once the ticks are a minute or more apart.
QString timeFormat(const QDateTime &from, const QDateTime &to, int tickCount);

} // namespace AxisLabels
