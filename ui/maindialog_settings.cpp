// The two settings pages: every control becomes one command frame. Sliders
// send only under the pointer and edits only with the keyboard focus, so
// values the instrument reports back never echo to it.
#include "maindialog.h"
#include "uilog.h"
#include "maindialogui.h"
#include "readingformat.h"
#include "settingsmirror.h"
#include "valueedit.h"


namespace {

using Level = InstrumentSession::Level;
using Calibration = InstrumentSession::Calibration;
using Threshold = InstrumentSession::Threshold;

// A style button pressed by the user: its look, then the style number.
void chooseStyle(InstrumentSession &s, const QList<QPushButton *> &group, int style)
{
    SettingsMirror::markStyle(group, style - 1);
    s.setDisplayStyle(style);
}

// Brightness and standby time: the number beside the slider always follows;
// the instrument hears of it only when the pointer is on the slider.
bool levelChanged(InstrumentSession &s, QSlider *slider, QLabel *label, Level level, int value)
{
    label->setNum(value);
    if (!ValueEdit::pointerOver(slider))
        return false;
    s.setLevel(level, value);
    return true;
}

void calibrationChanged(InstrumentSession &s, QSlider *slider, QLabel *factorLabel,
                        Calibration which, int value)
{
    if (!ValueEdit::pointerOver(slider))
        return;
    const float factor = float(value) / 1000.0f;
    factorLabel->setText(ReadingFormat::calibrationFactor(factor));
    s.setCalibration(which, factor);
}

} // namespace

// ---- electronic load page -------------------------------------------------------

void MainDialog::on_settings_btn_CN1_clicked()
{
    chooseStyle(
        m_session,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        1);
}

void MainDialog::on_settings_btn_CN2_clicked()
{
    chooseStyle(
        m_session,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        2);
}

void MainDialog::on_settings_btn_EN1_clicked()
{
    chooseStyle(
        m_session,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        3);
}

void MainDialog::on_settings_btn_EN2_clicked()
{
    chooseStyle(
        m_session,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        4);
}

void MainDialog::on_settings_btn_clearcurrent_clicked()
{
    m_session.zeroCurrent();
}

void MainDialog::on_settings_btn_factory_reset_clicked()
{
    m_session.factoryReset();
}

void MainDialog::on_settings_btn_datazero_clicked()
{
    m_session.clearData();
}

void MainDialog::on_settings_slider_worklight_valueChanged(int value)
{
    if (levelChanged(m_session, ui->settings_slider_worklight, ui->settings_label_worklight,
                     Level::Brightness, value))
        qCDebug(lcUi) << "工作屏幕亮度测试行：0000000000000";
}

void MainDialog::on_settings_slider_standlight_valueChanged(int value)
{
    levelChanged(m_session, ui->settings_slider_standlight, ui->settings_label_standlight,
                 Level::StandbyBrightness, value);
}

void MainDialog::on_settings_slider_standtime_valueChanged(int value)
{
    levelChanged(m_session, ui->settings_slider_standtime, ui->settings_label_standtime,
                 Level::StandbyTime, value);
}

void MainDialog::on_settings_slider_voltcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->settings_slider_voltcali, ui->settings_lab_califact_voltvalue,
                       Calibration::Voltage, value);
}

void MainDialog::on_settings_slider_currcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->settings_slider_currcali, ui->settings_lab_califact_currvalue,
                       Calibration::Current, value);
}

void MainDialog::on_settings_slider_tempcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->settings_slider_tempcali, ui->settings_lab_califact_tempvalue,
                       Calibration::Temperature, value);
}

void MainDialog::on_settings_edit_timeh_editingFinished()
{
    commitTime(ui->settings_edit_timeh, [this](int h) { return m_session.setTimeLimitHours(h); });
}

void MainDialog::on_settings_edit_timem_editingFinished()
{
    commitTime(ui->settings_edit_timem, [this](int m) { return m_session.setTimeLimitMinutes(m); });
}

void MainDialog::on_settings_edit_voltzero_editingFinished()
{
    commitFloat(ui->settings_edit_voltzero,
                [this](float v) { return m_session.setCutoffVoltage(v); });
}

void MainDialog::on_settings_edit_voltfull_editingFinished()
{
    commitFloat(ui->settings_edit_voltfull,
                [this](float v) { return m_session.setFullVoltage(v); });
}

void MainDialog::on_settings_edit_currfull_editingFinished()
{
    commitFloat(ui->settings_edit_currfull,
                [this](float v) { return m_session.setFullCurrent(v); });
}

