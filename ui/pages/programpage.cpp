#include "programpage.h"

#include "devicemodel.h"
#include "instrumentsession.h"
#include "pageglyphs.h"
#include "programtemplates.h"
#include "programwords.h"
#include "readingformat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>
#include <cmath>

namespace {

// The current step's row, and a problem's colour.
const QColor Highlight(0x1F, 0x6F, 0xA8);
constexpr const char *IssueStyle = "color: rgb(255, 110, 90);";

QString number(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QString();
}

QDoubleSpinBox *spin(const char *name, double max, int decimals = 3)
{
    auto *s = new QDoubleSpinBox;
    s->setObjectName(QLatin1String(name));
    s->setRange(0, max);
    s->setDecimals(decimals);
    return s;
}

ProgramStep defaultStep(StepKind kind)
{
    ProgramStep s;
    s.kind = kind;
    switch (kind) {
    case StepKind::Discharge:
        s.value = 1;
        s.cutoffV = 3;
        break;
    case StepKind::Rest:
        s.durationS = 60;
        break;
    case StepKind::Dcir:
        s.i1A = 0.5;
        s.i2A = 2.5;
        break;
    case StepKind::Repeat:
        s.times = 2;
        s.steps = {defaultStep(StepKind::Rest)};
        break;
    case StepKind::Pause:
        s.message = ProgramWords::tr("请确认后继续");
        break;
    }
    return s;
}

QString pathText(const QVector<int> &path)
{
    QStringList parts;
    for (int i : path)
        parts << QString::number(i + 1);
    return parts.join(QLatin1Char('.'));
}

} // namespace

