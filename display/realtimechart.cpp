#include "realtimechart.h"

#include "axislabels.h"
#include "chartview.h"
#include "curvereduction.h"
#include "curvesettingspanel.h"
#include "customcoordinates.h"
#include "devicemodel.h"
#include "measurementrecord.h"
#include "samplevalues.h"

#include <QAbstractButton>
#include <QColorDialog>
#include "uilog.h"

Q_LOGGING_CATEGORY(lcUi, "usbtester.ui")
#include <QGraphicsLayout>
#include <QtCharts/QLegend>

#include <cmath>

using namespace QtCharts;

namespace {

// Coalesced repaints: at most 25 a second however often the range changes.
constexpr int RedrawDelayMs = 40;

// Columns assumed before the chart has been laid out.
constexpr int UnknownColumns = 500;

// One min/max pair per two pixels: every spike stays, and the line's cost
// (the charts library strokes its outline anew on each change) stays small.
constexpr int PixelsPerColumn = 2;

double wholeSeconds(qint64 ms)
{
    return std::floor(double(ms) / 1000.0);
}

} // namespace

RealTimeChart::RealTimeChart(SampleStore *store, QObject *parent)
    : QObject(parent), m_store(store), m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    if (!m_store) {
        m_ownStore = std::make_unique<SampleStore>();
        m_store = m_ownStore.get();
    }
    for (int c = 0; c < Curves::Count; ++c)
        m_maximum[c] = Curves::info(c).startMaximum;

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(RedrawDelayMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, &RealTimeChart::redrawNow);

    m_appearance.load();
    buildChart();
}

RealTimeChart::~RealTimeChart()
{
    // A view never placed in a window is still ours, and with it the chart.
    if (m_view && !m_view->parent())
        delete m_view.data();
}

void RealTimeChart::setClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

void RealTimeChart::buildChart()
{
    for (int c = 0; c < Curves::Count; ++c) {
        const QString name = QLatin1String(Curves::info(c).name);
        m_spline[c] = new QSplineSeries(this);
        m_spline[c]->setName(name);
        m_line[c] = new QLineSeries(this);
        m_line[c]->setName(name);
    }

    m_chart = new QChart;
    m_chart->legend()->hide();
    applyPens();
    m_chart->setTheme(QChart::ChartTheme(CurveAppearance::storedTheme()));

    const qint64 start = now();
    m_timeAxis = new QDateTimeAxis(this);
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(start),
                         QDateTime::fromMSecsSinceEpoch(start + 10000));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_runStart = QDateTime::fromMSecsSinceEpoch(start);
    // Until the first run start the run-start range is the chart's first one.
    m_runStartMin = wholeSeconds(start);
    m_runStartMax = m_runStartMin + 10;

    const Qt::Alignment sides[Curves::AxisCount] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight};
    for (int a = 0; a < Curves::AxisCount; ++a) {
        m_axes[a] = new QCategoryAxis(this);
        m_axes[a]->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        applyRangeOrDefault(a);  // the standard curves are 0, 1, 2 on axes 0, 1, 2
        m_chart->addAxis(m_axes[a], sides[a]);
    }
    applyChartStyle();
    m_chart->legend()->show();

    showGroupCurves(Curves::Standard);
    applyAxisColours();

    m_view = new ChartView(m_chart);
    m_view->setRenderHint(QPainter::Antialiasing, true);

    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &RealTimeChart::updateTimeFormat);
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &RealTimeChart::scheduleRedraw);
    connect(m_chart, &QChart::plotAreaChanged, this, &RealTimeChart::scheduleRedraw);
}

