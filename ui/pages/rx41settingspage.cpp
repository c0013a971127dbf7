#include "rx41settingspage.h"

#include "devicemodel.h"
#include "instrumentsession.h"
#include "pageglyphs.h"
#include "readingformat.h"
#include "readingsview.h"
#include "settingscontrols.h"
#include "settingsmirror.h"
#include "ui_pagerx41settings.h"
#include "uilog.h"
#include "valueedit.h"

using Level = InstrumentSession::Level;
using Calibration = InstrumentSession::Calibration;
using Threshold = InstrumentSession::Threshold;
using namespace SettingsControls;

Rx41SettingsPage::Rx41SettingsPage(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::Rx41SettingsPage>()), m_session(session)
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->RX41_settings_btnReturn);
}

Rx41SettingsPage::~Rx41SettingsPage() = default;

void Rx41SettingsPage::setTitle(const QString &title)
{
    ui->RX41_settings_labTitle->setText(title);
}

void Rx41SettingsPage::showReturnGlyph()
{
    PageGlyphs::setReturn(ui->RX41_settings_btnReturn);
}

void Rx41SettingsPage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->RX41_settings_btnReturn);
}

void Rx41SettingsPage::on_RX41_settings_btnReturn_clicked()
{
    emit returnClicked();
}

// ---- from the instrument -------------------------------------------------------

void Rx41SettingsPage::showLiveValues(const MeasurementRecord &r)
{
    ReadingsView::writeLiveValues(ui->RX41_settings_lab_voltvalue, ui->RX41_settings_lab_currvalue,
                                  ui->RX41_settings_lab_tempvalue, r);
}

void Rx41SettingsPage::showParameters(const MeasurementRecord &r)
{
    using namespace SettingsMirror;
    using ReadingFormat::parameter;
    using ReadingsView::setIfFree;
    markStyle({ui->RX41_settings_btn_CN, ui->RX41_settings_btn_EN}, int(r.languageStyle) - 1);
    mirrorLevel(ui->RX41_settings_slider_worklight, ui->RX41_settings_label_worklight,
                r.workBrightness);
    mirrorLevel(ui->RX41_settings_slider_standlight, ui->RX41_settings_label_standlight,
                r.standbyBrightness);
    mirrorLevel(ui->RX41_settings_slider_standtime, ui->RX41_settings_label_standtime,
                r.standbyTime);
    mirrorCalibration(ui->RX41_settings_slider_voltcali, ui->RX41_settings_lab_califact_voltvalue,
                      r, ParameterRange::VoltCalibration);
    mirrorCalibration(ui->RX41_settings_slider_currcali, ui->RX41_settings_lab_califact_currvalue,
                      r, ParameterRange::CurrCalibration);
    mirrorCalibration(ui->RX41_settings_slider_tempcali, ui->RX41_settings_lab_califact_tempvalue,
                      r, ParameterRange::TempCalibration);
    setIfFree(ui->RX41_settings_edit_lowvolt, parameter(r, ParameterRange::CutoffVoltage));
    setIfFree(ui->RX41_settings_edit_overvolt, parameter(r, ParameterRange::FullVoltage));
    setIfFree(ui->RX41_settings_edit_overpower, parameter(r, ParameterRange::OverPower));
    setIfFree(ui->RX41_settings_edit_ntcover, parameter(r, ParameterRange::NtcOverTemp));
    // Byte 53 carries the shunt size on a power tester.
    const int shunt = DeviceModel::shuntIndexOf(r.timeLimitHours);
    QComboBox *combo = ui->RX41_setting_comboBox;
    if (shunt >= 0 && shunt < combo->count() && !combo->hasFocus())
        combo->setCurrentIndex(shunt);
}

// ---- from the user -------------------------------------------------------------

void Rx41SettingsPage::chooseStyle(int style)
{
    SettingsControls::chooseStyle(m_session, {ui->RX41_settings_btn_CN, ui->RX41_settings_btn_EN},
                                  style);
}

void Rx41SettingsPage::on_RX41_settings_btn_CN_clicked()
{
    chooseStyle(1);
}

void Rx41SettingsPage::on_RX41_settings_btn_EN_clicked()
{
    chooseStyle(2);
}

void Rx41SettingsPage::on_RX41_settings_btn_clearcurrent_clicked()
{
    m_session.zeroCurrent();
}

void Rx41SettingsPage::on_RX41_settings_btn_datazero_clicked()
{
    m_session.clearData();
}

void Rx41SettingsPage::on_RX41_settings_btn_factory_reset_clicked()
{
    // Calibration and limits go with it: nothing the user can take back.
    if (m_ask(window(), Confirmations::factoryReset()) == QMessageBox::Yes)
        m_session.factoryReset();
}

void Rx41SettingsPage::on_RX41_settings_slider_worklight_valueChanged(int value)
{
    if (levelChanged(m_session, ui->RX41_settings_slider_worklight,
                     ui->RX41_settings_label_worklight, Level::Brightness, value))
        qCDebug(lcUi) << "工作屏幕亮度测试行：0000000000000";
}

void Rx41SettingsPage::on_RX41_settings_slider_standlight_valueChanged(int value)
{
    levelChanged(m_session, ui->RX41_settings_slider_standlight, ui->RX41_settings_label_standlight,
                 Level::StandbyBrightness, value);
}

void Rx41SettingsPage::on_RX41_settings_slider_standtime_valueChanged(int value)
{
    levelChanged(m_session, ui->RX41_settings_slider_standtime, ui->RX41_settings_label_standtime,
                 Level::StandbyTime, value);
}

void Rx41SettingsPage::on_RX41_settings_slider_voltcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->RX41_settings_slider_voltcali,
                       ui->RX41_settings_lab_califact_voltvalue, Calibration::Voltage, value);
}

void Rx41SettingsPage::on_RX41_settings_slider_currcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->RX41_settings_slider_currcali,
                       ui->RX41_settings_lab_califact_currvalue, Calibration::Current, value);
}

void Rx41SettingsPage::on_RX41_settings_slider_tempcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->RX41_settings_slider_tempcali,
                       ui->RX41_settings_lab_califact_tempvalue, Calibration::Temperature, value);
}

void Rx41SettingsPage::on_RX41_settings_edit_overvolt_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->RX41_settings_edit_overvolt,
                           [this](float v) { return m_session.setFullVoltage(v).sent; });
}

void Rx41SettingsPage::on_RX41_settings_edit_lowvolt_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->RX41_settings_edit_lowvolt,
                           [this](float v) { return m_session.setCutoffVoltage(v).sent; });
}

void Rx41SettingsPage::on_RX41_settings_edit_overpower_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->RX41_settings_edit_overpower, [this](float v) {
        return m_session.setThreshold(Threshold::OverPower, v).sent;
    });
}

void Rx41SettingsPage::on_RX41_settings_edit_ntcover_editingFinished()
{
    ValueEdit::commitFloat(window(), ui->RX41_settings_edit_ntcover, [this](float v) {
        return m_session.setThreshold(Threshold::ProbeTemperature, v).sent;
    });
}

void Rx41SettingsPage::on_RX41_setting_comboBox_currentIndexChanged(int index)
{
    QComboBox *combo = ui->RX41_setting_comboBox;
    // Only the user's choice goes out; the report's own value arrives here too.
    if (combo->hasFocus()) {
        m_session.setShunt(index);
        qCDebug(lcUi) << "I'm coming:" << index;
    }
    combo->clearFocus();
}
