// The two settings pages: every control becomes one command frame. Sliders
// send only under the pointer and edits only with the keyboard focus, so
// values the instrument reports back never echo to it.
#include "commandframe.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "readingformat.h"
#include "settingsmirror.h"
#include "valueedit.h"

#include <QDebug>

using namespace CommandFrame;
using ValueEdit::Kind;

namespace {

// A style button pressed by the user: its look, then the style number.
void chooseStyle(MainDialog &w, const QList<QPushButton *> &group, int style)
{
    SettingsMirror::markStyle(group, style - 1);
    w.sendFrame(withLeadByte(w.busAddress(), DisplayStyle, style));
}

// Brightness and standby time: the number beside the slider always follows;
// the instrument hears of it only when the pointer is on the slider.
bool levelChanged(MainDialog &w, QSlider *slider, QLabel *label, unsigned char code, int value)
{
    label->setNum(value);
    if (!ValueEdit::pointerOver(slider))
        return false;
    w.sendFrame(withLowByte(w.busAddress(), code, value));
    return true;
}

void calibrationChanged(MainDialog &w, QSlider *slider, QLabel *factorLabel, unsigned char code,
                        int value)
{
    if (!ValueEdit::pointerOver(slider))
        return;
    const float factor = float(value) / 1000.0f;
    factorLabel->setText(ReadingFormat::calibrationFactor(factor));
    w.sendFrame(withFloat(w.busAddress(), code, factor));
}

} // namespace

// ---- electronic load page -------------------------------------------------------

void MainDialog::on_settings_btn_CN1_clicked()
{
    chooseStyle(
        *this,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        1);
}

void MainDialog::on_settings_btn_CN2_clicked()
{
    chooseStyle(
        *this,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        2);
}

void MainDialog::on_settings_btn_EN1_clicked()
{
    chooseStyle(
        *this,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        3);
}

void MainDialog::on_settings_btn_EN2_clicked()
{
    chooseStyle(
        *this,
        {ui->settings_btn_CN1, ui->settings_btn_CN2, ui->settings_btn_EN1, ui->settings_btn_EN2},
        4);
}

void MainDialog::on_settings_btn_clearcurrent_clicked()
{
    sendFrame(plain(busAddress(), ZeroCurrent));
}

void MainDialog::on_settings_btn_factory_reset_clicked()
{
    sendFrame(plain(busAddress(), FactoryReset));
}

void MainDialog::on_settings_btn_datazero_clicked()
{
    sendFrame(plain(busAddress(), ClearData));
}

void MainDialog::on_settings_slider_worklight_valueChanged(int value)
{
    if (levelChanged(*this, ui->settings_slider_worklight, ui->settings_label_worklight,
                     WorkBrightness, value))
        qDebug() << "工作屏幕亮度测试行：0000000000000";
}

void MainDialog::on_settings_slider_standlight_valueChanged(int value)
{
    levelChanged(*this, ui->settings_slider_standlight, ui->settings_label_standlight,
                 StandbyBrightness, value);
}

void MainDialog::on_settings_slider_standtime_valueChanged(int value)
{
    levelChanged(*this, ui->settings_slider_standtime, ui->settings_label_standtime, StandbyTime,
                 value);
}

void MainDialog::on_settings_slider_voltcali_valueChanged(int value)
{
    calibrationChanged(*this, ui->settings_slider_voltcali, ui->settings_lab_califact_voltvalue,
                       VoltCalibration, value);
}

void MainDialog::on_settings_slider_currcali_valueChanged(int value)
{
    calibrationChanged(*this, ui->settings_slider_currcali, ui->settings_lab_califact_currvalue,
                       CurrCalibration, value);
}

void MainDialog::on_settings_slider_tempcali_valueChanged(int value)
{
    calibrationChanged(*this, ui->settings_slider_tempcali, ui->settings_lab_califact_tempvalue,
                       TempCalibration, value);
}

void MainDialog::on_settings_edit_timeh_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_timeh, TimeLimit, Kind::Hours);
}

void MainDialog::on_settings_edit_timem_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_timem, TimeLimit, Kind::Minutes);
}

void MainDialog::on_settings_edit_voltzero_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_voltzero, CutoffVoltage, Kind::Float);
}

void MainDialog::on_settings_edit_voltfull_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_voltfull, FullVoltage, Kind::Float);
}