void RealTimeChart::applyChartStyle()
{
    QLegend *legend = m_chart->legend();
    legend->setAlignment(Qt::AlignBottom);
    legend->setBackgroundVisible(true);
    legend->setBrush(QBrush(QColor(222, 233, 251)));
    legend->setLabelColor(QColor(0, 100, 255));
    legend->setMaximumHeight(40);
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->setBackgroundRoundness(0);
    // No drop shadow: with zero margins it falls outside the view (not one
    // pixel differs), yet its blur cost a third of every repaint.
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundVisible(true);

    m_timeAxis->setTickCount(10);
    m_timeAxis->setFormat(AxisLabels::timeFormat(m_timeAxis->min(), m_timeAxis->max(), 10));
    m_timeAxis->setGridLineVisible(true);
    m_timeAxis->setLinePenColor(QColor(205, 115, 14));
    for (int a = 0; a < Curves::AxisCount; ++a) {
        m_axes[a]->setGridLineVisible(a == Curves::LeftAxis);
        m_axes[a]->setTickCount(10);
        // Some CJK fonts map the degree-Celsius sign to an empty glyph; ask
        // for a family that draws it first (absent ones are skipped).
        QFont labels = m_axes[a]->labelsFont();
        labels.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Microsoft Yahei"),
                            labels.family()});
        m_axes[a]->setLabelsFont(labels);
    }
}

void RealTimeChart::applyPens()
{
    for (int c = 0; c < Curves::Count; ++c) {
        m_spline[c]->setPen(m_appearance.pen(c));
        m_line[c]->setPen(m_appearance.pen(c));
    }
}

void RealTimeChart::applyAxisColours()
{
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int i = 0; i < n; ++i)
        m_axes[Curves::info(curves[i]).axis]->setLinePenColor(m_appearance.colour(curves[i]));
}

bool RealTimeChart::customOn(int curve) const
{
    return m_ranges && m_ranges->isOpen(curve);
}

void RealTimeChart::applyRangeOrDefault(int curve)
{
    const Curves::Info &c = Curves::info(curve);
    QCategoryAxis *axis = m_axes[c.axis];
    if (customOn(curve))
        AxisLabels::applyAxisRange(axis, Curves::unitText(curve), 10, c.decimals,
                                   m_ranges->minValue(curve), m_ranges->maxValue(curve));
    else
        AxisLabels::resetAxis(axis, curve);
}

// --- sampling ---

SampleStore::Values RealTimeChart::valuesFrom(const MeasurementRecord &r)
{
    return sampleValues(r);
}

bool RealTimeChart::samplingAllowed(quint32 tickCounter, const SampleGate &gate) const
{
    // With the link lost the record holds stale values; drawing them as new
    // measurements would invent data.
    if (gate.scanning || !gate.linkUp || !gate.fresh || tickCounter % 2 == 0)
        return false;
    return DeviceModel::samplingAllowed(gate.deviceClass, m_curveRunFlag, gate.running);
}

bool RealTimeChart::pollTick(quint32 tickCounter, const SampleGate &gate,
                             const SampleStore::Values &values)
{
    if (!samplingAllowed(tickCounter, gate))
        return false;
    addSample(values);
    qCDebug(lcUi) << "record_data";
    return true;
}

void RealTimeChart::addSample(const SampleStore::Values &values)
{
    m_store->append(now(), values);
    // Axes and points change in one step. The charts library strokes a line's
    // outline anew whenever its points or an axis range change; with the
    // drawn points emptied first, moving the axes costs nothing, and the one
    // replace of the redraw strokes each line once per sample instead of twice.
    emptyDrawnCurves();
    rescale(values);
    moveTimeAxis();
    redrawNow();
}

void RealTimeChart::emptyDrawnCurves()
{
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int i = 0; i < n; ++i)
        series(curves[i])->replace(QVector<QPointF>());
}

void RealTimeChart::updateTimeFormat()
{
    const QString format =
        AxisLabels::timeFormat(m_timeAxis->min(), m_timeAxis->max(), m_timeAxis->tickCount());
    if (format != m_timeAxis->format())
        m_timeAxis->setFormat(format);
}

void RealTimeChart::rescale(const SampleStore::Values &values)
{
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int i = 0; i < n; ++i) {
        const int c = curves[i];
        const Curves::Info &info = Curves::info(c);
        double &top = m_axisTop[info.axis];
        double &maximum = m_maximum[c];
        // An infinite reading cannot be an axis end; treat it like a missing one.
        double v = values[info.quantity];
        if (!std::isfinite(v))
            v = std::nan("");
        if (!(top < v || top < maximum))
            continue;
        double grown = std::isnan(v) ? maximum : std::max(v, maximum);
        if (c == Curves::Capacity)
            grown += 20;  // headroom above the largest capacity seen
        top = grown;
        maximum = grown;
        if (!customOn(c))
            AxisLabels::growAxisTop(m_axes[info.axis], Curves::unitText(c), 10, info.decimals, grown);
    }
}

