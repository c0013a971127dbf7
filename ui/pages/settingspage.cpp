#include "settingspage.h"

#include "instrumentsession.h"
#include "pageglyphs.h"
#include "readingformat.h"
#include "readingsview.h"
#include "settingscontrols.h"
#include "settingsmirror.h"
#include "ui_pagesettings.h"
#include "uilog.h"
#include "valueedit.h"

using Level = InstrumentSession::Level;
using Calibration = InstrumentSession::Calibration;
using Threshold = InstrumentSession::Threshold;
using namespace SettingsControls;

SettingsPage::SettingsPage(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::SettingsPage>()), m_session(session)
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->settings_btnReturn);
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::setTitle(const QString &title)
{
    ui->settings_labTitle->setText(title);
}

void SettingsPage::showReturnGlyph()
{
    PageGlyphs::setReturn(ui->settings_btnReturn);
}

void SettingsPage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->settings_btnReturn);
}

void SettingsPage::on_settings_btnReturn_clicked()
{
    emit returnClicked();
}

// ---- from the instrument -------------------------------------------------------

void SettingsPage::showLiveValues(const MeasurementRecord &r)
{
    ReadingsView::writeLiveValues(ui->settings_lab_voltvalue, ui->settings_lab_currvalue,
                                  ui->settings_lab_tempvalue, r);
}

void SettingsPage::showParameters(const MeasurementRecord &r)
{
    using namespace SettingsMirror;
    using namespace ParameterRange;
    using ReadingFormat::parameter;
    using ReadingsView::setIfFree;
    markStyle(
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        int(r.languageStyle) - 1);
    mirrorLevel(ui->settings_slider_worklight, ui->settings_label_worklight, r.workBrightness);
    mirrorLevel(ui->settings_slider_standlight, ui->settings_label_standlight, r.standbyBrightness);
    mirrorLevel(ui->settings_slider_standtime, ui->settings_label_standtime, r.standbyTime);
    mirrorCalibration(ui->settings_slider_voltcali, ui->settings_lab_califact_voltvalue, r,
                      VoltCalibration);
    mirrorCalibration(ui->settings_slider_currcali, ui->settings_lab_califact_currvalue, r,
                      CurrCalibration);
    mirrorCalibration(ui->settings_slider_tempcali, ui->settings_lab_califact_tempvalue, r,
                      TempCalibration);
    setIfFree(ui->settings_edit_voltzero, parameter(r, CutoffVoltage));
    setIfFree(ui->settings_edit_voltfull, parameter(r, FullVoltage));
    setIfFree(ui->settings_edit_currfull, parameter(r, FullCurrent));
    setIfFree(ui->settings_edit_currover, parameter(r, OverCurrent));
    setIfFree(ui->settings_edit_poweover, parameter(r, OverPower));
    setIfFree(ui->settings_edit_ntcover, parameter(r, NtcOverTemp));
    setIfFree(ui->settings_edit_mosover, parameter(r, MosOverTemp));
    setIfFree(ui->settings_edit_timeh, parameter(r, TimeLimit));
    setIfFree(ui->settings_edit_timem, ReadingFormat::timeLimitMinutes(r));
}

// ---- from the user -------------------------------------------------------------

void SettingsPage::chooseStyle(int style)
{
    SettingsControls::chooseStyle(
        m_session,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        style);
}

void SettingsPage::on_settings_btn_CN1_clicked()
{
    chooseStyle(1);
}

void SettingsPage::on_settings_btn_CN2_clicked()
{
    chooseStyle(2);
}

void SettingsPage::on_settings_btn_EN1_clicked()
{
    chooseStyle(3);
}

void SettingsPage::on_settings_btn_EN2_clicked()
{
    chooseStyle(4);
}

void SettingsPage::on_settings_btn_clearcurrent_clicked()
{
    m_session.zeroCurrent();
}

void SettingsPage::on_settings_btn_factory_reset_clicked()
{
    // Calibration and limits go with it: nothing the user can take back.
    if (m_ask(window(), Confirmations::factoryReset()) == QMessageBox::Yes)
        m_session.factoryReset();
}

void SettingsPage::on_settings_btn_datazero_clicked()
{
    m_session.clearData();
}

void SettingsPage::on_settings_slider_worklight_valueChanged(int value)
{
    if (levelChanged(m_session, ui->settings_slider_worklight, ui->settings_label_worklight,
                     Level::Brightness, value))
        qCDebug(lcUi) << "工作屏幕亮度测试行：0000000000000";
}

void SettingsPage::on_settings_slider_standlight_valueChanged(int value)
{
    levelChanged(m_session, ui->settings_slider_standlight, ui->settings_label_standlight,
                 Level::StandbyBrightness, value);
}

void SettingsPage::on_settings_slider_standtime_valueChanged(int value)
{
    levelChanged(m_session, ui->settings_slider_standtime, ui->settings_label_standtime,
                 Level::StandbyTime, value);
}

void SettingsPage::on_settings_slider_voltcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->settings_slider_voltcali, ui->settings_lab_califact_voltvalue,
                       Calibration::Voltage, value);
}

void SettingsPage::on_settings_slider_currcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->settings_slider_currcali, ui->settings_lab_califact_currvalue,
                       Calibration::Current, value);
}

void SettingsPage::on_settings_slider_tempcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->settings_slider_tempcali, ui->settings_lab_califact_tempvalue,
                       Calibration::Temperature, value);
}

void SettingsPage::on_settings_edit_timeh_editingFinished()
{
    ValueEdit::commitTime(window(), ui->settings_edit_timeh,
                          [this](int h) { return m_session.setTimeLimitHours(h).sent; });
}

void SettingsPage::on_settings_edit_timem_editingFinished()
{
    ValueEdit::commitTime(window(), ui->settings_edit_timem,
                          [this](int m) { return m_session.setTimeLimitMinutes(m).sent; });
}

void SettingsPage::on_settings_edit_voltzero_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_voltzero,
                           [this](float v) { return m_session.setCutoffVoltage(v).sent; });
}

void SettingsPage::on_settings_edit_voltfull_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_voltfull,
                           [this](float v) { return m_session.setFullVoltage(v).sent; });
}

void SettingsPage::on_settings_edit_currfull_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_currfull,
                           [this](float v) { return m_session.setFullCurrent(v).sent; });
}

void SettingsPage::on_settings_edit_currover_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_currover, [this](float v) {
        return m_session.setThreshold(Threshold::OverCurrent, v).sent;
    });
}

void SettingsPage::on_settings_edit_poweover_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_poweover, [this](float v) {
        return m_session.setThreshold(Threshold::OverPower, v).sent;
    });
}

void SettingsPage::on_settings_edit_ntcover_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_ntcover, [this](float v) {
        return m_session.setThreshold(Threshold::ProbeTemperature, v).sent;
    });
}

void SettingsPage::on_settings_edit_mosover_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->settings_edit_mosover, [this](float v) {
        return m_session.setThreshold(Threshold::MosTemperature, v).sent;
    });
}
