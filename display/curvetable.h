#pragma once

#include "samplestore.h"

#include <QString>

// The eight charted curves in their fixed order, and what each one needs:
// its record quantity, the axis and group it belongs to, its labels and the
// settings keys of its appearance and custom range. The key names are odd on
// purpose: existing settings files use them.
namespace Curves {

enum Curve { Voltage = 0, Current, Power, Energy, Capacity, CpuTemp, NtcTemp, MosTemp, Count };

// Curve groups; exactly one is in the chart at a time.
enum Group { Standard = 0, EnergyGroup, TemperatureGroup, MosGroup, GroupCount };

// Value axes: left, inner right, outer right.
enum Axis { LeftAxis = 0, InnerRightAxis, OuterRightAxis, AxisCount };

struct Info
{
    const char *name; // legend name
    SampleStore::Quantity quantity;
    Group group;
    Axis axis;
    const char *unit; // UTF-8
    int decimals;     // axis labels and custom range values
    double defaultMin;
    double defaultMax;
    double startMaximum; // start of the running maximum
    double groupTop;     // axis top set when the group is shown
    const char *colourKey;
    const char *widthKey;
    const char *panelLabel; // row label of the curve settings panel
    const char *rangeMinKey;
    const char *rangeMaxKey;
    const char *rangeOnKey;
    const char *rangeName;  // name stem of the range panel's widgets
    const char *rangeLabel; // row label of the range panel
    double rangeBottom;     // accepted input of the range boxes
    double rangeTop;
};

const Info &info(int curve);
QString unitText(int curve);

// Curves of a group, in table order; returns how many (at most three).
int groupCurves(Group g, int out[3]);

} // namespace Curves