ProgramPage::ProgramPage(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_runner(std::make_unique<ProgramRunner>(session)),
      m_message(dialoghooks::defaultMessage()), m_openFile(dialoghooks::defaultOpenFile()),
      m_saveFile(dialoghooks::defaultSaveFile())
{
    setObjectName(QStringLiteral("page_program"));
    build();
    setTexts();
    m_progressTimer.setInterval(500);
    connect(&m_progressTimer, &QTimer::timeout, this, &ProgramPage::showProgress);
    ProgramRunner *r = m_runner.get();
    connect(r, &ProgramRunner::stateChanged, this, &ProgramPage::showState);
    connect(r, &ProgramRunner::stepStarted, this,
            [this](const ProgramRunner::Position &p) { highlight(p.step); });
    connect(r, &ProgramRunner::stepFinished, this, &ProgramPage::addResult);
    connect(r, &ProgramRunner::progress, this, &ProgramPage::showProgress);
    connect(r, &ProgramRunner::pauseStepReached, this, &ProgramPage::showState);
    connect(r, &ProgramRunner::finished, this,
            [this](ProgramRunner::Outcome, ProgramRunner::Failure f) {
                m_progressTimer.stop();
                highlight(QString());
                showState();
                emit programEnded();
                if (f != ProgramRunner::Failure::None)
                    warn(ProgramWords::failure(f, m_runner->failedSetting()));
            });
    // A new program starts from its template's first step.
    useTemplate();
}

ProgramPage::~ProgramPage() = default;

void ProgramPage::setHistory(HistoryWriter *history)
{
    m_runner->setHistory(history);
}

// ---- building ----------------------------------------------------------------

void ProgramPage::build()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);

    auto *top = new QHBoxLayout;
    m_btnReturn = new QPushButton;
    m_btnReturn->setObjectName(QStringLiteral("program_btnReturn"));
    m_btnReturn->setFocusPolicy(Qt::NoFocus);
    m_btnReturn->setFixedSize(40, 40);
    PageGlyphs::setReturn(m_btnReturn);
    connect(m_btnReturn, &QPushButton::clicked, this, &ProgramPage::returnClicked);
    m_tip = new QLabel;
    m_title = new QLabel;
    m_title->setObjectName(QStringLiteral("program_labTitle"));
    QFont big = m_title->font();
    big.setPointSize(16);
    big.setBold(true);
    m_title->setFont(big);
    m_title->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    top->addWidget(m_btnReturn);
    top->addWidget(m_tip);
    top->addStretch();
    top->addWidget(m_title);
    top->addStretch();
    top->addSpacing(100);
    outer->addLayout(top);

    // Name, templates and files.
    auto *fileRow = new QHBoxLayout;
    m_nameLabel = new QLabel;
    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("program_name"));
    connect(m_name, &QLineEdit::editingFinished, this, [this] { m_program.name = m_name->text(); });
    m_template = new QComboBox;
    m_template->setObjectName(QStringLiteral("program_template"));
    m_template->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_template->setMinimumContentsLength(10);
    for (const QString &id : ProgramTemplates::names())
        m_template->addItem(QString(), id);
    m_btnTemplate = new QPushButton;
    m_btnTemplate->setObjectName(QStringLiteral("program_btnTemplate"));
    connect(m_btnTemplate, &QPushButton::clicked, this, &ProgramPage::useTemplate);
    m_btnOpen = new QPushButton;
    m_btnOpen->setObjectName(QStringLiteral("program_btnOpen"));
    connect(m_btnOpen, &QPushButton::clicked, this, &ProgramPage::openFile);
    m_btnSave = new QPushButton;
    m_btnSave->setObjectName(QStringLiteral("program_btnSave"));
    connect(m_btnSave, &QPushButton::clicked, this, &ProgramPage::saveFile);
    fileRow->addWidget(m_nameLabel);
    fileRow->addWidget(m_name, 1);
    fileRow->addWidget(m_template);
    fileRow->addWidget(m_btnTemplate);
    fileRow->addWidget(m_btnOpen);
    fileRow->addWidget(m_btnSave);
    outer->addLayout(fileRow);

    auto *body = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    m_steps = new QTableWidget(0, 4);
    m_steps->setObjectName(QStringLiteral("program_steps"));
    m_steps->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_steps->setSelectionMode(QAbstractItemView::SingleSelection);
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->verticalHeader()->hide();
    m_steps->horizontalHeader()->setStretchLastSection(true);
    m_steps->setMinimumHeight(120);
    connect(m_steps, &QTableWidget::itemSelectionChanged, this, &ProgramPage::showEditor);
    left->addWidget(m_steps, 3);

    // The edit buttons in two short rows, so the page stays as narrow as the others.
    auto *edits = new QGridLayout;
    m_addKind = new QComboBox;
    m_addKind->setObjectName(QStringLiteral("program_addKind"));
    for (int k = 0; k < 5; ++k)
        m_addKind->addItem(QString(), k);
    m_btnAdd = new QPushButton;
    m_btnAdd->setObjectName(QStringLiteral("program_btnAdd"));
    connect(m_btnAdd, &QPushButton::clicked, this, [this] { addStep(false); });
    m_btnAddInside = new QPushButton;
    m_btnAddInside->setObjectName(QStringLiteral("program_btnAddInside"));
    connect(m_btnAddInside, &QPushButton::clicked, this, [this] { addStep(true); });
    m_btnRemove = new QPushButton;
    m_btnRemove->setObjectName(QStringLiteral("program_btnRemove"));
    connect(m_btnRemove, &QPushButton::clicked, this, &ProgramPage::removeStep);
    m_btnUp = new QPushButton;
    m_btnUp->setObjectName(QStringLiteral("program_btnUp"));
    connect(m_btnUp, &QPushButton::clicked, this, [this] { moveStep(-1); });
    m_btnDown = new QPushButton;
    m_btnDown->setObjectName(QStringLiteral("program_btnDown"));
    connect(m_btnDown, &QPushButton::clicked, this, [this] { moveStep(1); });
    edits->addWidget(m_addKind, 0, 0);
    edits->addWidget(m_btnAdd, 0, 1);
    edits->addWidget(m_btnAddInside, 0, 2);
    edits->addWidget(m_btnRemove, 1, 0);
    edits->addWidget(m_btnUp, 1, 1);
    edits->addWidget(m_btnDown, 1, 2);
    left->addLayout(edits);
    m_issue = new QLabel;
    m_issue->setObjectName(QStringLiteral("program_issue"));
    m_issue->setWordWrap(true);
    m_issue->setStyleSheet(QLatin1String(IssueStyle));
    left->addWidget(m_issue);
    left->addWidget(buildEditor(), 2);
    body->addLayout(left, 1);
    body->addWidget(buildRunPanel(), 1);
    outer->addLayout(body, 1);
}

