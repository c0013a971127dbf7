#include "historytexts.h"

#include "devicemodel.h"
#include "readingformat.h"
#include "readingsview.h"

#include <QCoreApplication>
#include <cmath>

namespace HistoryTexts {

namespace {

QString tr(const char *source)
{
    return QCoreApplication::translate("HistoryTexts", source);
}

QString number(double v, int decimals, const char *unit)
{
    return std::isfinite(v)
               ? QString::number(v, 'f', decimals) + QLatin1Char(' ') + QString::fromUtf8(unit)
               : QStringLiteral("--");
}

} // namespace

QString endReason(const QString &reason)
{
    if (reason == QLatin1String(EndReason::CutOff))
        return tr("到达截止电压");
    if (reason == QLatin1String(EndReason::TimeLimit))
        return tr("到达限定时间");
    if (reason == QLatin1String(EndReason::Stopped))
        return tr("已停止");
    if (reason == QLatin1String(EndReason::Cleared))
        return tr("记录已清除");
    if (reason == QLatin1String(EndReason::Closed))
        return tr("程序已关闭");
    if (reason == QLatin1String(EndReason::Interrupted))
        return tr("已中断");
    return reason.isEmpty() ? tr("进行中") : reason;
}

QList<QPair<QString, QString>> summaryRows(const RunSummary &s, const QString &reason)
{
    return {
        {tr("时长"), ReadingFormat::clockDuration(s.durationS)},
        {tr("容量"), number(s.capacityMah, 1, "mAh")},
        {tr("能量"), number(s.energyWh, 3, "Wh")},
        {tr("平均电压"), number(s.averageVolts, 3, "V")},
        {tr("最低电压"), number(s.minimumVolts, 3, "V")},
        {tr("平均电流"), number(s.averageAmps, 3, "A")},
        {tr("最高MOS温度"), number(s.maximumMosC, 1, "°C")},
        {tr("最高探头温度"),
         std::isfinite(s.maximumNtcC) ? number(s.maximumNtcC, 1, "°C") : tr("未接探头")},
        {tr("结束原因"), endReason(reason)},
    };
}

QString modeText(const RunInfo &info)
{
    if (info.deviceClass == DeviceModel::PowerTester)
        return ReadingsView::modeTitle(0, DeviceModel::PowerTester);
    const ReadingFormat::WorkMode m = ReadingFormat::workMode(quint8(info.workMode), 0);
    const QString title =
        ReadingsView::modeTitle(quint8(info.workMode), DeviceModel::ElectronicLoad);
    if (!m.known || m.unit.isEmpty())
        return title;
    return QStringLiteral("%1 %2 %3")
        .arg(title, QString::number(info.setValue, 'f', qMin(m.setValueDecimals, 3)), m.unit);
}

QString deviceText(const RunInfo &info)
{
    return QStringLiteral("%1 %2").arg(info.model, info.serial.left(6));
}

} // namespace HistoryTexts
