#include "realtimechart.h"

#include "axislabels.h"
#include "axisscale.h"
#include "chartview.h"
#include "crosshair.h"
#include "curvereduction.h"
#include "curvesettingspanel.h"
#include "customcoordinates.h"
#include "devicemodel.h"
#include "measurementrecord.h"
#include "samplevalues.h"
#include "uilog.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <algorithm>
#include <cmath>
#include <utility>

// The window category, defined in the lowest part that logs in it.
Q_LOGGING_CATEGORY(lcUi, "usbtester.ui")

using namespace QtCharts;

namespace {

// Coalesced repaints: at most 25 a second however often the range changes.
constexpr int RedrawDelayMs = 40;

// Columns assumed before the chart has been laid out.
constexpr int UnknownColumns = 500;

// One min/max pair per two pixels: every spike stays, and the line's cost
// (the charts library strokes its outline anew on each change) stays small.
constexpr int PixelsPerColumn = 2;

// The chart's least height in the window.
constexpr int MinimumViewHeight = 250;

// Most labels an axis takes when there is room: eleven values, ten times.
constexpr int MostValueIntervals = 10;
constexpr int MostTimeIntervals = 9;

// Most separate pieces a curve is drawn in; beyond them only the longest
// gaps of the window break it.
constexpr size_t MostPieces = 48;

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
        m_line[c] = new QLineSeries(this);
        m_line[c]->setName(QLatin1String(Curves::info(c).name));
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
        applyRangeOrDefault(a); // the standard curves are 0, 1, 2 on axes 0, 1, 2
        m_chart->addAxis(m_axes[a], sides[a]);
    }
    applyChartStyle();
    m_chart->legend()->show();

    showGroupCurves(Curves::Standard);
    applyAxisColours();

    m_view = new ChartView(m_chart);
    m_view->setRenderHint(QPainter::Antialiasing, true);
    // Room for the legend, the time labels and a plot with a few value labels:
    // any smaller and the charts library crowds its axes into each other.
    m_view->setMinimumHeight(MinimumViewHeight);
    m_crosshair = std::make_unique<ChartCrosshair>(m_chart);
    connect(m_view, &ChartView::hovered, this, &RealTimeChart::hoverAt);
    connect(m_view, &ChartView::hoverLeft, this, &RealTimeChart::hideCrosshair);

    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &RealTimeChart::fitTimeLabels);
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &RealTimeChart::scheduleRedraw);
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &RealTimeChart::refreshCrosshair);
    connect(m_chart, &QChart::plotAreaChanged, this, &RealTimeChart::fitLabels);
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

    // Axis lines, ticks and grid lines one pixel wide whatever the scale: a
    // line item with a cosmetic pen is measured from its ends, any other is
    // stroked to measure it, each of the hundred or so on every repaint.
    const auto hairlines = [](QAbstractAxis *axis) {
        for (auto [get, set] :
             {std::pair(&QAbstractAxis::linePen, &QAbstractAxis::setLinePen),
              std::pair(&QAbstractAxis::gridLinePen, &QAbstractAxis::setGridLinePen),
              std::pair(&QAbstractAxis::minorGridLinePen, &QAbstractAxis::setMinorGridLinePen)}) {
            QPen pen = (axis->*get)();
            pen.setWidth(0);
            (axis->*set)(pen);
        }
    };
    hairlines(m_timeAxis);
    for (int a = 0; a < Curves::AxisCount; ++a)
        hairlines(m_axes[a]);
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
        labels.setFamilies(
            {QStringLiteral("DejaVu Sans"), QStringLiteral("Microsoft Yahei"), labels.family()});
        m_axes[a]->setLabelsFont(labels);
    }
}

void RealTimeChart::applyPens()
{
    for (int c = 0; c < Curves::Count; ++c)
        for (QLineSeries *l : lines(c))
            l->setPen(m_appearance.pen(c));
}

QVector<QLineSeries *> RealTimeChart::lines(int curve) const
{
    return QVector<QLineSeries *>{m_line[curve]} + m_pieces[curve];
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
    AxisRequest &r = m_request[Curves::info(curve).axis];
    r = AxisRequest();
    r.curve = curve;
    if (customOn(curve)) {
        r.kind = AxisRequest::Range;
        r.a = m_ranges->minValue(curve);
        r.b = m_ranges->maxValue(curve);
    }
    applyRequest(Curves::info(curve).axis);
}

