#include "readingformat.h"

#include <algorithm>
#include <cmath>

namespace ReadingFormat {

QString fixed(double value, int width, int decimals)
{
    // Qt puts the sign before the zeros when the fill character is '0'.
    return QStringLiteral("%1").arg(value, width, 'f', decimals, QLatin1Char('0'));
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString voltage(float v)
{
    return fixed(double(v), 7, 2);
}
QString current(float a)
{
    return fixed(double(a), 7, 3);
}
QString power(float w)
{
    return fixed(double(w), 7, 2);
}
QString resistance(float ohm)
{
    return fixed(double(ohm), 7, 2);
}
QString energy(float wh)
{
    return fixed(double(wh), 7, 1);
}
QString capacity(float mah)
{
    return fixed(double(mah), 6, 0);
}
QString cpuTemperature(float c)
{
    return fixed(double(c), 4, 1);
}
QString mosTemperature(float c)
{
    return fixed(double(c), 4, 1);
}
QString fanSpeed(float rpm)
{
    return fixed(double(rpm), 4, 0);
}

QString ntcAbsentText()
{
    return QStringLiteral("--.-");
}

QString ntcTemperature(float c)
{
    return c < NtcAbsentBelow ? ntcAbsentText() : fixed(double(c), 4, 1);
}

QString fullCurrent(float a)
{
    return fixed(double(a), 5, 2);
}
QString fullVoltage(float v)
{
    return fixed(double(v), 5, 1);
}
QString cutoffVoltage(float v)
{
    return fixed(double(v), 5, 1);
}
QString overCurrent(float a)
{
    return fixed(double(a), 5, 2);
}
QString overPower(float w)
{
    return fixed(double(w), 4, 0);
}
QString ntcOverTemperature(float c)
{
    return fixed(double(c), 3, 0);
}
QString mosOverTemperature(float c)
{
    return fixed(double(c), 3, 0);
}

QString calibrationFactor(float factor)
{
    return QString::number(double(factor), 'f', 3);
}

int calibrationSliderValue(float factor)
{
    return int(1000.0f * factor);
}

WorkMode workMode(quint8 mode, quint8 deviceClass)
{
    WorkMode m;
    if (mode > 9)
        return m;
    m.known = true;
    m.setValueWidth = 7;
    m.setValueDecimals = 4;
    m.captionChanges = true;
    m.caption = QStringLiteral("Is:");
    m.unit = QStringLiteral("A");
    m.titleTarget = TitleTarget::DisplayTitle;
    switch (mode) {
    case 0:
        if (deviceClass != 1 && deviceClass != 4)
            m.titleTarget = TitleTarget::None;
        break;
    case 1:
        m.caption = QStringLiteral("Vs:");
        m.unit = QStringLiteral("V");
        m.setValueWidth = 6;
        m.setValueDecimals = 2;
        break;
    case 2:
        m.caption = QStringLiteral("Rs:");
        m.unit = QStringLiteral("Ω");
        m.setValueDecimals = 2;
        break;
    case 3:
        m.caption = QStringLiteral("Ps:");
        m.unit = QStringLiteral("W");
        m.setValueWidth = 6;
        m.setValueDecimals = 1;
        break;
    case 4:
        m.titleTarget = TitleTarget::SixTitle;
        break;
    case 5:
        m.titleTarget = TitleTarget::SixTitle;
        break;
    case 6:
        m.titleTarget = TitleTarget::SixTitle;
        break;
    case 7:
        break;
    case 8:
        break;
    case 9:
        m.titleTarget = TitleTarget::SixTitle;
        m.captionChanges = false;
        m.caption.clear();
        m.unit.clear();
        break;
    }
    return m;
}

QString setValue(quint8 mode, float value)
{
    const WorkMode m = workMode(mode, 0);
    if (!m.known)
        return QString();
    return fixed(double(value), m.setValueWidth, m.setValueDecimals);
}

QString parameter(const MeasurementRecord &r, ParameterRange::Field field)
{
    using namespace ParameterRange;
    if (!valid(r, field))
        return field == SetValue && !workMode(r.workMode, 0).known ? QString() : invalidText();
    switch (field) {
    case SetValue:
        return setValue(r.workMode, r.setValue);
    case TempCalibration:
        return calibrationFactor(r.tempCalibration);
    case VoltCalibration:
        return calibrationFactor(r.voltCalibration);
    case CurrCalibration:
        return calibrationFactor(r.currCalibration);
    case CutoffVoltage:
        return cutoffVoltage(r.cutoffVoltage);
    case FullVoltage:
        return fullVoltage(r.fullVoltage);
    case FullCurrent:
        return fullCurrent(r.fullCurrent);
    case OverCurrent:
        return overCurrent(r.overCurrent);
    case OverPower:
        return overPower(r.overPower);
    case NtcOverTemp:
        return ntcOverTemperature(r.ntcOverTemp);
    case MosOverTemp:
        return mosOverTemperature(r.mosOverTemp);
    case TimeLimit:
        return twoDigits(r.timeLimitHours);
    }
    return QString();
}

QString timeLimitMinutes(const MeasurementRecord &r)
{
    return ParameterRange::valid(r, ParameterRange::TimeLimit) ? twoDigits(r.timeLimitMinutes)
                                                               : ParameterRange::invalidText();
}

QString durationText(double seconds)
{
    const qint64 total = std::isfinite(seconds) ? qint64(std::llround(std::max(0.0, seconds))) : 0;
    const qint64 h = total / 3600;
    const int m = int(total / 60 % 60);
    const int s = int(total % 60);
    if (h > 0)
        return QStringLiteral("%1h%2m%3s")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    if (m > 0)
        return QStringLiteral("%1m%2s").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1s").arg(s);
}

QString clockDuration(double seconds)
{
    const qint64 s = std::isfinite(seconds) ? qint64(std::llround(seconds)) : 0;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace ReadingFormat
