#include "disppage.h"

#include "cdpoptips.h"
#include "chartmenu.h"
#include "customcoordinates.h"
#include "homemenu.h"
#include "instrumentsession.h"
#include "pageglyphs.h"
#include "readingformat.h"
#include "readingsview.h"
#include "realtimechart.h"
#include "ui_pagedisp.h"
#include "uilog.h"
#include "valueedit.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QInputDialog>

using ReadingsView::setIfChanged;

namespace {

// Largest and smallest pixel size of the big readings.
constexpr qreal ReadingMaxPx = 60;
constexpr qreal ReadingMinPx = 16;

bool cycleMode(quint8 workMode)
{
    return workMode == 7 || workMode == 8;
}

} // namespace

DispPage::DispPage(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::DispPage>()), m_session(session)
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->disp_btnReturn);
    ui->disp_btn_menu->setIcon(
        QIcon(QPixmap(QStringLiteral(":/sys/rs/rs/menu.png"))
                  .scaled(200, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    ui->disp_frame_readings->installEventFilter(this);

    // Over the top of the readings, which show "--" meanwhile: the window
    // keeps its size when the link comes and goes.
    m_linkLost = new QLabel(ui->disp_frame_readings);
    m_linkLost->setObjectName(QStringLiteral("disp_label_linkLost"));
    m_linkLost->setAlignment(Qt::AlignCenter);
    m_linkLost->setWordWrap(true);
    m_linkLost->setStyleSheet(
        QStringLiteral("QLabel{background-color: rgb(140, 40, 40); color: rgb(255, 255, 255);"
                       "border-radius: 4px; padding: 4px; font-weight: bold;}"));
    m_linkLost->hide();
}

DispPage::~DispPage() = default;

void DispPage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->disp_btnReturn);
    // The instrument is the same in every language.
    ui->disp_labDevTiT->setText(m_deviceTitle);
    m_linkLost->setText(tr("仪器已断开连接，正在等待它重新连接……"));
    fitReadings();
}

bool DispPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->disp_frame_readings && event->type() == QEvent::Resize) {
        fitReadings();
        placeLinkLost();
    }
    return QWidget::eventFilter(watched, event);
}

void DispPage::fitReadings()
{
    // The readings take the largest size at which the widest text fits its
    // cell, so they stay large on a big window and whole on a small one.
    const QList<QLabel *> values = {ui->disp_label_VOL, ui->disp_label_CUR, ui->disp_label_POW,
                                    ui->disp_label_RES, ui->disp_label_ELE, ui->disp_label_CAP};
    const QList<QLabel *> units = {ui->disp_label_V, ui->disp_label_A,  ui->disp_label_W,
                                   ui->disp_label_O, ui->disp_label_WH, ui->disp_label_mAh};
    QFont probe = values.first()->font();
    probe.setPixelSize(100);
    const QFontMetricsF metrics(probe);
    // Eight characters: seven digits and a sign.
    const qreal sample = metrics.horizontalAdvance(QStringLiteral("-0000.00"));
    qreal px = ReadingMaxPx;
    for (const QLabel *label : values)
        px = qMin(px, 100.0 * label->contentsRect().width() / sample);
    px = qBound(ReadingMinPx, px, ReadingMaxPx);
    for (QLabel *label : values) {
        QFont f = label->font();
        f.setPixelSize(int(px));
        label->setFont(f);
    }
    for (QLabel *label : units) {
        QFont f = label->font();
        f.setPixelSize(int(qBound(12.0, px * 0.45, 26.0)));
        label->setFont(f);
    }
}

// ---- opened by the navigation --------------------------------------------------

void DispPage::on_disp_btnReturn_clicked()
{
    emit returnClicked();
}

void DispPage::on_disp_btnUpgrade_clicked()
{
    emit upgradeClicked();
}

void DispPage::on_disp_btnSysSet_clicked()
{
    emit settingsClicked();
}

void DispPage::setLoadControlsVisible(bool visible)
{
    const QList<QWidget *> controls = {ui->widgetConsValue,
                                       ui->disp_Btn_Run,
                                       ui->label_zero_v,
                                       ui->lineEdit_value_zero_v,
                                       ui->label_unit_zero_v,
                                       ui->label_limitime,
                                       ui->lineEdit_value_lilitime_h,
                                       ui->label_limitime_colon,
                                       ui->lineEdit_value_limitime_m,
                                       ui->label_full_v,
                                       ui->lineEdit_value_full_v,
                                       ui->label_unit_full_v,
                                       ui->label_full_a,
                                       ui->label_full_a_less,
                                       ui->lineEdit_value_full_a,
                                       ui->label_unit_full_a,
                                       ui->disp_btn_temp,
                                       ui->disp_label_DP,
                                       ui->disp_label_FANT_VALUE,
                                       ui->disp_label_DP_V,
                                       ui->disp_label_DM,
                                       ui->disp_label_FANS_VALUE,
                                       ui->disp_label_DM_V};
    for (QWidget *w : controls)
        w->setVisible(visible);
}

