#include "chartview.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <QtCharts/QDateTimeAxis>
#include <algorithm>
#include <cmath>

using namespace QtCharts;

ChartView::ChartView(QWidget *parent) : QChartView(parent)
{
    // Moves without a button arrive too: they show the cross-hair.
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

ChartView::ChartView(QChart *chart, QWidget *parent) : ChartView(parent)
{
    setChart(chart);
}

void ChartView::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    // A scene without a rect of its own measures every item after each
    // change to grow one (each grid line and tick is stroked to measure it);
    // the chart fills the view, so its rect is known.
    if (scene())
        scene()->setSceneRect(sceneRect());
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_lastPos = event->localPos().toPoint();
        m_leftHeld = true;
    } else if (event->button() == Qt::RightButton) {
        m_viewHeld = false;
    }
}

void ChartView::mouseReleaseEvent(QMouseEvent *)
{
    m_leftHeld = false;
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_leftHeld) {
        emit hovered(event->localPos());
        return;
    }
    emit hoverLeft();
    const QPoint pos = event->localPos().toPoint();
    const int dx = pos.x() - m_lastPos.x();
    m_lastPos = pos;
    if (chart())
        chart()->scroll(-dx, 0);
    m_viewHeld = true;
}

void ChartView::wheelEvent(QWheelEvent *event)
{
    m_viewHeld = true;
    if (m_ctrlHeld || (event->modifiers() & Qt::ControlModifier))
        return;
    zoomAbout(event->position(), event->angleDelta().y() > 0);
}

void ChartView::zoomAbout(const QPointF &position, bool zoomIn)
{
    if (!chart())
        return;
    const QList<QAbstractAxis *> axes = chart()->axes(Qt::Horizontal);
    QDateTimeAxis *axis = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis *>(axes.first());
    if (!axis)
        return;
    const double min = double(quint32(axis->min().toSecsSinceEpoch()));
    const double max = double(quint32(axis->max().toSecsSinceEpoch()));
    // Zoom about the time under the pointer: map through the plot area, not
    // the whole chart, which also holds the axes' labels and the legend.
    const QPointF chartPos = chart()->mapFromScene(mapToScene(position.toPoint()));
    const QRectF plot = chart()->plotArea();
    double centre = (min + max) / 2;
    if (plot.width() > 0)
        centre = min + (max - min) * (chartPos.x() - plot.left()) / plot.width();
    if (!std::isfinite(centre))
        centre = (min + max) / 2;
    centre = std::clamp(centre, min, max);

    double left, right;
    if (zoomIn) {
        if (centre - min > 1 && max - centre > 1) {
            left = (centre - min) / 1.5;
            right = (max - centre) / 1.5;
        } else {
            left = right = 1;
        }
    } else {
        left = (centre - min) * 1.5;
        right = (max - centre) * 1.5;
    }
    const qint64 from = qint64(std::trunc(centre - left));
    const qint64 to = qint64(std::trunc(centre + right));
    if (to <= from)
        return;
    axis->setRange(QDateTime::fromSecsSinceEpoch(from), QDateTime::fromSecsSinceEpoch(to));
}

void ChartView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control)
        m_ctrlHeld = true;
}

void ChartView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control)
        m_ctrlHeld = false;
}

void ChartView::leaveEvent(QEvent *event)
{
    emit hoverLeft();
    QChartView::leaveEvent(event);
}
