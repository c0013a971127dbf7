#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;

namespace QtCharts {
class QChart;
}

// The cross-hair over the plot: a vertical line at a sample's time, a
// horizontal one at the pointer, and a box with the time and the values.
// Its items belong to the chart and draw above the curves.
class ChartCrosshair
{
public:
    explicit ChartCrosshair(QtCharts::QChart *chart);

    // `x` is where the sample lies, `pointer` where the mouse is, both in the
    // chart's coordinates inside `plot`.
    void show(const QRectF &plot, qreal x, const QPointF &pointer, const QString &text);
    void hide();
    bool isShown() const;
    QString text() const;

private:
    QGraphicsLineItem *m_vertical;
    QGraphicsLineItem *m_horizontal;
    QGraphicsRectItem *m_box;
    QGraphicsSimpleTextItem *m_label;
};
