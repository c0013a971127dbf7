#include "readingsview.h"

#include "devicemodel.h"
#include "readingformat.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

namespace ReadingsView {

void setIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

bool setIfFree(QLineEdit *edit, const QString &text)
{
    if (edit->hasFocus())
        return false;
    if (edit->text() != text)
        edit->setText(text);
    return true;
}

QString modeTitle(quint8 mode, quint8 deviceClass)
{
    // The titles keep the translation context they were written in; marked so
    // lupdate collects them, as it cannot see through the lookup below.
    static const char *const titles[] = {
        QT_TRANSLATE_NOOP("ReadingFormat", "恒电流模式"),
        QT_TRANSLATE_NOOP("ReadingFormat", "恒电压模式"),
        QT_TRANSLATE_NOOP("ReadingFormat", "恒电阻模式"),
        QT_TRANSLATE_NOOP("ReadingFormat", "恒功率模式"),
        QT_TRANSLATE_NOOP("ReadingFormat", "测内阻"),
        QT_TRANSLATE_NOOP("ReadingFormat", "测电源"),
        QT_TRANSLATE_NOOP("ReadingFormat", "测线组"),
        QT_TRANSLATE_NOOP("ReadingFormat", "充放充"),
        QT_TRANSLATE_NOOP("ReadingFormat", "充放充放充"),
        QT_TRANSLATE_NOOP("ReadingFormat", "充放电循环测试"),
    };
    static const char *const chartTitle = QT_TRANSLATE_NOOP("ReadingFormat", "数据图表展示");
    if (mode > 9 || (mode == 0 && deviceClass != DeviceModel::ElectronicLoad &&
                     deviceClass != DeviceModel::PowerTester))
        return QString();
    const char *title =
        mode == 0 && deviceClass == DeviceModel::PowerTester ? chartTitle : titles[mode];
    return QCoreApplication::translate("ReadingFormat", title);
}

void writeLiveValues(QLabel *volt, QLabel *curr, QLabel *temp, const MeasurementRecord &r)
{
    setIfChanged(volt, ReadingFormat::voltage(r.voltage));
    setIfChanged(curr, ReadingFormat::current(r.current));
    setIfChanged(temp, ReadingFormat::ntcTemperature(r.ntcTemp));
}

} // namespace ReadingsView