void RealTimeChart::moveTimeAxis()
{
    const qint64 t = now();
    if (m_displayMode == Scrolling) {
        // The last nine seconds and one ahead; this deliberately undoes a pan.
        if (wholeSeconds(t) > m_runStartMax)
            m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(t - 9000),
                                 QDateTime::fromMSecsSinceEpoch(t + 1000));
        return;
    }
    if (m_store->size() > 10 && !viewHeld())
        m_timeAxis->setRange(QDateTime::fromSecsSinceEpoch(qint64(m_runStartMin)),
                             QDateTime::fromMSecsSinceEpoch(t + 1000));
}

// --- run and connection ---

void RealTimeChart::startRun()
{
    const qint64 t = now();
    m_runStart = QDateTime::fromMSecsSinceEpoch(t);
    m_timeAxis->setRange(m_runStart, QDateTime::fromMSecsSinceEpoch(t + 10000));
    m_runStartMin = wholeSeconds(t);
    m_runStartMax = wholeSeconds(t + 10000);
}

bool RealTimeChart::connected()
{
    if (m_curveRunFlag)
        return false;
    m_curveRunFlag = true;
    startRun();
    return true;
}

bool RealTimeChart::disconnected()
{
    if (!m_curveRunFlag)
        return false;
    m_curveRunFlag = false;
    return true;
}

void RealTimeChart::runButton(bool running)
{
    m_curveRunFlag = running;
    if (running)
        clearRecord();
}

void RealTimeChart::clearRecord()
{
    startRun();
    m_store->clear();
    for (int c = 0; c < Curves::Count; ++c) {
        m_spline[c]->clear();
        m_line[c]->clear();
    }
    redrawNow();
}

bool RealTimeChart::viewHeld() const
{
    return m_view && m_view->isViewHeld();
}

// --- groups ---

QString RealTimeChart::highlightedButtonStyle()
{
    return QStringLiteral(
        "QPushButton{background-color:rgb(62, 62, 62); color: rgb(255, 255, 0);border:2px groove "
        "green;border-radius:10px;padding:2px 4px;border-style: "
        "outset;}QPushButton:hover{background-color:rgb(62, 62, 62); color: rgb(255, 255, "
        "0);border:2px groove green;border-radius:10px;padding:2px 4px;border-style: outset;}");
}

QString RealTimeChart::plainButtonStyle()
{
    return QStringLiteral(
        "QPushButton{background-color: rgb(62, 62, 62);border-radius: 5px;color: rgb(255, 255, "
        "255);border:2px groove gray;border-radius:10px;padding:2px 4px;border-style: "
        "outset;}QPushButton:hover{background-color:rgb(62, 62, 62); color: rgb(255, 255, "
        "0);border:2px groove green;border-radius:10px;padding:2px 4px;border-style: outset;}");
}

void RealTimeChart::setGroupButtons(QAbstractButton *energy, QAbstractButton *temperature,
                                    QAbstractButton *mos)
{
    m_buttons[Curves::EnergyGroup] = energy;
    m_buttons[Curves::TemperatureGroup] = temperature;
    m_buttons[Curves::MosGroup] = mos;
}

void RealTimeChart::setButtonStyles()
{
    for (int g = Curves::EnergyGroup; g < Curves::GroupCount; ++g) {
        if (m_buttons[g])
            m_buttons[g]->setStyleSheet(g == m_group ? highlightedButtonStyle() : plainButtonStyle());
    }
}

void RealTimeChart::showGroupCurves(Curves::Group g)
{
    int curves[3];
    const int n = Curves::groupCurves(g, curves);
    for (int i = 0; i < n; ++i) {
        const int c = curves[i];
        QXYSeries *s = series(c);
        m_chart->addSeries(s);
        s->attachAxis(m_timeAxis);
        s->attachAxis(m_axes[Curves::info(c).axis]);
        // Adding lets the theme decorate the series; the user's pen wins.
        s->setPen(m_appearance.pen(c));
    }
}

