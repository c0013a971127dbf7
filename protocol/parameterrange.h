#pragma once

#include "measurementrecord.h"

#include <QString>

// What a parameter report may hold. The report carries raw floats and bytes,
// and a confused or hostile instrument can send NaN, infinities or values no
// instrument of the family can have. Such a field is shown as "--" (null in
// JSON) and never sent back; the rest of the report is still used.
namespace ParameterRange {

enum Field {
    SetValue,
    TempCalibration,
    VoltCalibration,
    CurrCalibration,
    CutoffVoltage,
    FullVoltage,
    FullCurrent,
    OverCurrent,
    OverPower,
    NtcOverTemp,
    MosOverTemp,
    TimeLimit, // hours and minutes together (an electronic load's)
};

struct Range
{
    double low;
    double high;
};

// The range of a float field; the set value's depends on the work mode.
Range range(Field field, quint8 workMode = 0);
// The value of a float field (0 for the time limit).
float value(const MeasurementRecord &r, Field field);
// Finite and within the field's range (the time limit: up to 99 h 59 min).
bool valid(const MeasurementRecord &r, Field field);
// The text shown instead of a value that cannot be.
QString invalidText();

} // namespace ParameterRange
