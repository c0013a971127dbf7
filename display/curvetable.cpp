#include "curvetable.h"

namespace Curves {

namespace {

// one row per curve reads better than one field per line
// clang-format off
const Info table[Count] = {
    {"VOLTAGE", SampleStore::Voltage, Standard, LeftAxis, "V", 2, 0, 20, 20, 20, "VBUS_col", "VBUS_lw",
     "VOLT", "Vbus_Min_Value", "Vbus_Max_Value", "VbusIsOpen", "VBUS", "VOLT:", 0, 1000},
    {"CURRENT", SampleStore::Current, Standard, InnerRightAxis, "A", 2, -25, 25, 10, 10, "IBUS_col",
     "IBUS_lw", "CURR", "Ibus_Min_Value", "Ibus_Max_Value", "IbusIsOpen", "IBUS", "CURR:", -100, 100},
    {"POWER", SampleStore::Power, Standard, OuterRightAxis, "W", 2, 0, 10, 10, 10, "POWER_col",
     "POWER_lw", "POWER", "Powe_Min_Value", "Powe_Max_Value", "PoweIsOpen", "POWER", "POWER:", 0,
     100000},
    {"ELE", SampleStore::Energy, EnergyGroup, LeftAxis, "Wh", 2, 0, 5, 5, 5, "PD_col", "PD_lw", "ELE",
     "PD_Min_Value", "PD_Max_Value", "PDIsOpen", "PD", "ELE:", 0, 100000},
    {"CAP", SampleStore::Capacity, EnergyGroup, InnerRightAxis, "mAh", 2, 0, 100, 5, 100, "PM_col",
     "PM_lw", "CAP", "PM_Min_Value", "PM_Max_Value", "PMIsOpen", "PM", "CAP:", 0, 1000000},
    {"CPU_T", SampleStore::CpuTemp, TemperatureGroup, LeftAxis, "\u2103", 1, 0, 40, 5, 40, "CC1_col",
     "CC1_lw", "CPU_Temp", "CC1_Min_Value", "CC1_Max_Value", "CC1IsOpen", "CC1", "CPU_T:", -100, 200},
    {"NTC_T", SampleStore::NtcTemp, TemperatureGroup, InnerRightAxis, "\u2103", 1, 0, 40, 5, 40,
     "CC2_col", "CC2_lw", "NTC_Temp", "CC2_Min_Value", "CC2_Max_Value", "CC2IsOpen", "CC2", "NTC_T:",
     -100, 200},
    {"MOS_T", SampleStore::MosTemp, MosGroup, LeftAxis, "\u2103", 1, 0, 40, 100, 40, "CPU_Temp_col",
     "CPU_Temp_lw", "MOS_Temp", "CPU_Min_Value", "CPU_Max_Value", "CPUIsOpen", "CPU", "MOS_T:", -100,
     200},
};
// clang-format on

} // namespace

const Info &info(int curve)
{
    return table[curve];
}

QString unitText(int curve)
{
    return QString::fromUtf8(table[curve].unit);
}

int groupCurves(Group g, int out[3])
{
    int n = 0;
    for (int c = 0; c < Count; ++c) {
        if (table[c].group == g)
            out[n++] = c;
    }
    return n;
}

} // namespace Curves