QWidget *ProgramPage::buildEditor()
{
    // In a scroll area: the page never asks the window for more room than
    // the readings page does.
    auto *area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    auto *panel = new QWidget;
    panel->setObjectName(QStringLiteral("program_editor"));
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    m_editorTitle = new QLabel;
    grid->addWidget(m_editorTitle, 0, 0, 1, 2);
    auto *name = new QLineEdit;
    name->setObjectName(QStringLiteral("program_edit_name"));
    auto *mode = new QComboBox;
    mode->setObjectName(QStringLiteral("program_edit_mode"));
    for (int m = 0; m < 4; ++m)
        mode->addItem(QString(), m);
    // The set value's unit follows the mode.
    connect(mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int m) {
        static_cast<QDoubleSpinBox *>(m_fields[Value].edit)
            ->setSuffix(QStringList{" A", " V", " Ω", " W"}.value(m));
    });
    auto *times = new QSpinBox;
    times->setObjectName(QStringLiteral("program_edit_times"));
    times->setRange(0, 100000);
    auto *untilCutoff = new QCheckBox;
    untilCutoff->setObjectName(QStringLiteral("program_edit_until_cutoff"));
    auto *message = new QLineEdit;
    message->setObjectName(QStringLiteral("program_edit_message"));
    QWidget *edits[FieldCount] = {
        name,
        mode,
        spin("program_edit_value", 1e6),
        spin("program_edit_cutoff_v", 1000),
        spin("program_edit_duration_s", 1e7, 1),
        spin("program_edit_capacity_mah", 1e7),
        spin("program_edit_energy_wh", 1e6, 4),
        spin("program_edit_until_v", 1000),
        spin("program_edit_i1_a", 1000),
        spin("program_edit_i2_a", 1000),
        spin("program_edit_t1_s", 1e5, 1),
        spin("program_edit_t2_s", 1e5, 1),
        times,
        spin("program_edit_until_rest_below_v", 1000),
        untilCutoff,
        message,
    };
    for (int i = 0; i < FieldCount; ++i) {
        m_fields[i] = {new QLabel, edits[i]};
        grid->addWidget(m_fields[i].label, i + 1, 0);
        grid->addWidget(m_fields[i].edit, i + 1, 1);
    }
    m_btnApply = new QPushButton;
    m_btnApply->setObjectName(QStringLiteral("program_btnApply"));
    connect(m_btnApply, &QPushButton::clicked, this, &ProgramPage::applyEditor);
    grid->addWidget(m_btnApply, FieldCount + 1, 1);
    grid->setRowStretch(FieldCount + 2, 1);
    area->setWidget(panel);
    return area;
}

