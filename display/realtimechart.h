#pragma once

#include "chartview.h"
#include "curveappearance.h"
#include "curvetable.h"
#include "samplestore.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QWidget;
class ChartCrosshair;
class CurveSettingsPanel;
class customcoordinates;
struct MeasurementRecord;

// What decides whether a poll tick takes a sample.
struct SampleGate
{
    quint8 deviceClass = 0; // 1 electronic load, 4 power tester, else none
    bool running = false;   // the instrument's running flag
    bool linkUp = false;    // the instrument is connected
    bool scanning = false;  // a bus scan is in progress
    bool fresh = false;     // a measurement report came since the last sample
};

// The real-time chart of the display page: the chart, its axes and curves,
// the sampling rule and the chart state. Every sample goes once into the
// shared SampleStore; the curves show what the plot can draw of it, so the
// cost of a sample follows the screen, not the length of the run.
class RealTimeChart : public QObject
{
    Q_OBJECT
public:
    enum DisplayMode { Accumulating = 1, Scrolling = 2 };
    // One sample a second; a longer pause than two of them (with room for the
    // timer's jitter) is a gap the curves do not bridge.
    static constexpr qint64 SamplePeriodMs = 1000;
    static constexpr qint64 GapMs = 2 * SamplePeriodMs + SamplePeriodMs / 10;

    // store: the record shared with the CSV export; null gives the chart its own.
    explicit RealTimeChart(SampleStore *store = nullptr, QObject *parent = nullptr);
    ~RealTimeChart() override;

    QtCharts::QChart *chart() const { return m_chart; }
    // The view showing the chart; put it in the display page's layout.
    ChartView *view() const { return m_view; }
    SampleStore &store() { return *m_store; }
    const SampleStore &store() const { return *m_store; }

    // Milliseconds since the epoch; tests and benchmarks set their own clock.
    void setClock(std::function<qint64()> clock);
    qint64 now() const { return m_clock(); }

    // --- sampling ---
    static SampleStore::Values valuesFrom(const MeasurementRecord &record);
    // The rule: odd ticks only, never during a bus scan, while the link is
    // lost or without a measurement report since the last sample; a power
    // tester always, a load while it runs and the curve run flag is set.
    bool samplingAllowed(quint32 tickCounter, const SampleGate &gate) const;
    // Poll tick (counter already incremented): samples when allowed.
    bool pollTick(quint32 tickCounter, const SampleGate &gate, const SampleStore::Values &values);
    // One sample at the clock's time, unconditionally.
    void addSample(const SampleStore::Values &values);
    // Shows what the store already holds (a stored run): the value axes
    // grow to it and the time axis spans it.
    void showStoredRun();

    // --- run and connection ---
    bool curveRunFlag() const { return m_curveRunFlag; }
    // Returns true when it set the curve run flag (the run button then shows running).
    bool connected();
    // Returns true when it cleared the curve run flag (the run button then shows stopped).
    bool disconnected();
    // The run button's new state; starting empties the store and the curves.
    void runButton(bool running);
    // Empties the store and the curves and starts the time axis afresh; the
    // curve run flag stays.
    void clearRecord();
    // A new run start at the current time (axis now .. now + 10 s), keeping
    // the curves and the store: what building the device list does. A run
    // already under way keeps its view from its start.
    void restartTimeWindow();

    // --- groups ---
    void setGroupButtons(QAbstractButton *energy, QAbstractButton *temperature,
                         QAbstractButton *mos);
    void toggleGroup(Curves::Group group);
    Curves::Group shownGroup() const { return m_group; }
    static QString highlightedButtonStyle();
    static QString plainButtonStyle();

    // --- display mode and view ---
    void setDisplayMode(int mode) { m_displayMode = mode == Scrolling ? Scrolling : Accumulating; }
    int displayMode() const { return m_displayMode; }
    bool viewHeld() const;

    // --- custom ranges ---
    void setCustomRanges(customcoordinates *ranges);
    // Re-applies the custom ranges (or defaults) to the axes of the shown group.
    void applyCustomRanges();

    // --- appearance ---
    const CurveAppearance &appearance() const { return m_appearance; }
    void setCurveColour(int curve, const QColor &colour);
    void setCurveWidth(int curve, qreal width);
    // Index 0..6 of CurveAppearance::themeNames(); others change nothing but the pens.
    void setTheme(int index);
    // Opens the curve settings panel over area (or raises the open one).
    CurveSettingsPanel *showCurveSettings(QWidget *area);
    using ColourPicker = std::function<QColor(const QColor &initial, QWidget *parent)>;
    void setColourPicker(ColourPicker picker) { m_colourPicker = std::move(picker); }
    QColor pickColour(const QColor &initial, QWidget *parent) const;

