#include "historypage.h"

#include "historytexts.h"
#include "pageglyphs.h"
#include "readingformat.h"
#include "realtimechart.h"
#include "runreport.h"
#include "savedatadeal.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

using namespace QtCharts;

namespace {

// A table item that sorts by a number rather than by its text.
class NumberItem : public QTableWidgetItem
{
public:
    NumberItem(const QString &text, double value) : QTableWidgetItem(text)
    {
        setData(Qt::UserRole, value);
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

// Colours of compared runs, one each, told apart on a dark and a light chart.
const QColor CompareColours[HistoryPage::MaxCompared] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xd6, 0x27, 0x28), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};

// At most this many points a compared curve: the lowest and highest voltage
// of each stretch, so a week draws as fast as an hour.
constexpr int CompareColumns = 1500;

} // namespace

HistoryPage::HistoryPage(QWidget *parent)
    : QWidget(parent), m_saveFile(dialoghooks::defaultSaveFile()),
      m_message(dialoghooks::defaultMessage()),
      m_text([](QWidget *p, const QString &title, const QString &label, const QString &text,
                bool *ok) {
          return QInputDialog::getText(p, title, label, QLineEdit::Normal, text, ok);
      }),
      m_confirm([](QWidget *p, const QString &title, const QString &text) {
          return QMessageBox::question(p, title, text, QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::No) == QMessageBox::Yes;
      })
{
    setObjectName(QStringLiteral("page_history"));
    build();
    retranslate();
}

HistoryPage::~HistoryPage() = default;

void HistoryPage::build()
{
    auto *outer = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    m_return = new QPushButton(this);
    m_return->setObjectName(QStringLiteral("history_btnReturn"));
    m_return->setFixedSize(40, 32);
    PageGlyphs::setReturn(m_return);
    connect(m_return, &QPushButton::clicked, this, &HistoryPage::returnClicked);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("history_labTitle"));
    m_filter = new QComboBox(this);
    m_filter->setObjectName(QStringLiteral("history_filter"));
    connect(m_filter, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &HistoryPage::fillTable);
    top->addWidget(m_return);
    top->addWidget(m_title, 1);
    top->addWidget(m_filter);
    outer->addLayout(top);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("history_table"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSortingEnabled(true);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this] { openSelected(); });
    outer->addWidget(m_table, 2);

    // Two rows, so the page never asks the window for more width than the others.
    auto *buttons = new QGridLayout;
    const QList<QPair<const char *, std::function<void()>>> actions = {
        {"history_btnOpen", [this] { openSelected(); }},
        {"history_btnCompare",
         [this] {
             compareSelected(m_compareAxis->currentIndex() == 0 ? Axis::Capacity : Axis::Time);
         }},
        {"history_btnExport", [this] { exportSelected(); }},
        {"history_btnReport", [this] { reportSelected(); }},
        {"history_btnLabel", [this] { labelSelected(); }},
        {"history_btnDelete", [this] { deleteSelected(); }},
        {"history_btnRefresh", [this] { refresh(); }},
    };
    for (int i = 0; i < actions.size(); ++i) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(actions[i].first));
        connect(b, &QPushButton::clicked, this, actions[i].second);
        buttons->addWidget(b, i / 4, i % 4);
        m_buttons << b;
    }
    m_compareAxis = new QComboBox(this);
    m_compareAxis->setObjectName(QStringLiteral("history_compareAxis"));
    m_compareAxis->addItems({QString(), QString()});
    buttons->addWidget(m_compareAxis, 1, 3);
    buttons->setColumnStretch(4, 1);
    outer->addLayout(buttons);

    m_views = new QStackedWidget(this);
    auto *openView = new QWidget(m_views);
    auto *openLayout = new QHBoxLayout(openView);
    openLayout->setContentsMargins(0, 0, 0, 0);
    m_chart = std::make_unique<RealTimeChart>(&m_opened);
    // The live chart's groups, on buttons of the same words.
    auto *chartColumn = new QVBoxLayout;
    auto *groups = new QHBoxLayout;
    const QList<QPair<const char *, Curves::Group>> groupButtons = {
        {"ELE/CAP", Curves::EnergyGroup},
        {"CPU/NTC", Curves::TemperatureGroup},
        {"MOS_T", Curves::MosGroup}};
    QList<QPushButton *> made;
    for (const auto &g : groupButtons) {
        auto *b = new QPushButton(QLatin1String(g.first), openView);
        b->setObjectName(QStringLiteral("history_btnGroup") + QString::number(made.size() + 1));
        b->setFocusPolicy(Qt::NoFocus);
        const Curves::Group group = g.second;
        connect(b, &QPushButton::clicked, this, [this, group] { m_chart->toggleGroup(group); });
        groups->addWidget(b);
        made << b;
    }
    groups->addStretch(1);
    m_chart->setGroupButtons(made[0], made[1], made[2]);
    chartColumn->addLayout(groups);
    chartColumn->addWidget(m_chart->view(), 1);
    openLayout->addLayout(chartColumn, 3);
    m_summary = new QLabel(openView);
    m_summary->setObjectName(QStringLiteral("history_summary"));
    m_summary->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_summary->setTextFormat(Qt::PlainText);
    openLayout->addWidget(m_summary, 1);
    m_views->addWidget(openView);
    m_compare = new QChartView(new QChart, m_views);
    m_compare->setObjectName(QStringLiteral("history_compareView"));
    m_compare->setRenderHint(QPainter::Antialiasing);
    m_compare->setRubberBand(QChartView::RectangleRubberBand);
    m_views->addWidget(m_compare);
    outer->addWidget(m_views, 3);
}

