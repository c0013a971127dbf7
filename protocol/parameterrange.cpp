#include "parameterrange.h"

#include <cmath>
#include <iterator>

namespace ParameterRange {

namespace {

// The instrument's measuring limits bound what its settings can mean.
constexpr double MaxVolts = 300;
constexpr double MaxAmps = 100;
constexpr double MaxWatts = 30000;
constexpr double MaxOhms = 999999;
constexpr double MaxCelsius = 300;
// The calibration sliders run from 0.5 to 2; a factor far outside is no factor.
constexpr double MinFactor = 0.1;
constexpr double MaxFactor = 10;
constexpr int MaxHours = 99;
constexpr int MaxMinutes = 59;

static_assert(std::size(ParameterReportFloats) == TimeLimit,
              "Field follows the parameter report's float fields");

} // namespace

Range range(Field field, quint8 workMode)
{
    switch (field) {
    case SetValue:
        switch (workMode) {
        case 1:
            return {0, MaxVolts};
        case 2:
            return {0, MaxOhms};
        case 3:
            return {0, MaxWatts};
        case 0:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
            return {0, MaxAmps};
        default:
            return {0, MaxOhms};
        }
    case TempCalibration:
    case VoltCalibration:
    case CurrCalibration:
        return {MinFactor, MaxFactor};
    case CutoffVoltage:
    case FullVoltage:
        return {0, MaxVolts};
    case FullCurrent:
    case OverCurrent:
        return {0, MaxAmps};
    case OverPower:
        return {0, MaxWatts};
    case NtcOverTemp:
    case MosOverTemp:
        return {0, MaxCelsius};
    case TimeLimit:
        return {0, MaxHours * 60 + MaxMinutes};
    }
    return {0, 0};
}

float value(const MeasurementRecord &r, Field field)
{
    return field == TimeLimit ? 0.0f : r.*ParameterReportFloats[field];
}

bool valid(const MeasurementRecord &r, Field field)
{
    if (field == TimeLimit)
        return r.timeLimitHours <= MaxHours && r.timeLimitMinutes <= MaxMinutes;
    const double v = double(value(r, field));
    const Range limits = range(field, r.workMode);
    return std::isfinite(v) && v >= limits.low && v <= limits.high;
}

QString invalidText()
{
    return QStringLiteral("--");
}

} // namespace ParameterRange
