#include "readingsview.h"

#include "devicemodel.h"
#include "homemenu.h"
#include "maindialogui.h"
#include "readingformat.h"

#include <QCoreApplication>

namespace ReadingsView {

namespace {

void setText(QLabel *label, const QString &text)
{
    // Unchanged texts cost no relayout of the big readings.
    if (label->text() != text)
        label->setText(text);
}

} // namespace

bool setIfFree(QLineEdit *edit, const QString &text)
{
    if (edit->hasFocus())
        return false;
    if (edit->text() != text)
        edit->setText(text);
    return true;
}

void writeReadings(MainDialogUi &ui, const MeasurementRecord &r)
{
    using namespace ReadingFormat;
    const QString texts[] = {
        voltage(r.voltage),        current(r.current),        power(r.power),
        resistance(r.resistance),  energy(r.energy),          capacity(r.capacity),
        cpuTemperature(r.cpuTemp), ntcTemperature(r.ntcTemp), mosTemperature(r.mosTemp),
        fanSpeed(r.fanSpeed)};
    QLabel *labels[] = {ui.disp_label_VOL,       ui.disp_label_CUR,       ui.disp_label_POW,
                        ui.disp_label_RES,       ui.disp_label_ELE,       ui.disp_label_CAP,
                        ui.disp_label_CPU_VALUE, ui.disp_label_NTC_VALUE, ui.disp_label_FANT_VALUE,
                        ui.disp_label_FANS_VALUE};
    for (int i = 0; i < 10; ++i)
        setText(labels[i], texts[i]);
}

QString modeTitle(quint8 mode, quint8 deviceClass)
{
    // The titles keep the translation context they were written in.
    static const char *const titles[] = {"恒电流模式", "恒电压模式",    "恒电阻模式", "恒功率模式",
                                         "测内阻",     "测电源",        "测线组",     "充放充",
                                         "充放充放充", "充放电循环测试"};
    if (mode > 9 || (mode == 0 && deviceClass != DeviceModel::ElectronicLoad &&
                     deviceClass != DeviceModel::PowerTester))
        return QString();
    const char *title =
        mode == 0 && deviceClass == DeviceModel::PowerTester ? "数据图表展示" : titles[mode];
    return QCoreApplication::translate("ReadingFormat", title);
}

void writeWorkMode(MainDialogUi &ui, const MeasurementRecord &r, quint8 deviceClass)
{
    const ReadingFormat::WorkMode m = ReadingFormat::workMode(r.workMode, deviceClass);
    const QString title = modeTitle(r.workMode, deviceClass);
    switch (m.titleTarget) {
    case ReadingFormat::TitleTarget::DisplayTitle:
        setText(ui.disp_labTitle, title);
        break;
    case ReadingFormat::TitleTarget::SixTitle:
        setText(ui.six_labTitle, title);
        break;
    case ReadingFormat::TitleTarget::None:
        break;
    }
    if (m.captionChanges) {
        // The menu entries set the same captions; both go through one translation.
        setText(ui.label_cons, HomeMenu::translated(m.caption.toUtf8().constData()));
        setText(ui.label_unit, HomeMenu::translated(m.unit.toUtf8().constData()));
    }
}

void writeEdits(MainDialogUi &ui, const MeasurementRecord &r)
{
    using ReadingFormat::parameter;
    using namespace ParameterRange;
    setIfFree(ui.lineEdit_value, parameter(r, SetValue));
    setIfFree(ui.lineEdit_value_full_a, parameter(r, FullCurrent));
    setIfFree(ui.lineEdit_value_full_v, parameter(r, FullVoltage));
    setIfFree(ui.lineEdit_value_lilitime_h, parameter(r, TimeLimit));
    setIfFree(ui.lineEdit_value_limitime_m, ReadingFormat::timeLimitMinutes(r));
    setIfFree(ui.lineEdit_value_zero_v, parameter(r, CutoffVoltage));
}

void writeLiveValues(MainDialogUi &ui, const MeasurementRecord &r, quint8 deviceClass)
{
    QLabel *volt = nullptr, *curr = nullptr, *temp = nullptr;
    if (deviceClass == DeviceModel::ElectronicLoad) {
        volt = ui.settings_lab_voltvalue;
        curr = ui.settings_lab_currvalue;
        temp = ui.settings_lab_tempvalue;
    } else if (deviceClass == DeviceModel::PowerTester) {
        volt = ui.RX41_settings_lab_voltvalue;
        curr = ui.RX41_settings_lab_currvalue;
        temp = ui.RX41_settings_lab_tempvalue;
    } else {
        return;
    }
    setText(volt, ReadingFormat::voltage(r.voltage));
    setText(curr, ReadingFormat::current(r.current));
    setText(temp, ReadingFormat::ntcTemperature(r.ntcTemp));
}

} // namespace ReadingsView