void HistoryPage::retranslate()
{
    m_title->setText(tr("历史记录"));
    m_table->setHorizontalHeaderLabels({tr("开始"), tr("设备"), tr("模式"), tr("时长"), tr("容量"),
                                        tr("能量"), tr("结束原因"), tr("标签")});
    const QStringList names = {tr("打开"),     tr("对比"), tr("导出CSV"), tr("PDF报告"),
                               tr("编辑标签"), tr("删除"), tr("刷新")};
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setText(names.value(i));
    m_compareAxis->setItemText(0, tr("电压-容量"));
    m_compareAxis->setItemText(1, tr("电压-时间"));
    PageGlyphs::setReturn(m_return);
    fillTable();
}

void HistoryPage::setDatabase(const QString &path)
{
    // Another database: refresh() opens it in place of the one read so far.
    if (path != m_path)
        m_store.close();
    m_path = path;
    refresh();
}

void HistoryPage::refresh()
{
    if (!m_store.isOpen() && !m_path.isEmpty())
        m_store.open(m_path);
    m_runs = m_store.isOpen() ? m_store.runs() : QList<RunEntry>();
    // The device filter keeps its choice when the same device is still there.
    const QString chosen = m_filter->currentData().toString();
    const QSignalBlocker quiet(m_filter);
    m_filter->clear();
    m_filter->addItem(tr("全部设备"), QString());
    QStringList devices;
    for (const RunEntry &e : m_runs) {
        const QString key = e.info.model + QLatin1Char('|') + e.info.serial;
        if (!devices.contains(key)) {
            devices << key;
            m_filter->addItem(HistoryTexts::deviceText(e.info), key);
        }
    }
    m_filter->setCurrentIndex(qMax(0, m_filter->findData(chosen)));
    fillTable();
}

void HistoryPage::fillTable()
{
    const QString device = m_filter->currentData().toString();
    m_table->setSortingEnabled(false);
    m_table->setRowCount(0);
    for (const RunEntry &e : m_runs) {
        if (!device.isEmpty() && e.info.model + QLatin1Char('|') + e.info.serial != device)
            continue;
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        auto *start = new NumberItem(QDateTime::fromMSecsSinceEpoch(e.info.startedMs)
                                         .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                     double(e.info.startedMs));
        start->setData(Qt::UserRole + 1, e.id);
        m_table->setItem(row, Start, start);
        m_table->setItem(row, Device, new QTableWidgetItem(HistoryTexts::deviceText(e.info)));
        m_table->setItem(row, Mode, new QTableWidgetItem(HistoryTexts::modeText(e.info)));
        m_table->setItem(
            row, Duration,
            new NumberItem(ReadingFormat::clockDuration(e.summary.durationS), e.summary.durationS));
        m_table->setItem(
            row, Capacity,
            new NumberItem(QString::number(e.summary.capacityMah, 'f', 1) + QStringLiteral(" mAh"),
                           e.summary.capacityMah));
        m_table->setItem(
            row, Energy,
            new NumberItem(QString::number(e.summary.energyWh, 'f', 3) + QStringLiteral(" Wh"),
                           e.summary.energyWh));
        m_table->setItem(row, End, new QTableWidgetItem(HistoryTexts::endReason(e.endReason)));
        m_table->setItem(row, Label, new QTableWidgetItem(e.info.label));
    }
    m_table->setSortingEnabled(true);
    m_table->sortItems(Start, Qt::DescendingOrder);
    m_table->resizeColumnsToContents();
}

