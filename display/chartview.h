#pragma once

#include <QPoint>
#include <QtCharts/QChartView>

// The chart's view: drag with the left button to pan, wheel to zoom the time
// axis about the pointer. Either holds the view, so the accumulating display
// stops following the newest sample until a right click releases it. The
// pointer moving over it without a button reports where it hovers.
class ChartView : public QtCharts::QChartView
{
    Q_OBJECT
public:
    explicit ChartView(QWidget *parent = nullptr);
    explicit ChartView(QtCharts::QChart *chart, QWidget *parent = nullptr);

    bool isViewHeld() const { return m_viewHeld; }
    void setViewHeld(bool held) { m_viewHeld = held; }

signals:
    // The pointer rests at `pos` (view coordinates) with no button held.
    void hovered(const QPointF &pos);
    // The pointer left the view, or started a drag.
    void hoverLeft();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void zoomAbout(const QPointF &position, bool zoomIn);

    QPoint m_lastPos;
    bool m_leftHeld = false;
    bool m_ctrlHeld = false;
    bool m_viewHeld = false;
};
