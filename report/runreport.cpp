#include "runreport.h"

#include "readingformat.h"

#include <QDateTime>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace RunReport {

namespace {

constexpr int Dpi = 150;

// A step of 1, 2, 2.5 or 5 times a power of ten that cuts `span` into about `parts`.
double niceStep(double span, int parts)
{
    if (!(span > 0))
        return 1;
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

struct Axis
{
    double low = 0, high = 1, step = 1;
    static Axis around(double lo, double hi, int parts)
    {
        if (!std::isfinite(lo) || !std::isfinite(hi)) {
            lo = 0;
            hi = 1;
        }
        if (hi - lo < 1e-9) {
            lo -= 0.5;
            hi += 0.5;
        }
        Axis a;
        a.step = niceStep(hi - lo, parts);
        a.low = std::floor(lo / a.step) * a.step;
        a.high = std::ceil(hi / a.step) * a.step;
        return a;
    }
};

QString number(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QStringLiteral("--");
}

QString dateText(qint64 ms)
{
    return ms > 0
               ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
               : QStringLiteral("--");
}

// One curve of the chart: at most two points a pixel column (lowest and
// highest), so a week of samples draws as fast as a minute.
QPainterPath curve(const SampleStore &s, SampleStore::Quantity q, const QRectF &plot, qint64 t0,
                   double spanMs, const Axis &axis)
{
    QPainterPath path;
    const int columns = std::max(1, int(plot.width()));
    int column = -1;
    float lo = 0, hi = 0;
    bool started = false;
    auto flush = [&] {
        if (column < 0)
            return;
        const double x = plot.left() + column;
        const auto y = [&](float v) {
            return plot.bottom() - (double(v) - axis.low) / (axis.high - axis.low) * plot.height();
        };
        if (!started) {
            path.moveTo(x, y(lo));
            started = true;
        } else {
            path.lineTo(x, y(lo));
        }
        if (hi != lo)
            path.lineTo(x, y(hi));
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const float v = s.valueAt(q, i);
        if (!std::isfinite(v))
            continue;
        const int c = std::min(columns - 1, int(double(s.timeAt(i) - t0) / spanMs * (columns - 1)));
        if (c != column) {
            flush();
            column = c;
            lo = hi = v;
        } else {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    flush();
    return path;
}

void range(const SampleStore &s, SampleStore::Quantity q, double *lo, double *hi)
{
    *lo = INFINITY;
    *hi = -INFINITY;
    for (size_t i = 0; i < s.size(); ++i) {
        const double v = s.valueAt(q, i);
        if (std::isfinite(v)) {
            *lo = std::min(*lo, v);
            *hi = std::max(*hi, v);
        }
    }
}

void drawChart(QPainter &p, const QRectF &area, const SampleStore &s, const Labels &l)
{
    const QFontMetricsF fm(p.font());
    const QRectF plot =
        area.adjusted(fm.horizontalAdvance(QStringLiteral("0000.00")) + 20, fm.height() * 1.5,
                      -fm.horizontalAdvance(QStringLiteral("000.000")) - 20, -fm.height() * 2.5);
    const qint64 t0 = s.isEmpty() ? 0 : s.timeAt(0);
    const double spanMs =
        s.isEmpty() ? 1.0 : std::max<double>(1.0, double(s.timeAt(s.size() - 1) - t0));
    double vlo, vhi, alo, ahi;
    range(s, SampleStore::Voltage, &vlo, &vhi);
    range(s, SampleStore::Current, &alo, &ahi);
    const Axis volts = Axis::around(std::min(vlo, 0.0), vhi, 5);
    const Axis amps = Axis::around(std::min(alo, 0.0), ahi, 5);
    const Axis time = Axis::around(0, spanMs / 1000.0, 6);
    const QColor voltColour(0x1f, 0x5f, 0xbf), ampColour(0xc0, 0x30, 0x30);

    p.setPen(QPen(QColor(0xdd, 0xdd, 0xdd), 1));
    const int rows = int(std::llround((volts.high - volts.low) / volts.step));
    for (int i = 0; i <= rows; ++i) {
        const double y = plot.bottom() - i * plot.height() / rows;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(Qt::black);
    p.drawRect(plot);
    for (int i = 0; i <= rows; ++i) {
        const double y = plot.bottom() - i * plot.height() / rows;
        const int decimals = volts.step < 1 ? 2 : 0;
        p.setPen(voltColour);
        p.drawText(
            QRectF(area.left(), y - fm.height() / 2, plot.left() - area.left() - 8, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter, number(volts.low + i * volts.step, decimals));
        const double a = amps.low + i * (amps.high - amps.low) / rows;
        p.setPen(ampColour);
        p.drawText(
            QRectF(plot.right() + 8, y - fm.height() / 2, area.right() - plot.right(), fm.height()),
            Qt::AlignLeft | Qt::AlignVCenter, number(a, amps.step < 1 ? 3 : 1));
    }
    p.setPen(Qt::black);
    const int ticks = int(std::llround((time.high - time.low) / time.step));
    for (int i = 0; i <= ticks; ++i) {
        const double seconds = time.low + i * time.step;
        const double x = plot.left() + seconds * 1000.0 / spanMs * plot.width();
        if (x > plot.right() + 1)
            break;
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 6));
        p.drawText(QRectF(x - 100, plot.bottom() + 8, 200, fm.height()), Qt::AlignHCenter,
                   ReadingFormat::clockDuration(seconds));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + fm.height() + 10, plot.width(), fm.height()),
               Qt::AlignHCenter, l.time);
    p.setPen(voltColour);
    p.drawText(QRectF(area.left(), area.top(), plot.width(), fm.height()), Qt::AlignLeft,
               l.voltage);
    p.setPen(ampColour);
    p.drawText(
        QRectF(plot.left(), area.top(), plot.width() + (area.right() - plot.right()), fm.height()),
        Qt::AlignRight, l.current);

    p.save();
    p.setClipRect(plot);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(voltColour, 2));
    p.drawPath(curve(s, SampleStore::Voltage, plot, t0, spanMs, volts));
    p.setPen(QPen(ampColour, 2));
    p.drawPath(curve(s, SampleStore::Current, plot, t0, spanMs, amps));
    p.restore();
}

} // namespace

bool writePdf(const QString &fileName, const RunEntry &run, const SampleStore &samples,
              const Labels &l, QString *error)
{
    {
        // The writer says nothing of a file it cannot create; ask first.
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly)) {
            *error = probe.errorString();
            return false;
        }
    }
    QPdfWriter writer(fileName);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(Dpi);
    writer.setTitle(l.title);
    writer.setCreator(QStringLiteral("usb-tester"));
    QPainter p;
    if (!p.begin(&writer)) {
        *error = QStringLiteral("the PDF could not be started");
        return false;
    }
    const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
    QFont font = p.font();
    font.setPixelSize(Dpi * 10 / 72);
    QFont big = font;
    big.setPixelSize(Dpi * 18 / 72);
    big.setBold(true);

    double y = 0;
    p.setFont(big);
    const QFontMetricsF bigMetrics(big);
    const QString title =
        run.info.label.isEmpty() ? l.title : l.title + QStringLiteral(": ") + run.info.label;
    p.drawText(QRectF(0, y, page.width(), bigMetrics.height()), Qt::AlignLeft, title);
    y += bigMetrics.height() * 1.5;

    p.setFont(font);
    const QFontMetricsF fm(font);
    const double line = fm.height() * 1.35;
    const double valueX = page.width() * 0.35;
    const RunSummary &s = run.summary;
    const QList<QPair<QString, QString>> rows = {
        {l.device, QStringLiteral("%1 %2").arg(run.info.model, run.info.firmware)},
        {l.serial, run.info.serial},
        {l.started, dateText(run.info.startedMs)},
        {l.ended, dateText(run.endedMs)},
        {l.label, run.info.label.isEmpty() ? l.none : run.info.label},
        {l.mode, l.modeText},
        {l.duration, ReadingFormat::clockDuration(s.durationS)},
        {l.capacity, number(s.capacityMah, 1) + QStringLiteral(" mAh")},
        {l.energy, number(s.energyWh, 3) + QStringLiteral(" Wh")},
        {l.averageVoltage, number(s.averageVolts, 3) + QStringLiteral(" V")},
        {l.minimumVoltage, number(s.minimumVolts, 3) + QStringLiteral(" V")},
        {l.averageCurrent, number(s.averageAmps, 3) + QStringLiteral(" A")},
        {l.maxMos, number(s.maximumMosC, 1) + QStringLiteral(" °C")},
        {l.maxProbe,
         std::isfinite(s.maximumNtcC) ? number(s.maximumNtcC, 1) + QStringLiteral(" °C") : l.none},
        {l.endReason, run.endReason},
    };
    for (const auto &r : rows) {
        p.setPen(QColor(0x55, 0x55, 0x55));
        p.drawText(QRectF(0, y, valueX, line), Qt::AlignLeft | Qt::AlignVCenter, r.first);
        p.setPen(Qt::black);
        p.drawText(QRectF(valueX, y, page.width() - valueX, line), Qt::AlignLeft | Qt::AlignVCenter,
                   r.second);
        y += line;
    }
    y += line;
    drawChart(p, QRectF(0, y, page.width(), page.height() - y), samples, l);
    if (!p.end()) {
        *error = QStringLiteral("the PDF could not be finished");
        return false;
    }
    return true;
}

} // namespace RunReport