QWidget *ProgramPage::buildRunPanel()
{
    auto *panel = new QWidget;
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    auto *buttons = new QGridLayout;
    m_btnRun = new QPushButton;
    m_btnRun->setObjectName(QStringLiteral("program_btnRun"));
    connect(m_btnRun, &QPushButton::clicked, this, &ProgramPage::run);
    m_btnPause = new QPushButton;
    m_btnPause->setObjectName(QStringLiteral("program_btnPause"));
    connect(m_btnPause, &QPushButton::clicked, this, &ProgramPage::pauseOrResume);
    m_btnAbort = new QPushButton;
    m_btnAbort->setObjectName(QStringLiteral("program_btnAbort"));
    connect(m_btnAbort, &QPushButton::clicked, this, &ProgramPage::abortProgram);
    m_btnGoOn = new QPushButton;
    m_btnGoOn->setObjectName(QStringLiteral("program_btnGoOn"));
    connect(m_btnGoOn, &QPushButton::clicked, this, &ProgramPage::goOn);
    buttons->addWidget(m_btnRun, 0, 0);
    buttons->addWidget(m_btnPause, 0, 1);
    buttons->addWidget(m_btnAbort, 1, 0);
    buttons->addWidget(m_btnGoOn, 1, 1);
    v->addLayout(buttons);
    m_state = new QLabel;
    m_state->setObjectName(QStringLiteral("program_state"));
    m_state->setWordWrap(true);
    QFont f = m_state->font();
    f.setPointSize(12);
    f.setBold(true);
    m_state->setFont(f);
    v->addWidget(m_state);
    m_stepInfo = new QLabel;
    m_stepInfo->setObjectName(QStringLiteral("program_stepInfo"));
    v->addWidget(m_stepInfo);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("program_progress"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    v->addWidget(m_progress);
    m_resultsTitle = new QLabel;
    v->addWidget(m_resultsTitle);
    m_results = new QTableWidget(0, 9);
    m_results->setObjectName(QStringLiteral("program_results"));
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->verticalHeader()->hide();
    m_results->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_results->setMinimumHeight(120);
    v->addWidget(m_results, 1);
    return panel;
}

void ProgramPage::setTexts()
{
    m_tip->setText(tr("返回主页"));
    m_btnReturn->setToolTip(tr("返回主页"));
    if (m_title->text().isEmpty())
        m_title->setText(tr("测试程序"));
    m_nameLabel->setText(tr("程序名称"));
    for (int i = 0; i < m_template->count(); ++i)
        m_template->setItemText(i, ProgramWords::templateName(m_template->itemData(i).toString()));
    m_btnTemplate->setText(tr("载入模板"));
    m_btnOpen->setText(tr("打开"));
    m_btnSave->setText(tr("保存"));
    m_steps->setHorizontalHeaderLabels({tr("步骤"), tr("类型"), tr("设置"), tr("结束条件")});
    for (int k = 0; k < m_addKind->count(); ++k)
        m_addKind->setItemText(k, ProgramWords::kind(StepKind(k)));
    m_btnAdd->setText(tr("添加"));
    m_btnAddInside->setText(tr("添加到循环内"));
    m_btnRemove->setText(tr("删除"));
    m_btnUp->setText(tr("上移"));
    m_btnDown->setText(tr("下移"));
    const QString labels[FieldCount] = {
        tr("名称"),        tr("模式"),
        tr("设定值"),      tr("截止电压 (V)"),
        tr("时长 (s)"),    tr("容量 (mAh)"),
        tr("能量 (Wh)"),   tr("恢复到电压 (V)"),
        tr("电流 I1 (A)"), tr("电流 I2 (A)"),
        tr("时间 t1 (s)"), tr("时间 t2 (s)"),
        tr("次数"),        tr("静置电压低于 (V)"),
        tr("结束条件"),    tr("提示信息"),
    };
    for (int i = 0; i < FieldCount; ++i)
        m_fields[i].label->setText(labels[i]);
    static_cast<QCheckBox *>(m_fields[UntilCutoff].edit)->setText(tr("放电到截止电压后结束"));
    auto *mode = static_cast<QComboBox *>(m_fields[Mode].edit);
    for (int m = 0; m < mode->count(); ++m)
        mode->setItemText(m, ProgramWords::mode(quint8(m)));
    m_btnApply->setText(tr("应用"));
    m_btnRun->setText(tr("运行"));
    m_btnAbort->setText(tr("中止"));
    m_resultsTitle->setText(tr("结果"));
    // Units for headers keep the table narrow enough to show every column.
    m_results->setHorizontalHeaderLabels({tr("步骤"), tr("类型"), tr("遍"), tr("结束"), tr("时间"),
                                          QStringLiteral("mAh"), QStringLiteral("Wh"),
                                          QStringLiteral("V"), tr("内阻 mΩ")});
    const QVector<int> selected = selectedPath();
    refreshSteps();
    selectPath(selected);
    // Results already shown keep their numbers; their words follow the language.
    const QVector<StepResult> results = m_runner->results();
    m_results->setRowCount(0);
    for (const StepResult &r : results)
        addResult(r);
    checkProgram();
    showState();
}

void ProgramPage::open(const QString &title)
{
    m_title->setText(title);
    PageGlyphs::setReturn(m_btnReturn);
}

void ProgramPage::retranslate()
{
    m_title->clear();
    setTexts();
    PageGlyphs::setReturn(m_btnReturn);
}

// ---- the steps -----------------------------------------------------------------

void ProgramPage::setProgram(const TestProgram &program)
{
    m_program = program;
    m_name->setText(program.name);
    refreshSteps();
    selectPath({0});
    checkProgram();
}

void ProgramPage::refreshSteps()
{
    m_rows.clear();
    std::function<void(const QVector<ProgramStep> &, QVector<int>)> walk =
        [&](const QVector<ProgramStep> &list, QVector<int> path) {
            for (int i = 0; i < list.size(); ++i) {
                QVector<int> p = path;
                p << i;
                m_rows << p;
                walk(list.at(i).steps, p);
            }
        };
    walk(m_program.steps, {});
    const QSignalBlocker quiet(m_steps);
    m_steps->setRowCount(m_rows.size());
    for (int row = 0; row < m_rows.size(); ++row) {
        const ProgramStep &s = *stepAt(m_rows.at(row));
        const QString indent(4 * (m_rows.at(row).size() - 1), QLatin1Char(' '));
        const QString kind = ProgramWords::kind(s.kind) +
                             (s.name.isEmpty() ? QString() : QStringLiteral(" · ") + s.name);
        const QStringList cells = {indent + pathText(m_rows.at(row)), kind,
                                   ProgramWords::settings(s), ProgramWords::ends(s)};
        for (int c = 0; c < cells.size(); ++c)
            m_steps->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }
    const QString current = m_highlighted;
    m_highlighted.clear();
    highlight(current);
}

QVector<int> ProgramPage::selectedPath() const
{
    const int row = m_steps->currentRow();
    return row >= 0 && row < m_rows.size() && !m_steps->selectedItems().isEmpty() ? m_rows.at(row)
                                                                                  : QVector<int>();
}

void ProgramPage::selectPath(const QVector<int> &path)
{
    const int row = m_rows.indexOf(path);
    if (row >= 0)
        m_steps->selectRow(row);
    else
        m_steps->clearSelection();
    showEditor();
}

QVector<ProgramStep> *ProgramPage::listOf(const QVector<int> &path)
{
    QVector<ProgramStep> *list = &m_program.steps;
    for (int i = 0; i + 1 < path.size(); ++i)
        list = &(*list)[path.at(i)].steps;
    return list;
}

ProgramStep *ProgramPage::stepAt(const QVector<int> &path)
{
    if (path.isEmpty())
        return nullptr;
    QVector<ProgramStep> *list = listOf(path);
    return path.last() < list->size() ? &(*list)[path.last()] : nullptr;
}

void ProgramPage::showEditor()
{
    const ProgramStep *s = stepAt(selectedPath());
    const bool editable = !m_runner->active();
    QVector<int> shown;
    if (s) {
        m_editorTitle->setText(
            tr("第 %1 步：%2").arg(pathText(selectedPath()), ProgramWords::kind(s->kind)));
        shown << Name;
        switch (s->kind) {
        case StepKind::Discharge:
            shown << Mode << Value << Cutoff << Duration << Capacity << Energy;
            break;
        case StepKind::Rest:
            shown << Duration << UntilV;
            break;
        case StepKind::Dcir:
            shown << I1 << I2 << T1 << T2 << Cutoff;
            break;
        case StepKind::Repeat:
            shown << Times << UntilRestBelow << UntilCutoff;
            break;
        case StepKind::Pause:
            shown << Message;
            break;
        }
        static_cast<QLineEdit *>(m_fields[Name].edit)->setText(s->name);
        static_cast<QComboBox *>(m_fields[Mode].edit)->setCurrentIndex(s->mode);
        const QPair<FieldId, double> numbers[] = {{Value, s->value},
                                                  {Cutoff, s->cutoffV},
                                                  {Duration, s->durationS},
                                                  {Capacity, s->capacityMah},
                                                  {Energy, s->energyWh},
                                                  {UntilV, s->untilV},
                                                  {I1, s->i1A},
                                                  {I2, s->i2A},
                                                  {T1, s->t1S},
                                                  {T2, s->t2S},
                                                  {UntilRestBelow, s->untilRestBelowV}};
        for (const auto &n : numbers)
            static_cast<QDoubleSpinBox *>(m_fields[n.first].edit)->setValue(n.second);
        static_cast<QSpinBox *>(m_fields[Times].edit)->setValue(s->times);
        static_cast<QCheckBox *>(m_fields[UntilCutoff].edit)->setChecked(s->untilCutoff);
        static_cast<QLineEdit *>(m_fields[Message].edit)->setText(s->message);
    } else {
        m_editorTitle->setText(tr("选择一个步骤进行编辑"));
    }
    for (int i = 0; i < FieldCount; ++i) {
        m_fields[i].label->setVisible(shown.contains(i));
        m_fields[i].edit->setVisible(shown.contains(i));
        m_fields[i].edit->setEnabled(editable);
    }
    m_btnApply->setVisible(s != nullptr);
    m_btnApply->setEnabled(editable);
    m_btnAddInside->setEnabled(editable && s && s->kind == StepKind::Repeat);
    for (QPushButton *b : {m_btnRemove, m_btnUp, m_btnDown})
        b->setEnabled(editable && s);
}

void ProgramPage::applyEditor()
{
    const QVector<int> path = selectedPath();
    ProgramStep *current = stepAt(path);
    if (!current || m_runner->active())
        return;
    ProgramStep s = *current;
    auto value = [this](FieldId f) {
        return static_cast<QDoubleSpinBox *>(m_fields[f].edit)->value();
    };
    s.name = static_cast<QLineEdit *>(m_fields[Name].edit)->text().trimmed();
    switch (s.kind) {
    case StepKind::Discharge:
        s.mode = quint8(static_cast<QComboBox *>(m_fields[Mode].edit)->currentIndex());
        s.value = value(Value);
        s.cutoffV = value(Cutoff);
        s.durationS = value(Duration);
        s.capacityMah = value(Capacity);
        s.energyWh = value(Energy);
        break;
    case StepKind::Rest:
        s.durationS = value(Duration);
        s.untilV = value(UntilV);
        break;
    case StepKind::Dcir:
        s.i1A = value(I1);
        s.i2A = value(I2);
        s.t1S = value(T1);
        s.t2S = value(T2);
        s.cutoffV = value(Cutoff);
        break;
    case StepKind::Repeat:
        s.times = static_cast<QSpinBox *>(m_fields[Times].edit)->value();
        s.untilRestBelowV = value(UntilRestBelow);
        s.untilCutoff = static_cast<QCheckBox *>(m_fields[UntilCutoff].edit)->isChecked();
        break;
    case StepKind::Pause:
        s.message = static_cast<QLineEdit *>(m_fields[Message].edit)->text();
        break;
    }
    // The step checked on its own, named as it stands in the program.
    TestProgram alone;
    alone.steps = {s};
    ProgramIssue issue;
    if (!ProgramFile::validate(alone, &issue)) {
        issue.step = pathText(path) + issue.step.mid(1);
        m_issue->setText(ProgramWords::issue(issue));
        return;
    }
    *current = s;
    refreshSteps();
    selectPath(path);
    checkProgram();
}

void ProgramPage::addStep(bool inside)
{
    if (m_runner->active())
        return;
    const StepKind kind = StepKind(m_addKind->currentData().toInt());
    QVector<int> path = selectedPath();
    if (inside) {
        ProgramStep *repeat = stepAt(path);
        if (!repeat || repeat->kind != StepKind::Repeat)
            return;
        repeat->steps.append(defaultStep(kind));
        path << repeat->steps.size() - 1;
    } else if (path.isEmpty()) {
        m_program.steps.append(defaultStep(kind));
        path = {m_program.steps.size() - 1};
    } else {
        listOf(path)->insert(path.last() + 1, defaultStep(kind));
        ++path.last();
    }
    refreshSteps();
    selectPath(path);
    checkProgram();
}

void ProgramPage::removeStep()
{
    const QVector<int> path = selectedPath();
    if (path.isEmpty() || m_runner->active())
        return;
    QVector<ProgramStep> *list = listOf(path);
    list->remove(path.last());
    refreshSteps();
    QVector<int> next = path;
    if (next.last() >= list->size())
        --next.last();
    if (next.last() < 0)
        next.removeLast();
    selectPath(next);
    checkProgram();
}

void ProgramPage::moveStep(int delta)
{
    QVector<int> path = selectedPath();
    if (path.isEmpty() || m_runner->active())
        return;
    QVector<ProgramStep> *list = listOf(path);
    const int to = path.last() + delta;
    if (to < 0 || to >= list->size())
        return;
    std::swap((*list)[path.last()], (*list)[to]);
    path.last() = to;
    refreshSteps();
    selectPath(path);
    checkProgram();
}

bool ProgramPage::checkProgram()
{
    ProgramIssue issue;
    const bool ok = ProgramFile::validate(m_program, &issue);
    m_issue->setText(ok ? QString() : ProgramWords::issue(issue));
    return ok;
}

// ---- templates and files ---------------------------------------------------------

void ProgramPage::useTemplate()
{
    if (m_runner->active())
        return;
    TestProgram p;
    ProgramTemplates::Problem problem;
    QString which;
    ProgramIssue issue;
    const QString id = m_template->currentData().toString();
    if (!ProgramTemplates::build(id, {}, &p, &problem, &which, &issue))
        return;
    p.name = ProgramWords::templateName(id);
    setProgram(p);
}

void ProgramPage::openFile()
{
    if (m_runner->active())
        return;
    const QString file = m_openFile(this, tr("打开测试程序"), QString(), tr("测试程序 (*.json)"));
    if (file.isEmpty())
        return;
    TestProgram p;
    ProgramIssue issue;
    QString error;
    if (!ProgramFile::load(file, &p, &issue, &error)) {
        warn(error.isEmpty() ? tr("%1：%2").arg(file, ProgramWords::issue(issue))
                             : tr("无法读取 %1：%2").arg(file, error));
        return;
    }
    if (p.name.isEmpty())
        p.name = QFileInfo(file).completeBaseName();
    setProgram(p);
}

void ProgramPage::saveFile()
{
    m_program.name = m_name->text();
    const QString file =
        m_saveFile(this, tr("保存测试程序"), m_program.name + QStringLiteral(".json"),
                   tr("测试程序 (*.json)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!ProgramFile::save(file, m_program, &error))
        warn(tr("无法写入 %1：%2").arg(file, error));
}

// ---- running ---------------------------------------------------------------------

void ProgramPage::run()
{
    if (m_runner->active())
        return;
    m_program.name = m_name->text();
    if (!checkProgram())
        return warn(m_issue->text());
    m_results->setRowCount(0);
    emit programStarting();
    if (!m_runner->start(m_program)) {
        emit programEnded();
        return warn(ProgramWords::failure(m_runner->failure(), m_runner->failedSetting()));
    }
    m_progressTimer.start();
    showState();
}

void ProgramPage::pauseOrResume()
{
    if (m_runner->state() == ProgramRunner::State::Paused)
        m_runner->resume();
    else
        m_runner->pause();
}

void ProgramPage::abortProgram()
{
    m_runner->abort();
    showState();
}

void ProgramPage::goOn()
{
    if (m_runner->state() == ProgramRunner::State::WaitingForUser)
        m_runner->confirm();
    else if (m_runner->state() == ProgramRunner::State::AskingToResume)
        m_runner->resume();
}

void ProgramPage::showState()
{
    using S = ProgramRunner::State;
    const S state = m_runner->state();
    const bool active = m_runner->active();
    QString text = ProgramWords::state(state, m_runner->outcome());
    if (state == S::WaitingForUser)
        text = tr("暂停：%1 —— 按“确认继续”继续").arg(m_runner->pauseMessage());
    else if (state == S::InstrumentLost && m_runner->abortPending())
        text = tr("仪表已断开；重新连接后将停止负载并中止");
    m_state->setText(text);
    m_btnRun->setEnabled(!active);
    m_btnPause->setEnabled(state == S::Running || state == S::Paused);
    m_btnPause->setText(state == S::Paused ? tr("继续") : tr("暂停"));
    m_btnAbort->setEnabled(active && state != S::Stopping);
    m_btnGoOn->setEnabled(state == S::WaitingForUser || state == S::AskingToResume);
    m_btnGoOn->setText(state == S::AskingToResume ? tr("继续运行") : tr("确认继续"));
    for (QWidget *w : {static_cast<QWidget *>(m_name), static_cast<QWidget *>(m_template),
                       static_cast<QWidget *>(m_btnTemplate), static_cast<QWidget *>(m_btnOpen),
                       static_cast<QWidget *>(m_addKind), static_cast<QWidget *>(m_btnAdd)})
        w->setEnabled(!active);
    showEditor();
    showProgress();
}

void ProgramPage::showProgress()
{
    if (!m_runner->active()) {
        m_stepInfo->setText(
            m_runner->state() == ProgramRunner::State::Finished
                ? tr("总时间 %1").arg(ReadingFormat::durationText(m_runner->programElapsedS()))
                : QString());
        return;
    }
    const ProgramRunner::Position p = m_runner->position();
    QString where = p.current ? tr("第 %1 步 %2").arg(p.step, ProgramWords::kind(p.current->kind))
                              : tr("准备中");
    for (int i = 0; i < p.passes.size(); ++i)
        where += p.totals.at(i) > 0 ? tr("（第 %1/%2 遍）").arg(p.passes.at(i)).arg(p.totals.at(i))
                                    : tr("（第 %1 遍）").arg(p.passes.at(i));
    where += QStringLiteral("  ") + ReadingFormat::durationText(m_runner->stepElapsedS());
    if (p.current && (p.current->kind == StepKind::Discharge || p.current->kind == StepKind::Dcir))
        where += QStringLiteral("  %1 mAh").arg(number(m_runner->stepCapacityMah(), 1));
    m_stepInfo->setText(where);
    const double progress = m_runner->stepProgress();
    m_progress->setValue(progress >= 0 ? int(progress * 100) : 0);
}

void ProgramPage::highlight(const QString &step)
{
    for (int row = 0; row < m_rows.size(); ++row) {
        const bool on = !step.isEmpty() && pathText(m_rows.at(row)) == step;
        for (int c = 0; c < m_steps->columnCount(); ++c)
            if (QTableWidgetItem *item = m_steps->item(row, c)) {
                item->setBackground(on ? QBrush(Highlight) : QBrush());
                QFont f = item->font();
                f.setBold(on);
                item->setFont(f);
            }
        if (on)
            m_steps->scrollToItem(m_steps->item(row, 0));
    }
    m_highlighted = step;
}

void ProgramPage::addResult(const StepResult &r)
{
    QStringList passes;
    for (int p : r.passes)
        passes << QString::number(p);
    const bool load = r.kind == StepKind::Discharge || r.kind == StepKind::Dcir;
    const QString time = r.kind == StepKind::Repeat ? tr("%1 遍").arg(r.passesDone)
                                                    : ReadingFormat::durationText(r.durationS);
    const QStringList cells = {r.step,
                               ProgramWords::kind(r.kind),
                               passes.join(QLatin1Char('.')),
                               ProgramWords::end(r.end),
                               time,
                               load ? number(r.capacityMah, 1) : QString(),
                               load ? number(r.energyWh, 3) : QString(),
                               number(r.endV, 3),
                               r.hasDcir() ? number(r.dcirMohm, 1) : QString()};
    const int row = m_results->rowCount();
    m_results->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        m_results->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    m_results->scrollToBottom();
}

void ProgramPage::warn(const QString &text)
{
    m_message(this, QMessageBox::Warning, tr("测试程序"), text);
}

void ProgramPage::shutdown()
{
    if (!m_runner->active())
        return;
    if (m_runner->state() == ProgramRunner::State::InstrumentLost)
        return m_runner->giveUp();
    // Closing the window never leaves the load running: the stop is awaited.
    QEventLoop loop;
    connect(m_runner.get(), &ProgramRunner::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(3 * m_session.timeoutMs() + 2000, &loop, &QEventLoop::quit);
    m_runner->abort();
    if (m_runner->active())
        loop.exec();
    if (m_runner->active())
        m_runner->giveUp();
}