void MainDialog::on_settings_edit_currover_editingFinished()
{
    commitFloat(ui->settings_edit_currover,
                [this](float v) { return m_session.setThreshold(Threshold::OverCurrent, v); });
}

void MainDialog::on_settings_edit_poweover_editingFinished()
{
    commitFloat(ui->settings_edit_poweover,
                [this](float v) { return m_session.setThreshold(Threshold::OverPower, v); });
}

void MainDialog::on_settings_edit_ntcover_editingFinished()
{
    commitFloat(ui->settings_edit_ntcover,
                [this](float v) { return m_session.setThreshold(Threshold::ProbeTemperature, v); });
}

void MainDialog::on_settings_edit_mosover_editingFinished()
{
    commitFloat(ui->settings_edit_mosover,
                [this](float v) { return m_session.setThreshold(Threshold::MosTemperature, v); });
}

// ---- power tester page ---------------------------------------------------------

void MainDialog::on_RX41_settings_btn_CN_clicked()
{
    chooseStyle(m_session, {ui->RX41_settings_btn_CN, ui->RX41_settings_btn_EN}, 1);
}

void MainDialog::on_RX41_settings_btn_EN_clicked()
{
    chooseStyle(m_session, {ui->RX41_settings_btn_CN, ui->RX41_settings_btn_EN}, 2);
}

void MainDialog::on_RX41_settings_btn_clearcurrent_clicked()
{
    m_session.zeroCurrent();
}

void MainDialog::on_RX41_settings_btn_datazero_clicked()
{
    m_session.clearData();
}

void MainDialog::on_RX41_settings_btn_factory_reset_clicked()
{
    m_session.factoryReset();
}

void MainDialog::on_RX41_settings_slider_worklight_valueChanged(int value)
{
    if (levelChanged(m_session, ui->RX41_settings_slider_worklight,
                     ui->RX41_settings_label_worklight, Level::Brightness, value))
        qCDebug(lcUi) << "工作屏幕亮度测试行：0000000000000";
}

void MainDialog::on_RX41_settings_slider_standlight_valueChanged(int value)
{
    levelChanged(m_session, ui->RX41_settings_slider_standlight, ui->RX41_settings_label_standlight,
                 Level::StandbyBrightness, value);
}

void MainDialog::on_RX41_settings_slider_standtime_valueChanged(int value)
{
    levelChanged(m_session, ui->RX41_settings_slider_standtime, ui->RX41_settings_label_standtime,
                 Level::StandbyTime, value);
}

void MainDialog::on_RX41_settings_slider_voltcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->RX41_settings_slider_voltcali,
                       ui->RX41_settings_lab_califact_voltvalue, Calibration::Voltage, value);
}

void MainDialog::on_RX41_settings_slider_currcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->RX41_settings_slider_currcali,
                       ui->RX41_settings_lab_califact_currvalue, Calibration::Current, value);
}

void MainDialog::on_RX41_settings_slider_tempcali_valueChanged(int value)
{
    calibrationChanged(m_session, ui->RX41_settings_slider_tempcali,
                       ui->RX41_settings_lab_califact_tempvalue, Calibration::Temperature, value);
}

void MainDialog::on_RX41_settings_edit_overvolt_editingFinished()
{
    commitFloat(ui->RX41_settings_edit_overvolt,
                [this](float v) { return m_session.setFullVoltage(v); });
}

void MainDialog::on_RX41_settings_edit_lowvolt_editingFinished()
{
    commitFloat(ui->RX41_settings_edit_lowvolt,
                [this](float v) { return m_session.setCutoffVoltage(v); });
}

void MainDialog::on_RX41_settings_edit_overpower_editingFinished()
{
    commitFloat(ui->RX41_settings_edit_overpower,
                [this](float v) { return m_session.setThreshold(Threshold::OverPower, v); });
}

void MainDialog::on_RX41_settings_edit_ntcover_editingFinished()
{
    commitFloat(ui->RX41_settings_edit_ntcover,
                [this](float v) { return m_session.setThreshold(Threshold::ProbeTemperature, v); });
}

void MainDialog::on_RX41_setting_comboBox_currentIndexChanged(int index)
{
    QComboBox *combo = ui->RX41_setting_comboBox;
    // Only the user's choice goes out; the report's own value arrives here too.
    if (combo->hasFocus()) {
        m_session.setShunt(index);
        qCDebug(lcUi) << "I'm coming:" << index;
    }
    combo->clearFocus();
}
