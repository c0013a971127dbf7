#include "crosshair.h"

#include <QBrush>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QPen>
#include <QtCharts/QChart>

namespace {

// Above the series, the axes and the legend.
constexpr qreal OnTop = 1000;
constexpr qreal Padding = 5;
constexpr qreal Offset = 14; // between the pointer and the box

} // namespace

ChartCrosshair::ChartCrosshair(QtCharts::QChart *chart)
    : m_vertical(new QGraphicsLineItem(chart)), m_horizontal(new QGraphicsLineItem(chart)),
      m_box(new QGraphicsRectItem(chart)), m_label(new QGraphicsSimpleTextItem(m_box))
{
    QPen line(QColor(90, 90, 90, 200));
    line.setStyle(Qt::DashLine);
    line.setCosmetic(true);
    for (QGraphicsLineItem *l : {m_vertical, m_horizontal}) {
        l->setPen(line);
        l->setZValue(OnTop);
    }
    m_box->setBrush(QColor(255, 255, 255, 230));
    m_box->setPen(QPen(QColor(120, 120, 120)));
    m_box->setZValue(OnTop + 1);
    m_label->setBrush(QColor(20, 20, 20));
    QFont font = m_label->font();
    // The values line up in columns.
    font.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Consolas"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    m_label->setFont(font);
    hide();
}

void ChartCrosshair::show(const QRectF &plot, qreal x, const QPointF &pointer, const QString &text)
{
    m_vertical->setLine(x, plot.top(), x, plot.bottom());
    m_horizontal->setLine(plot.left(), pointer.y(), plot.right(), pointer.y());
    m_label->setText(text);
    m_label->setPos(Padding, Padding);
    const QSizeF size = m_label->boundingRect().size() + QSizeF(2 * Padding, 2 * Padding);
    m_box->setRect(QRectF(QPointF(0, 0), size));
    // Beside the pointer, on whichever side has room, and inside the plot.
    qreal left = pointer.x() + Offset;
    if (left + size.width() > plot.right())
        left = pointer.x() - Offset - size.width();
    left = qMax(plot.left(), left);
    qreal top =
        qBound(plot.top(), pointer.y() + Offset, qMax(plot.top(), plot.bottom() - size.height()));
    m_box->setPos(left, top);
    m_vertical->show();
    m_horizontal->show();
    m_box->show();
}

void ChartCrosshair::hide()
{
    m_vertical->hide();
    m_horizontal->hide();
    m_box->hide();
}

bool ChartCrosshair::isShown() const
{
    return m_box->isVisible();
}

QString ChartCrosshair::text() const
{
    return m_label->text();
}