void DispPage::openMode(const QString &title, const QString &caption, const QString &unit,
                        bool cycle)
{
    // A power tester's chart entry hides the load's controls; a load's mode
    // entry brings them back.
    setLoadControlsVisible(true);
    ui->disp_labTitle->setText(title);
    ui->label_cons->setText(caption);
    ui->label_unit->setText(unit);
    if (!cycle) {
        ui->disp_Btn_Run->setText(tr("开始放电"));
        ui->disp_Btn_Run->setToolTip(tr("开始放电/停止放电"));
    } else {
        ui->disp_Btn_Run->setText(tr("开始"));
        ui->disp_Btn_Run->setToolTip(tr("开始/停止"));
    }
    PageGlyphs::setReturn(ui->disp_btnReturn);
}

void DispPage::openChart(const QString &title)
{
    ui->disp_labTitle->setText(title);
    setLoadControlsVisible(false);
    PageGlyphs::setReturn(ui->disp_btnReturn);
}

void DispPage::setDeviceTitle(const QString &title)
{
    m_deviceTitle = title;
    ui->disp_labDevTiT->setText(title);
}

QList<QLabel *> DispPage::readingLabels() const
{
    return {ui->disp_label_VOL,       ui->disp_label_CUR,       ui->disp_label_POW,
            ui->disp_label_RES,       ui->disp_label_ELE,       ui->disp_label_CAP,
            ui->disp_label_CPU_VALUE, ui->disp_label_NTC_VALUE, ui->disp_label_FANT_VALUE,
            ui->disp_label_FANS_VALUE};
}

void DispPage::placeLinkLost()
{
    const QRect frame = ui->disp_frame_readings->rect();
    const int height = m_linkLost->heightForWidth(frame.width() - 16);
    m_linkLost->setGeometry(8, 6, frame.width() - 16,
                            qMax(height, m_linkLost->sizeHint().height()));
}

void DispPage::showLinkLost(bool lost)
{
    m_linkLost->setText(tr("仪器已断开连接，正在等待它重新连接……"));
    placeLinkLost();
    m_linkLost->raise();
    m_linkLost->setVisible(lost);
    // The last values would pass for live ones.
    if (lost)
        for (QLabel *label : readingLabels())
            label->setText(QStringLiteral("--"));
}

bool DispPage::linkLostShown() const
{
    return !m_linkLost->isHidden();
}

// ---- the display update --------------------------------------------------------

void DispPage::showRecord(const MeasurementRecord &r, quint8 deviceClass)
{
    // What the record still holds was measured before the link went.
    if (linkLostShown())
        return;
    using namespace ReadingFormat;
    const QString texts[] = {
        voltage(r.voltage),        current(r.current),        power(r.power),
        resistance(r.resistance),  energy(r.energy),          capacity(r.capacity),
        cpuTemperature(r.cpuTemp), ntcTemperature(r.ntcTemp), mosTemperature(r.mosTemp),
        fanSpeed(r.fanSpeed)};
    const QList<QLabel *> labels = readingLabels();
    for (int i = 0; i < 10; ++i)
        setIfChanged(labels[i], texts[i]);

    const WorkMode m = workMode(r.workMode, deviceClass);
    if (m.titleTarget == TitleTarget::DisplayTitle)
        setIfChanged(ui->disp_labTitle, ReadingsView::modeTitle(r.workMode, deviceClass));
    if (m.captionChanges) {
        // The menu entries set the same captions; both go through one translation.
        setIfChanged(ui->label_cons, HomeMenu::translated(m.caption.toUtf8().constData()));
        setIfChanged(ui->label_unit, HomeMenu::translated(m.unit.toUtf8().constData()));
    }

    using ReadingsView::setIfFree;
    using namespace ParameterRange;
    setIfFree(ui->lineEdit_value, parameter(r, SetValue));
    setIfFree(ui->lineEdit_value_full_a, parameter(r, FullCurrent));
    setIfFree(ui->lineEdit_value_full_v, parameter(r, FullVoltage));
    setIfFree(ui->lineEdit_value_lilitime_h, parameter(r, TimeLimit));
    setIfFree(ui->lineEdit_value_limitime_m, timeLimitMinutes(r));
    setIfFree(ui->lineEdit_value_zero_v, parameter(r, CutoffVoltage));
}

// ---- value edits ---------------------------------------------------------------

void DispPage::on_lineEdit_value_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->lineEdit_value,
                           [this](float v) { return m_session.setValue(v).sent; });
}

void DispPage::on_lineEdit_value_zero_v_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->lineEdit_value_zero_v,
                           [this](float v) { return m_session.setCutoffVoltage(v).sent; });
}

void DispPage::on_lineEdit_value_full_v_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->lineEdit_value_full_v,
                           [this](float v) { return m_session.setFullVoltage(v).sent; });
}