    // --- drawing ---
    QtCharts::QDateTimeAxis *timeAxis() const { return m_timeAxis; }
    QtCharts::QCategoryAxis *valueAxis(Curves::Axis axis) const { return m_axes[axis]; }
    // The series drawing a curve: straight lines between the points, so the
    // line never leaves the range of the two samples it joins. A curve with
    // gaps draws its later pieces in further series (see drawnLines()).
    QtCharts::QXYSeries *series(int curve) const;
    // Every piece of a shown curve as drawn, in time order; empty pieces left out.
    QVector<QVector<QPointF>> drawnLines(int curve) const;
    bool isReduced() const { return m_reduced; }
    // How many intervals the value axes and the time axis currently label.
    int valueIntervals() const { return m_valueIntervals; }

    // --- cross-hair ---
    // The pointer at `viewPos` in the view: the time and every shown curve's
    // value of the nearest sample, or nothing outside the plot.
    void hoverAt(const QPointF &viewPos);
    // The pointer left: no cross-hair until it comes back.
    void hideCrosshair();
    bool crosshairShown() const;
    QString crosshairText() const;
    double axisTop(Curves::Axis axis) const { return m_axisTop[axis]; }
    double runningMaximum(int curve) const { return m_maximum[curve]; }
    // Redraws at once what the pending coalesced repaint would draw.
    void redrawNow();
    void scheduleRedraw();
    bool redrawPending() const { return m_redrawTimer.isActive(); }

private:
    void buildChart();
    void applyChartStyle();
    void applyPens();
    void applyAxisColours();
    void applyRangeOrDefault(int curve);
    void showGroupCurves(Curves::Group g);
    // Puts a piece of a curve on the chart with its axes and pen.
    void attach(int curve, QtCharts::QLineSeries *s);
    void hideGroupCurves(Curves::Group g);
    void rescale(const SampleStore::Values &values);
    void moveTimeAxis();
    void emptyDrawnCurves();
    // Label counts follow the plot: value labels its height, time labels its width.
    void fitLabels();
    void fitTimeLabels();
    void applyRequest(int axis);
    // The gaps of the record, kept up to date with its new samples.
    void scanBreaks();
    std::vector<size_t> breaksToDraw(size_t from, size_t to, qint64 columnMs) const;
    QtCharts::QLineSeries *piece(int curve, int index);
    QVector<QtCharts::QLineSeries *> lines(int curve) const;
    void startRun();
    bool customOn(int curve) const;
    void setButtonStyles();

    SampleStore *m_store;
    std::unique_ptr<SampleStore> m_ownStore;
    std::function<qint64()> m_clock;
    ColourPicker m_colourPicker;

    QtCharts::QChart *m_chart = nullptr; // owned by the view
    QPointer<ChartView> m_view;
    QtCharts::QDateTimeAxis *m_timeAxis = nullptr;
    QtCharts::QCategoryAxis *m_axes[Curves::AxisCount] = {};
    QtCharts::QLineSeries *m_line[Curves::Count] = {};
    // Pieces after gaps, made when first needed; their legend entries hidden.
    QVector<QtCharts::QLineSeries *> m_pieces[Curves::Count];
    bool m_reduced = false;
    std::vector<size_t> m_breaks; // sample indices a gap comes before
    size_t m_breaksScanned = 0;
    qint64 m_scannedFirstMs = 0;
    int m_valueIntervals = 10;

    // What each value axis shows, to label again when the plot's height changes.
    struct AxisRequest
    {
        enum Kind { Default, Range, Grow } kind = Default;
        int curve = 0;
        double a = 0; // Range: min; Grow: the value to cover
        double b = 0; // Range: max
    };
    AxisRequest m_request[Curves::AxisCount];
    std::unique_ptr<ChartCrosshair> m_crosshair;
    // Where the pointer rests, so the cross-hair follows new samples and a
    // moving time axis.
    bool m_hovering = false;
    QPointF m_hoverPos;
    void refreshCrosshair();
    QTimer m_redrawTimer;

    CurveAppearance m_appearance;
    QPointer<customcoordinates> m_ranges;
    QPointer<CurveSettingsPanel> m_panel;
    QPointer<QAbstractButton> m_buttons[Curves::GroupCount];

    int m_displayMode = Accumulating;
    Curves::Group m_group = Curves::Standard;
    bool m_curveRunFlag = false;
    QDateTime m_runStart;
    double m_runStartMin = 0; // whole seconds since the epoch
    double m_runStartMax = 0;
    double m_axisTop[Curves::AxisCount] = {20, 10, 10};
    double m_maximum[Curves::Count] = {};
};