void RealTimeChart::applyRequest(int a)
{
    const AxisRequest &r = m_request[a];
    const Curves::Info &c = Curves::info(r.curve);
    switch (r.kind) {
    case AxisRequest::Default:
        AxisLabels::resetAxis(m_axes[a], r.curve, m_valueIntervals);
        break;
    case AxisRequest::Range:
        AxisLabels::applyAxisRange(m_axes[a], Curves::unitText(r.curve), m_valueIntervals,
                                   c.decimals, r.a, r.b);
        break;
    case AxisRequest::Grow:
        AxisLabels::growAxisTop(m_axes[a], Curves::unitText(r.curve), m_valueIntervals, c.decimals,
                                r.a);
        break;
    }
}

void RealTimeChart::fitLabels()
{
    const QRectF plot = m_chart->plotArea();
    if (plot.height() <= 0)
        return;
    // A label's line and the padding the charts library keeps around it; any
    // less and it writes "..." instead of the number.
    const QFontMetricsF metrics(m_axes[Curves::LeftAxis]->labelsFont());
    const double extent = 1.5 * metrics.height() + 8;
    const int intervals = AxisScale::intervalsFitting(plot.height(), extent, MostValueIntervals);
    if (intervals != m_valueIntervals) {
        m_valueIntervals = intervals;
        for (int a = 0; a < Curves::AxisCount; ++a)
            applyRequest(a);
    }
    fitTimeLabels();
}

void RealTimeChart::fitTimeLabels()
{
    const qint64 from = m_timeAxis->min().toMSecsSinceEpoch();
    const qint64 to = m_timeAxis->max().toMSecsSinceEpoch();
    const double width = m_chart->plotArea().width();
    const QFontMetricsF metrics(m_timeAxis->labelsFont());
    // Ticks far enough apart that the widest label of the format fits
    // between its neighbours with room to spare.
    auto ticksFor = [&](const QString &sample) {
        const double extent =
            metrics.horizontalAdvance(sample) + 2 * metrics.averageCharWidth() + 8;
        const int most = width > 0 ? AxisScale::intervalsFitting(width, extent, MostTimeIntervals)
                                   : MostTimeIntervals;
        return AxisScale::timeTicks(to - from, most).intervals + 1;
    };
    int ticks = ticksFor(QStringLiteral("00:00:00"));
    QString format = AxisLabels::timeFormat(m_timeAxis->min(), m_timeAxis->max(), ticks);
    if (format.contains(QLatin1String(".z"))) {
        ticks = ticksFor(QStringLiteral("00:00:00.0"));
        format = AxisLabels::timeFormat(m_timeAxis->min(), m_timeAxis->max(), ticks);
    }
    if (ticks != m_timeAxis->tickCount())
        m_timeAxis->setTickCount(ticks);
    if (format != m_timeAxis->format())
        m_timeAxis->setFormat(format);
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
    refreshCrosshair();
}

void RealTimeChart::emptyDrawnCurves()
{
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int i = 0; i < n; ++i)
        for (QLineSeries *l : lines(curves[i]))
            if (l->count() > 0)
                l->replace(QVector<QPointF>());
}

void RealTimeChart::showStoredRun()
{
    for (size_t i = 0; i < m_store->size(); ++i)
        rescale(m_store->valuesAt(i));
    if (!m_store->isEmpty()) {
        const qint64 first = m_store->timeAt(0);
        const qint64 last = m_store->timeAt(m_store->size() - 1);
        m_runStart = QDateTime::fromMSecsSinceEpoch(first);
        m_runStartMin = wholeSeconds(first);
        m_timeAxis->setRange(m_runStart, QDateTime::fromMSecsSinceEpoch(last + 1000));
    }
    redrawNow();
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
            grown += 20; // headroom above the largest capacity seen
        top = grown;
        maximum = grown;
        if (!customOn(c)) {
            AxisRequest &r = m_request[info.axis];
            r = AxisRequest();
            r.kind = AxisRequest::Grow;
            r.curve = c;
            r.a = grown;
            applyRequest(info.axis);
        }
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

void RealTimeChart::restartTimeWindow()
{
    // Back after a short loss, or after a bus search mid-run, the run's
    // earlier samples stay in view.
    if (m_store->isEmpty())
        startRun();
}

bool RealTimeChart::connected()
{
    if (m_curveRunFlag)
        return false;
    m_curveRunFlag = true;
    restartTimeWindow();
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
    m_breaks.clear();
    m_breaksScanned = 0;
    for (int c = 0; c < Curves::Count; ++c)
        for (QLineSeries *l : lines(c))
            l->clear();
    refreshCrosshair();
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
            m_buttons[g]->setStyleSheet(g == m_group ? highlightedButtonStyle()
                                                     : plainButtonStyle());
    }
}