void DispPage::on_lineEdit_value_full_a_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->lineEdit_value_full_a,
                           [this](float v) { return m_session.setFullCurrent(v).sent; });
}

void DispPage::on_lineEdit_value_lilitime_h_editingFinished()
{
    ValueEdit::commitTime(window(), ui->lineEdit_value_lilitime_h,
                          [this](int h) { return m_session.setTimeLimitHours(h).sent; });
}

void DispPage::on_lineEdit_value_limitime_m_editingFinished()
{
    ValueEdit::commitTime(window(), ui->lineEdit_value_limitime_m,
                          [this](int m) { return m_session.setTimeLimitMinutes(m).sent; });
}

// ---- run button ----------------------------------------------------------------

void DispPage::setRunButtonTexts(bool running)
{
    const bool cycle = cycleMode(m_session.record().workMode);
    QPushButton *run = ui->disp_Btn_Run;
    if (running) {
        run->setText(cycle ? tr("停止") : tr("停止放电"));
        run->setToolTip(cycle ? tr("单击停止") : tr("单击停止放电"));
    } else {
        run->setText(cycle ? tr("开始") : tr("开始放电"));
        run->setToolTip(cycle ? tr("单击开始") : tr("单击开始放电"));
    }
}

void DispPage::on_disp_Btn_Run_clicked()
{
    // Shown at once; the next measurement report says what the instrument did.
    const bool running = !m_session.state().running;
    m_session.state().running = running;
    if (m_chart)
        m_chart->runButton(running);
    m_session.run(running);
    setRunButtonTexts(running);
    emit runPressed(running);
    qCDebug(lcUi) << "m_CurveRunFlag" << (running ? "true" : "false");
}

void DispPage::refreshRunButton()
{
    // A text changing under the pointer would change what the click means.
    if (ValueEdit::pointerOver(ui->disp_Btn_Run))
        return;
    // A lost instrument runs nothing the program could stop.
    if (linkLostShown()) {
        setRunButtonTexts(false);
        return;
    }
    // The tooltip follows too, so a run the instrument ended does not keep
    // offering to stop it.
    setRunButtonTexts(m_session.state().running);
}

// ---- prompt --------------------------------------------------------------------

CDPopTips *DispPage::popTips()
{
    if (!m_popTips) {
        // A window of its own, owned by the page so it goes with it.
        m_popTips = new CDPopTips(this);
        m_popTips->hide();
        connect(m_popTips, &CDPopTips::CDPopTipsSendData_Signal, this,
                &DispPage::CDPopTipsSendData_Slot);
    }
    return m_popTips;
}

void DispPage::CDPopTipsSendData_Slot(qint16 data)
{
    if (m_session.answerPrompt(data).sent)
        qCDebug(lcUi) << "弹窗界面的数据下发成功" << data;
}

// ---- chart ---------------------------------------------------------------------

void DispPage::attachChart(RealTimeChart *chart, ChartMenu *menu)
{
    m_chart = chart;
    m_menu = menu;
    ui->disap_gridLayout->addWidget(chart->view());
    // The chart's own least height decides the area's, and with it the window's.
    ui->disp_frame_chart->setMinimumHeight(0);
    chart->setGroupButtons(ui->disp_btn_dp_dm, ui->disp_btn_cc1_cc2, ui->disp_btn_temp);
    // Over the chart, so made after it.
    m_ranges = new customcoordinates(chartArea());
    m_ranges->hide();
    chart->setCustomRanges(m_ranges);
    connect(m_ranges, &customcoordinates::RangChang_signal, this, &DispPage::RangChang_slot);
}

QWidget *DispPage::chartArea() const
{
    return ui->disp_frame_chart;
}

void DispPage::on_disp_btn_dp_dm_clicked()
{
    m_chart->toggleGroup(Curves::EnergyGroup);
}

void DispPage::on_disp_btn_cc1_cc2_clicked()
{
    m_chart->toggleGroup(Curves::TemperatureGroup);
}

void DispPage::on_disp_btn_temp_clicked()
{
    m_chart->toggleGroup(Curves::MosGroup);
}

void DispPage::toggleRangePanel()
{
    m_ranges->toggleOver(chartArea());
}

void DispPage::on_disp_btn_RangCustom_clicked()
{
    toggleRangePanel();
}

void DispPage::RangChang_slot()
{
    m_chart->applyCustomRanges();
}

void DispPage::on_disp_btn_menu_clicked()
{
    m_menu->exec(ui->disp_btn_menu);
}

void DispPage::on_disp_btn_title_clicked()
{
    bool ok = false;
    const QString title = QInputDialog::getText(window(), tr("标题变更对话框"), tr("请输入标题:"),
                                                QLineEdit::Normal, ui->disp_btn_title->text(), &ok);
    if (ok)
        ui->disp_btn_title->setText(title);
}