void MainDialog::on_settings_edit_currfull_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_currfull, FullCurrent, Kind::Float);
}

void MainDialog::on_settings_edit_currover_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_currover, OverCurrent, Kind::Float);
}

void MainDialog::on_settings_edit_poweover_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_poweover, OverPower, Kind::Float);
}

void MainDialog::on_settings_edit_ntcover_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_ntcover, NtcOverTemp, Kind::Float);
}

void MainDialog::on_settings_edit_mosover_editingFinished()
{
    ValueEdit::commit(*this, ui->settings_edit_mosover, MosOverTemp, Kind::Float);
}

// ---- power tester page ---------------------------------------------------------

void MainDialog::on_RX41_settings_btn_CN_clicked()
{
    chooseStyle(*this, {ui->RX41_settings_btn_CN, ui->RX41_settings_btn_EN}, 1);
}

void MainDialog::on_RX41_settings_btn_EN_clicked()
{
    chooseStyle(*this, {ui->RX41_settings_btn_CN, ui->RX41_settings_btn_EN}, 2);
}

void MainDialog::on_RX41_settings_btn_clearcurrent_clicked()
{
    sendFrame(plain(busAddress(), ZeroCurrent));
}

void MainDialog::on_RX41_settings_btn_datazero_clicked()
{
    sendFrame(plain(busAddress(), ClearData));
}

void MainDialog::on_RX41_settings_btn_factory_reset_clicked()
{
    sendFrame(plain(busAddress(), FactoryReset));
}

void MainDialog::on_RX41_settings_slider_worklight_valueChanged(int value)
{
    if (levelChanged(*this, ui->RX41_settings_slider_worklight, ui->RX41_settings_label_worklight,
                     WorkBrightness, value))
        qDebug() << "工作屏幕亮度测试行：0000000000000";
}

void MainDialog::on_RX41_settings_slider_standlight_valueChanged(int value)
{
    levelChanged(*this, ui->RX41_settings_slider_standlight, ui->RX41_settings_label_standlight,
                 StandbyBrightness, value);
}

void MainDialog::on_RX41_settings_slider_standtime_valueChanged(int value)
{
    levelChanged(*this, ui->RX41_settings_slider_standtime, ui->RX41_settings_label_standtime,
                 StandbyTime, value);
}

void MainDialog::on_RX41_settings_slider_voltcali_valueChanged(int value)
{
    calibrationChanged(*this, ui->RX41_settings_slider_voltcali,
                       ui->RX41_settings_lab_califact_voltvalue, VoltCalibration, value);
}

void MainDialog::on_RX41_settings_slider_currcali_valueChanged(int value)
{
    calibrationChanged(*this, ui->RX41_settings_slider_currcali,
                       ui->RX41_settings_lab_califact_currvalue, CurrCalibration, value);
}

void MainDialog::on_RX41_settings_slider_tempcali_valueChanged(int value)
{
    calibrationChanged(*this, ui->RX41_settings_slider_tempcali,
                       ui->RX41_settings_lab_califact_tempvalue, TempCalibration, value);
}

void MainDialog::on_RX41_settings_edit_overvolt_editingFinished()
{
    ValueEdit::commit(*this, ui->RX41_settings_edit_overvolt, FullVoltage, Kind::Float);
}

void MainDialog::on_RX41_settings_edit_lowvolt_editingFinished()
{
    ValueEdit::commit(*this, ui->RX41_settings_edit_lowvolt, CutoffVoltage, Kind::Float);
}

void MainDialog::on_RX41_settings_edit_overpower_editingFinished()
{
    ValueEdit::commit(*this, ui->RX41_settings_edit_overpower, OverPower, Kind::Float);
}

void MainDialog::on_RX41_settings_edit_ntcover_editingFinished()
{
    ValueEdit::commit(*this, ui->RX41_settings_edit_ntcover, NtcOverTemp, Kind::Float);
}

void MainDialog::on_RX41_setting_comboBox_currentIndexChanged(int index)
{
    QComboBox *combo = ui->RX41_setting_comboBox;
    // Only the user's choice goes out; the report's own value arrives here too.
    if (combo->hasFocus()) {
        sendFrame(withLowByte(busAddress(), ShuntSize, index));
        qDebug() << "I'm coming:" << index;
    }
    combo->clearFocus();
}
