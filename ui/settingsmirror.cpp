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

void mirrorCalibration(QSlider *slider, QLabel *factorLabel, float factor)
{
    factorLabel->setText(ReadingFormat::calibrationFactor(factor));
    setSliderIfFree(slider, calibrationSliderPosition(factor));
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
    mirrorCalibration(ui.settings_slider_voltcali, ui.settings_lab_califact_voltvalue,
                      r.voltCalibration);
    mirrorCalibration(ui.settings_slider_currcali, ui.settings_lab_califact_currvalue,
                      r.currCalibration);
    mirrorCalibration(ui.settings_slider_tempcali, ui.settings_lab_califact_tempvalue,
                      r.tempCalibration);
    setIfFree(ui.settings_edit_voltzero, cutoffVoltage(r.cutoffVoltage));
    setIfFree(ui.settings_edit_voltfull, fullVoltage(r.fullVoltage));
    setIfFree(ui.settings_edit_currfull, fullCurrent(r.fullCurrent));
    setIfFree(ui.settings_edit_currover, overCurrent(r.overCurrent));
    setIfFree(ui.settings_edit_poweover, overPower(r.overPower));
    setIfFree(ui.settings_edit_ntcover, ntcOverTemperature(r.ntcOverTemp));
    setIfFree(ui.settings_edit_mosover, mosOverTemperature(r.mosOverTemp));
    setIfFree(ui.settings_edit_timeh, twoDigits(r.timeLimitHours));
    setIfFree(ui.settings_edit_timem, twoDigits(r.timeLimitMinutes));
    qDebug().noquote() << "load parameters: style" << r.languageStyle << "brightness"
                       << r.workBrightness << r.standbyBrightness << r.standbyTime << "factors"
                       << calibrationFactor(r.voltCalibration)
                       << calibrationFactor(r.currCalibration)
                       << calibrationFactor(r.tempCalibration);
}

void mirrorTester(MainDialogUi &ui, const MeasurementRecord &r)
{
    using namespace ReadingFormat;
    using ReadingsView::setIfFree;
    markStyle({ui.RX41_settings_btn_CN, ui.RX41_settings_btn_EN}, int(r.languageStyle) - 1);
    qDebug() << "工作亮度:" << r.workBrightness;
    qDebug() << "待机亮度:" << r.standbyBrightness;
    mirrorLevel(ui.RX41_settings_slider_worklight, ui.RX41_settings_label_worklight,
                r.workBrightness);
    mirrorLevel(ui.RX41_settings_slider_standlight, ui.RX41_settings_label_standlight,
                r.standbyBrightness);
    mirrorLevel(ui.RX41_settings_slider_standtime, ui.RX41_settings_label_standtime, r.standbyTime);
    mirrorCalibration(ui.RX41_settings_slider_voltcali, ui.RX41_settings_lab_califact_voltvalue,
                      r.voltCalibration);
    mirrorCalibration(ui.RX41_settings_slider_currcali, ui.RX41_settings_lab_califact_currvalue,
                      r.currCalibration);
    mirrorCalibration(ui.RX41_settings_slider_tempcali, ui.RX41_settings_lab_califact_tempvalue,
                      r.tempCalibration);
    setIfFree(ui.RX41_settings_edit_lowvolt, cutoffVoltage(r.cutoffVoltage));
    setIfFree(ui.RX41_settings_edit_overvolt, fullVoltage(r.fullVoltage));
    setIfFree(ui.RX41_settings_edit_overpower, overPower(r.overPower));
    setIfFree(ui.RX41_settings_edit_ntcover, ntcOverTemperature(r.ntcOverTemp));
    // Byte 53 carries the shunt size on a power tester.
    const int shunt = shuntIndex(r.timeLimitHours);
    QComboBox *combo = ui.RX41_setting_comboBox;
    if (shunt >= 0 && shunt < combo->count() && !combo->hasFocus())
        combo->setCurrentIndex(shunt);
}

} // namespace SettingsMirror
