#include "settingsmirror.h"

#include "maindialogui.h"
#include "readingformat.h"
#include "readingsview.h"

#include <QDebug>
#include <QSignalBlocker>
#include <cmath>

namespace SettingsMirror {

namespace {

const char *const Hover =
    "QPushButton:hover{background-color:rgb(126, 255, 206); color: black;}"
    "QPushButton:pressed{background-color:rgb(0, 255, 0);border-style: inset;}";

// Brightness and standby: the slider and the number beside it.
void mirrorLevel(QSlider *slider, QLabel *label, int value)
{
    if (setSliderIfFree(slider, value))
        label->setNum(slider->value());
}

void mirrorCalibration(QSlider *slider, QLabel *factorLabel, const MeasurementRecord &r,
                       ParameterRange::Field field)
{
    factorLabel->setText(ReadingFormat::parameter(r, field));
    // A factor that cannot be leaves the slider where it is.
    if (ParameterRange::valid(r, field))
        setSliderIfFree(slider, calibrationSliderPosition(ParameterRange::value(r, field)));
}

} // namespace

QString selectedStyle()
{
    return QStringLiteral("QPushButton{background-color: rgb(0, 170, 0);}") + QLatin1String(Hover);
}

QString normalStyle()
{
    return QStringLiteral("QPushButton{background-color: rgb(72, 72, 72);}") + QLatin1String(Hover);
}

void markStyle(const QList<QPushButton *> &group, int chosen)
{
    if (chosen < 0 || chosen >= group.size())
        return;
    for (int i = 0; i < group.size(); ++i) {
        const QString style = i == chosen ? selectedStyle() : normalStyle();
        if (group[i]->styleSheet() != style)
            group[i]->setStyleSheet(style);
    }
}

int calibrationSliderPosition(float factor)
{
    return int(std::lround(1000.0 * double(factor)));
}

int shuntIndex(quint8 reported)
{
    if (reported == 30)
        return 0;
    if (reported == 10)
        return 7;
    if (reported >= 1 && reported <= 6)
        return reported;
    return -1;
}

bool setSliderIfFree(QSlider *slider, int value)
{
    if (slider->hasFocus())
        return false;
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
    return true;
}

void mirrorLoad(MainDialogUi &ui, const MeasurementRecord &r)
{
    using namespace ReadingFormat;
    using ReadingsView::setIfFree;
    markStyle({ui.settings_btn_CN1, ui.settings_btn_CN2, ui.settings_btn_EN1, ui.settings_btn_EN2},
              int(r.languageStyle) - 1);
    mirrorLevel(ui.settings_slider_worklight, ui.settings_label_worklight, r.workBrightness);
    mirrorLevel(ui.settings_slider_standlight, ui.settings_label_standlight, r.standbyBrightness);
    mirrorLevel(ui.settings_slider_standtime, ui.settings_label_standtime, r.standbyTime);
    mirrorCalibration(ui.settings_slider_voltcali, ui.settings_lab_califact_voltvalue, r,
                      ParameterRange::VoltCalibration);
    mirrorCalibration(ui.settings_slider_currcali, ui.settings_lab_califact_currvalue, r,
                      ParameterRange::CurrCalibration);
    mirrorCalibration(ui.settings_slider_tempcali, ui.settings_lab_califact_tempvalue, r,
                      ParameterRange::TempCalibration);
    using namespace ParameterRange;
    setIfFree(ui.settings_edit_voltzero, parameter(r, CutoffVoltage));
    setIfFree(ui.settings_edit_voltfull, parameter(r, FullVoltage));
    setIfFree(ui.settings_edit_currfull, parameter(r, FullCurrent));
    setIfFree(ui.settings_edit_currover, parameter(r, OverCurrent));
    setIfFree(ui.settings_edit_poweover, parameter(r, OverPower));
    setIfFree(ui.settings_edit_ntcover, parameter(r, NtcOverTemp));
    setIfFree(ui.settings_edit_mosover, parameter(r, MosOverTemp));
    setIfFree(ui.settings_edit_timeh, parameter(r, TimeLimit));
    setIfFree(ui.settings_edit_timem, timeLimitMinutes(r));
}

void mirrorTester(MainDialogUi &ui, const MeasurementRecord &r)
{
    using namespace ReadingFormat;
    using ReadingsView::setIfFree;
    markStyle({ui.RX41_settings_btn_CN, ui.RX41_settings_btn_EN}, int(r.languageStyle) - 1);
    mirrorLevel(ui.RX41_settings_slider_worklight, ui.RX41_settings_label_worklight,
                r.workBrightness);
    mirrorLevel(ui.RX41_settings_slider_standlight, ui.RX41_settings_label_standlight,
                r.standbyBrightness);
    mirrorLevel(ui.RX41_settings_slider_standtime, ui.RX41_settings_label_standtime, r.standbyTime);
    mirrorCalibration(ui.RX41_settings_slider_voltcali, ui.RX41_settings_lab_califact_voltvalue, r,
                      ParameterRange::VoltCalibration);
    mirrorCalibration(ui.RX41_settings_slider_currcali, ui.RX41_settings_lab_califact_currvalue, r,
                      ParameterRange::CurrCalibration);
    mirrorCalibration(ui.RX41_settings_slider_tempcali, ui.RX41_settings_lab_califact_tempvalue, r,
                      ParameterRange::TempCalibration);
    setIfFree(ui.RX41_settings_edit_lowvolt, parameter(r, ParameterRange::CutoffVoltage));
    setIfFree(ui.RX41_settings_edit_overvolt, parameter(r, ParameterRange::FullVoltage));
    setIfFree(ui.RX41_settings_edit_overpower, parameter(r, ParameterRange::OverPower));
    setIfFree(ui.RX41_settings_edit_ntcover, parameter(r, ParameterRange::NtcOverTemp));
    // Byte 53 carries the shunt size on a power tester.
    const int shunt = shuntIndex(r.timeLimitHours);
    QComboBox *combo = ui.RX41_setting_comboBox;
    if (shunt >= 0 && shunt < combo->count() && !combo->hasFocus())
        combo->setCurrentIndex(shunt);
}

} // namespace SettingsMirror
