#pragma once

#include "measurementrecord.h"
#include "parameterrange.h"

#include <QList>
#include <QString>

class QLabel;
class QPushButton;
class QSlider;

// The settings pages follow the instrument's parameter report: style
// buttons, sliders, factor labels, edits and the shunt combo box. A control
// the user is in (keyboard focus) is left alone, and nothing written here
// sends a command back: the instrument already has these values.
namespace SettingsMirror {

QString selectedStyle();
QString normalStyle();
// Gives the button at `chosen` the selected look and the rest the normal
// look; an index outside the group changes nothing.
void markStyle(const QList<QPushButton *> &group, int chosen);

// Slider position for a calibration factor: the nearest step of 1/1000, so
// a factor set from the slider comes back to the same position although
// single precision stores 1.234 as 1.2339999.
int calibrationSliderPosition(float factor);

// Moves a slider to `value` without the slider's own reaction (a command
// when the pointer happens to rest on it); false when the user holds it.
bool setSliderIfFree(QSlider *slider, int value);

// Brightness and standby: the slider and the number beside it.
void mirrorLevel(QSlider *slider, QLabel *label, int value);
// A calibration factor: its label, and the slider when the factor can be.
void mirrorCalibration(QSlider *slider, QLabel *factorLabel, const MeasurementRecord &r,
                       ParameterRange::Field field);

} // namespace SettingsMirror