QList<qint64> HistoryPage::selectedIds() const
{
    QList<qint64> ids;
    for (const QModelIndex &i : m_table->selectionModel()->selectedRows(Start))
        ids << m_table->item(i.row(), Start)->data(Qt::UserRole + 1).toLongLong();
    return ids;
}

void HistoryPage::selectRuns(const QList<qint64> &ids)
{
    m_table->clearSelection();
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (ids.contains(m_table->item(row, Start)->data(Qt::UserRole + 1).toLongLong()))
            m_table->selectionModel()->select(m_table->model()->index(row, 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
}

bool HistoryPage::selectedRun(RunEntry *entry)
{
    const QList<qint64> ids = selectedIds();
    if (ids.size() != 1) {
        warn(tr("请选择一条记录"));
        return false;
    }
    return m_store.run(ids.first(), entry);
}

void HistoryPage::warn(const QString &text)
{
    m_message(window(), QMessageBox::Information, tr("提示"), text);
}

QString HistoryPage::summaryText() const
{
    return m_summary->text();
}

bool HistoryPage::openSelected()
{
    RunEntry e;
    if (!selectedRun(&e))
        return false;
    m_opened.clear();
    if (!m_store.loadSamples(e.id, &m_opened)) {
        warn(tr("无法读取记录") + QStringLiteral(": ") + m_store.errorString());
        return false;
    }
    m_chart->showStoredRun();
    QStringList lines{HistoryTexts::deviceText(e.info), HistoryTexts::modeText(e.info)};
    if (!e.info.label.isEmpty())
        lines << e.info.label;
    for (const auto &r : HistoryTexts::summaryRows(e.summary, e.endReason))
        lines << r.first + QStringLiteral(": ") + r.second;
    m_summary->setText(lines.join(QLatin1Char('\n')));
    m_views->setCurrentIndex(0);
    return true;
}

bool HistoryPage::compareSelected(Axis axis)
{
    const QList<qint64> ids = selectedIds();
    if (ids.isEmpty() || ids.size() > MaxCompared) {
        warn(tr("请选择1到8条记录进行对比"));
        return false;
    }
    QChart *chart = m_compare->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *a : chart->axes())
        chart->removeAxis(a);
    auto *x = new QValueAxis;
    auto *y = new QValueAxis;
    x->setTitleText(axis == Axis::Capacity ? tr("容量 (mAh)") : tr("时间 (小时)"));
    y->setTitleText(tr("电压 (V)"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double xMax = 0, yMin = INFINITY, yMax = -INFINITY;
    int colour = 0;
    for (qint64 id : ids) {
        RunEntry e;
        SampleStore s;
        if (!m_store.run(id, &e) || !m_store.loadSamples(id, &s) || s.isEmpty())
            continue;
        auto *series = new QLineSeries;
        series->setName(e.info.label.isEmpty() ? QStringLiteral("#%1 %2").arg(e.id).arg(
                                                     HistoryTexts::deviceText(e.info))
                                               : e.info.label);
        series->setPen(QPen(CompareColours[colour++ % MaxCompared], 2));
        // Delivered capacity from the run's start, as the summary counts it:
        // a counter cleared on the instrument starts again from there.
        double first = s.valueAt(SampleStore::Capacity, 0), previous = first, carried = 0;
        const qint64 t0 = s.timeAt(0);
        const double span = axis == Axis::Capacity
                                ? std::max(1.0, e.summary.capacityMah)
                                : std::max<double>(1, s.timeAt(s.size() - 1) - t0);
        QVector<QPointF> points;
        int column = -1;
        QPointF lo, hi;
        for (size_t i = 0; i < s.size(); ++i) {
            const double v = s.valueAt(SampleStore::Voltage, i);
            const double c = s.valueAt(SampleStore::Capacity, i);
            if (c < previous) {
                carried += previous - first;
                first = 0;
            }
            previous = c;
            const double delivered = carried + c - first;
            const double xv = axis == Axis::Capacity ? delivered : double(s.timeAt(i) - t0) / 3.6e6;
            const double across = axis == Axis::Capacity ? delivered : double(s.timeAt(i) - t0);
            const int col = int(across / span * CompareColumns);
            if (!std::isfinite(v))
                continue;
            if (col != column) {
                if (column >= 0) {
                    points << lo;
                    if (hi != lo)
                        points << hi;
                }
                column = col;
                lo = hi = QPointF(xv, v);
            } else if (v < lo.y()) {
                lo = QPointF(xv, v);
            } else if (v > hi.y()) {
                hi = QPointF(xv, v);
            }
            xMax = std::max(xMax, xv);
            yMin = std::min(yMin, v);
            yMax = std::max(yMax, v);
        }
        if (column >= 0) {
            points << lo;
            if (hi != lo)
                points << hi;
        }
        series->replace(points);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    x->setRange(0, xMax > 0 ? xMax : 1);
    if (std::isfinite(yMin))
        y->setRange(std::floor(yMin * 10) / 10, std::ceil(yMax * 10) / 10);
    x->applyNiceNumbers();
    y->applyNiceNumbers();
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_views->setCurrentIndex(1);
    return !chart->series().isEmpty();
}

bool HistoryPage::exportSelected()
{
    RunEntry e;
    if (!selectedRun(&e))
        return false;
    QString file = m_saveFile(window(), tr("导出数据"), QString(), tr("CSV文件(*.csv)"));
    if (file.isEmpty())
        return false;
    if (!file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        file += QStringLiteral(".csv");
    SampleStore s;
    if (!m_store.loadSamples(e.id, &s)) {
        warn(tr("无法读取记录") + QStringLiteral(": ") + m_store.errorString());
        return false;
    }
    saveDataDeal writer;
    if (!writer.writeCsv(s, file, quint8(e.info.deviceClass))) {
        warn(tr("无法写入文件") + QStringLiteral(": ") + writer.errorString());
        return false;
    }
    return true;
}

bool HistoryPage::reportSelected()
{
    RunEntry e;
    if (!selectedRun(&e))
        return false;
    QString file = m_saveFile(window(), tr("保存报告"), QString(), tr("PDF文件(*.pdf)"));
    if (file.isEmpty())
        return false;
    if (!file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        file += QStringLiteral(".pdf");
    SampleStore s;
    // A report without its curves would pass for the run's.
    if (!m_store.loadSamples(e.id, &s)) {
        warn(tr("无法读取记录") + QStringLiteral(": ") + m_store.errorString());
        return false;
    }
    RunReport::Labels l;
    l.title = tr("测试报告");
    l.device = tr("设备");
    l.serial = tr("序列号");
    l.started = tr("开始");
    l.ended = tr("结束");
    l.label = tr("标签");
    l.mode = tr("模式");
    l.voltage = tr("电压 (V)");
    l.current = tr("电流 (A)");
    l.time = tr("自开始的时间");
    l.none = tr("无");
    l.modeText = HistoryTexts::modeText(e.info);
    const auto rows = HistoryTexts::summaryRows(e.summary, e.endReason);
    l.duration = rows[0].first;
    l.capacity = rows[1].first;
    l.energy = rows[2].first;
    l.averageVoltage = rows[3].first;
    l.minimumVoltage = rows[4].first;
    l.averageCurrent = rows[5].first;
    l.maxMos = rows[6].first;
    l.maxProbe = rows[7].first;
    l.endReason = rows[8].first;
    RunEntry shown = e;
    shown.endReason = rows[8].second;
    QString error;
    if (!RunReport::writePdf(file, shown, s, l, &error)) {
        warn(tr("无法写入文件") + QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

bool HistoryPage::labelSelected()
{
    RunEntry e;
    if (!selectedRun(&e))
        return false;
    bool ok = false;
    const QString label = m_text(window(), tr("编辑标签"), tr("标签:"), e.info.label, &ok);
    if (!ok)
        return false;
    if (!m_store.setLabel(e.id, label.trimmed())) {
        warn(tr("无法保存标签") + QStringLiteral(": ") + m_store.errorString());
        return false;
    }
    refresh();
    return true;
}

bool HistoryPage::deleteSelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.isEmpty()) {
        warn(tr("请选择一条记录"));
        return false;
    }
    if (!m_confirm(window(), tr("删除"),
                   tr("删除选中的%1条记录及其全部数据？此操作无法撤销。").arg(ids.size())))
        return false;
    bool ok = true;
    for (qint64 id : ids)
        ok = m_store.remove(id) && ok;
    refresh();
    return ok;
}
