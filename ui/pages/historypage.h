#pragma once

#include "dataexport.h"
#include "runrecord.h"
#include "runstore.h"
#include "samplestore.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class RealTimeChart;
namespace QtCharts {
class QChartView;
}

// The history of runs: a list of the runs kept on disk, newest first,
// sortable and filtered by device; a run opened in a chart of its own (the
// live chart's groups, zoom and pan) with its summary; up to eight runs
// compared, voltage against delivered capacity or against time since start;
// a run exported as CSV (the window's export format) or as a PDF report,
// labelled, or deleted.
class HistoryPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxCompared = 8;
    enum Column { Start, Device, Mode, Duration, Capacity, Energy, End, Label, ColumnCount };
    enum class Axis { Capacity, Time };

    explicit HistoryPage(QWidget *parent = nullptr);
    ~HistoryPage() override;

    // The database the page reads (the window's history); reread now.
    void setDatabase(const QString &path);
    void refresh();
    void retranslate();

    // Dialog hooks, so tests need no modal dialog.
    using TextFn = std::function<QString(QWidget *parent, const QString &title,
                                         const QString &label, const QString &text, bool *ok)>;
    using ConfirmFn =
        std::function<bool(QWidget *parent, const QString &title, const QString &text)>;
    void setSaveFileDialog(dialoghooks::SaveFileFn fn) { m_saveFile = std::move(fn); }
    void setMessageBox(dialoghooks::MessageFn fn) { m_message = std::move(fn); }
    void setTextDialog(TextFn fn) { m_text = std::move(fn); }
    void setConfirmDialog(ConfirmFn fn) { m_confirm = std::move(fn); }

    // What the page shows, for tests and tools.
    QTableWidget *table() const { return m_table; }
    QComboBox *deviceFilter() const { return m_filter; }
    RealTimeChart *runChart() const { return m_chart.get(); }
    QtCharts::QChartView *compareView() const { return m_compare; }
    const SampleStore &openedSamples() const { return m_opened; }
    QString summaryText() const;

    // The page's actions on the selected rows (the buttons call these).
    bool openSelected();
    bool compareSelected(Axis axis);
    bool exportSelected();
    bool reportSelected();
    bool labelSelected();
    bool deleteSelected();
    // Selects the rows of these run ids (tests).
    void selectRuns(const QList<qint64> &ids);

signals:
    void returnClicked();

private:
    QList<qint64> selectedIds() const;
    bool selectedRun(RunEntry *entry);
    void fillTable();
    void build();
    void warn(const QString &text);

    RunStore m_store;
    QString m_path;
    QList<RunEntry> m_runs;
    SampleStore m_opened;
    std::unique_ptr<RealTimeChart> m_chart;

    QLabel *m_title = nullptr;
    QComboBox *m_filter = nullptr;
    QTableWidget *m_table = nullptr;
    QStackedWidget *m_views = nullptr;
    QLabel *m_summary = nullptr;
    QtCharts::QChartView *m_compare = nullptr;
    QComboBox *m_compareAxis = nullptr;
    QList<QPushButton *> m_buttons;
    QPushButton *m_return = nullptr;

    dialoghooks::SaveFileFn m_saveFile;
    dialoghooks::MessageFn m_message;
    TextFn m_text;
    ConfirmFn m_confirm;
};