void RealTimeChart::showGroupCurves(Curves::Group g)
{
    int curves[3];
    const int n = Curves::groupCurves(g, curves);
    for (int i = 0; i < n; ++i) {
        const int c = curves[i];
        for (QLineSeries *s : lines(c))
            attach(c, s);
    }
}

void RealTimeChart::attach(int curve, QLineSeries *s)
{
    m_chart->addSeries(s);
    s->attachAxis(m_timeAxis);
    s->attachAxis(m_axes[Curves::info(curve).axis]);
    // Adding lets the theme decorate the series; the user's pen wins.
    s->setPen(m_appearance.pen(curve));
    // The curve has one legend entry, its first piece's.
    if (s != m_line[curve])
        for (QLegendMarker *m : m_chart->legend()->markers(s))
            m->setVisible(false);
}

void RealTimeChart::hideGroupCurves(Curves::Group g)
{
    int curves[3];
    const int n = Curves::groupCurves(g, curves);
    for (int i = 0; i < n; ++i) {
        for (QLineSeries *s : lines(curves[i])) {
            if (!m_chart->series().contains(s))
                continue;
            m_chart->removeSeries(s);
            s->setParent(this); // the chart hands it back without an owner
        }
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
    for (QLineSeries *l : lines(curve))
        l->setPen(m_appearance.pen(curve));
    applyAxisColours();
}

void RealTimeChart::setCurveWidth(int curve, qreal width)
{
    m_appearance.setWidth(curve, width);
    for (QLineSeries *l : lines(curve))
        l->setPen(m_appearance.pen(curve));
}

void RealTimeChart::setTheme(int index)
{
    if (index >= 0 && index < CurveAppearance::themeNames().size()) {
        m_chart->setTheme(QChart::ChartTheme(index));
        CurveAppearance::storeTheme(index);
        // A theme repaints everything in its own colours; keep ours.
        applyChartStyle();
        fitLabels();
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
    return m_line[curve];
}

QVector<QVector<QPointF>> RealTimeChart::drawnLines(int curve) const
{
    QVector<QVector<QPointF>> drawn;
    for (QLineSeries *l : lines(curve))
        if (l->count() > 0)
            drawn.append(l->pointsVector());
    std::sort(drawn.begin(), drawn.end(),
              [](const auto &x, const auto &y) { return x.first().x() < y.first().x(); });
    return drawn;
}

QLineSeries *RealTimeChart::piece(int curve, int index)
{
    while (m_pieces[curve].size() <= index) {
        auto *s = new QLineSeries(this);
        s->setName(m_line[curve]->name());
        s->setPen(m_appearance.pen(curve));
        m_pieces[curve].append(s);
        if (m_chart->series().contains(m_line[curve]))
            attach(curve, s);
    }
    return m_pieces[curve][index];
}

void RealTimeChart::scheduleRedraw()
{
    if (!m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void RealTimeChart::scanBreaks()
{
    // Only the samples added since the last look are new, unless the record
    // was emptied or replaced meanwhile.
    const size_t n = m_store->size();
    if (n < m_breaksScanned ||
        (n > 0 && m_breaksScanned > 0 && m_store->timeAt(0) != m_scannedFirstMs)) {
        m_breaks.clear();
        m_breaksScanned = 0;
    }
    if (n > 0)
        m_scannedFirstMs = m_store->timeAt(0);
    for (size_t i = std::max<size_t>(1, m_breaksScanned); i < n; ++i)
        if (m_store->timeAt(i) - m_store->timeAt(i - 1) > GapMs)
            m_breaks.push_back(i);
    m_breaksScanned = n;
}

std::vector<size_t> RealTimeChart::breaksToDraw(size_t from, size_t to, qint64 columnMs) const
{
    auto first = std::lower_bound(m_breaks.begin(), m_breaks.end(), std::max<size_t>(from, 1));
    auto last = std::upper_bound(m_breaks.begin(), m_breaks.end(), to);
    std::vector<size_t> drawn;
    for (auto it = first; it != last; ++it)
        // A gap narrower than a pixel column would not show as one.
        if (m_store->timeAt(*it) - m_store->timeAt(*it - 1) > columnMs)
            drawn.push_back(*it);
    if (drawn.size() >= MostPieces) {
        // The longest gaps stay.
        std::nth_element(drawn.begin(), drawn.begin() + (MostPieces - 1), drawn.end(),
                         [this](size_t x, size_t y) {
                             return m_store->timeAt(x) - m_store->timeAt(x - 1) >
                                    m_store->timeAt(y) - m_store->timeAt(y - 1);
                         });
        drawn.resize(MostPieces - 1);
        std::sort(drawn.begin(), drawn.end());
    }
    return drawn;
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

    scanBreaks();
    const size_t a = m_store->lowerBound(r.fromMs);
    const size_t b = m_store->lowerBound(r.toMs + 1);
    const bool reducing = b - a > size_t(std::max(1, r.columns));
    const qint64 columnMs = reducing ? (r.toMs - r.fromMs) / std::max(1, r.columns) : 0;
    const std::vector<size_t> breaks = breaksToDraw(a, b, columnMs);
    r.breaks = breaks.data();
    r.breakCount = breaks.size();

    QVector<QPointF> points[3];
    m_reduced = CurveReduction::reduce(*m_store, r, points);
    for (int i = 0; i < n; ++i) {
        // One series per piece between gaps.
        int k = 0;
        QVector<QPointF> line;
        line.reserve(points[i].size());
        auto flush = [&] {
            QLineSeries *s = k == 0 ? m_line[curves[i]] : piece(curves[i], k - 1);
            // A lone sample between two gaps has no line to show it: a dot does.
            s->setPointsVisible(line.size() == 1);
            s->replace(line);
            line.clear();
            ++k;
        };
        for (const QPointF &p : qAsConst(points[i])) {
            if (CurveReduction::isBreak(p)) {
                flush();
                continue;
            }
            line.append(p);
        }
        flush();
        for (int j = k - 1; j < m_pieces[curves[i]].size(); ++j)
            if (m_pieces[curves[i]][j]->count() > 0)
                m_pieces[curves[i]][j]->replace(QVector<QPointF>());
    }
}

// --- cross-hair ---

void RealTimeChart::hoverAt(const QPointF &viewPos)
{
    m_hovering = true;
    m_hoverPos = viewPos;
    const QPointF at =
        m_view ? m_chart->mapFromScene(m_view->mapToScene(viewPos.toPoint())) : QPointF();
    const QRectF plot = m_chart->plotArea();
    if (!m_view || m_store->isEmpty() || !plot.contains(at) || plot.width() <= 0) {
        m_crosshair->hide();
        return;
    }
    const qint64 from = m_timeAxis->min().toMSecsSinceEpoch();
    const qint64 to = m_timeAxis->max().toMSecsSinceEpoch();
    const qint64 t = from + qint64((at.x() - plot.left()) / plot.width() * double(to - from));
    // The sample nearest the pointer's time.
    size_t i = m_store->lowerBound(t);
    if (i == m_store->size() || (i > 0 && t - m_store->timeAt(i - 1) < m_store->timeAt(i) - t))
        i = i == 0 ? 0 : i - 1;
    const qint64 sampleMs = m_store->timeAt(i);

    QStringList text{
        QDateTime::fromMSecsSinceEpoch(sampleMs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))};
    int curves[3];
    const int n = Curves::groupCurves(m_group, curves);
    for (int k = 0; k < n; ++k) {
        const Curves::Info &c = Curves::info(curves[k]);
        const float v = m_store->valueAt(c.quantity, i);
        text << QStringLiteral("%1 %2")
                    .arg(QLatin1String(c.name), -8)
                    .arg(std::isfinite(v)
                             ? QString::number(double(v), 'f', 3) + Curves::unitText(curves[k])
                             : QStringLiteral("--"));
    }
    const double x = plot.left() + plot.width() * double(sampleMs - from) / double(to - from);
    m_crosshair->show(plot, qBound(plot.left(), x, plot.right()), at, text.join(QLatin1Char('\n')));
}

void RealTimeChart::hideCrosshair()
{
    m_hovering = false;
    if (m_crosshair)
        m_crosshair->hide();
}

void RealTimeChart::refreshCrosshair()
{
    if (m_hovering)
        hoverAt(m_hoverPos);
}

bool RealTimeChart::crosshairShown() const
{
    return m_crosshair && m_crosshair->isShown();
}

QString RealTimeChart::crosshairText() const
{
    return m_crosshair ? m_crosshair->text() : QString();
}