void RealTimeChart::hideGroupCurves(Curves::Group g)
{
    int curves[3];
    const int n = Curves::groupCurves(g, curves);
    for (int i = 0; i < n; ++i) {
        QXYSeries *s = series(curves[i]);
        if (!m_chart->series().contains(s))
            continue;
        m_chart->removeSeries(s);
        s->setParent(this);  // the chart hands it back without an owner
    }
}

void RealTimeChart::toggleGroup(Curves::Group group)
{
    if (group == Curves::Standard)
        return;
    hideGroupCurves(m_group);
    m_group = m_group == group ? Curves::Standard : group;
    showGroupCurves(m_group);

    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int i = 0; i < n; ++i) {
        applyRangeOrDefault(curves[i]);
        m_axisTop[Curves::info(curves[i]).axis] = Curves::info(curves[i]).groupTop;
    }
    applyAxisColours();
    if (m_group == Curves::Standard) {
        const qint64 t = now();
        m_runStart = QDateTime::fromMSecsSinceEpoch(t);
        if (m_displayMode == Scrolling)
            m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(t - 10000),
                                 QDateTime::fromMSecsSinceEpoch(t));
    }
    setButtonStyles();
    redrawNow();
}

// --- custom ranges ---

void RealTimeChart::setCustomRanges(customcoordinates *ranges)
{
    m_ranges = ranges;
    applyCustomRanges();
}

void RealTimeChart::applyCustomRanges()
{
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int i = 0; i < n; ++i)
        applyRangeOrDefault(curves[i]);
}

// --- appearance ---

void RealTimeChart::setCurveColour(int curve, const QColor &colour)
{
    m_appearance.setColour(curve, colour);
    m_spline[curve]->setPen(m_appearance.pen(curve));
    m_line[curve]->setPen(m_appearance.pen(curve));
    applyAxisColours();
}

void RealTimeChart::setCurveWidth(int curve, qreal width)
{
    m_appearance.setWidth(curve, width);
    m_spline[curve]->setPen(m_appearance.pen(curve));
    m_line[curve]->setPen(m_appearance.pen(curve));
}

void RealTimeChart::setTheme(int index)
{
    if (index >= 0 && index < CurveAppearance::themeNames().size()) {
        m_chart->setTheme(QChart::ChartTheme(index));
        CurveAppearance::storeTheme(index);
        // A theme repaints everything in its own colours; keep ours.
        applyChartStyle();
    }
    applyPens();
    applyAxisColours();
}

QColor RealTimeChart::pickColour(const QColor &initial, QWidget *parent) const
{
    if (m_colourPicker)
        return m_colourPicker(initial, parent);
    return QColorDialog::getColor(initial, parent, QString());
}

CurveSettingsPanel *RealTimeChart::showCurveSettings(QWidget *area)
{
    if (m_panel) {
        m_panel->raise();
        return m_panel;
    }
    m_panel = new CurveSettingsPanel(this, area);
    m_panel->placeOver(area);
    m_panel->show();
    return m_panel;
}

// --- drawing ---

QXYSeries *RealTimeChart::series(int curve) const
{
    if (m_reduced)
        return m_line[curve];
    return m_spline[curve];
}

void RealTimeChart::scheduleRedraw()
{
    if (!m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void RealTimeChart::swapSeriesKind(bool reduced)
{
    hideGroupCurves(m_group);
    m_reduced = reduced;
    showGroupCurves(m_group);
}

void RealTimeChart::redrawNow()
{
    m_redrawTimer.stop();
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    SampleStore::Quantity quantities[3];
    for (int i = 0; i < n; ++i)
        quantities[i] = Curves::info(curves[i]).quantity;

    CurveReduction::Request r;
    r.fromMs = m_timeAxis->min().toMSecsSinceEpoch();
    r.toMs = m_timeAxis->max().toMSecsSinceEpoch();
    const int width = int(m_chart->plotArea().width());
    r.columns = width >= 2 * PixelsPerColumn ? width / PixelsPerColumn : UnknownColumns;
    r.quantities = quantities;
    r.quantityCount = n;

    QVector<QPointF> points[3];
    const bool reduced = CurveReduction::reduce(*m_store, r, points);
    if (reduced != m_reduced)
        swapSeriesKind(reduced);
    for (int i = 0; i < n; ++i)
        series(curves[i])->replace(points[i]);
}
