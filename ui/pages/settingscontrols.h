#pragma once

#include "instrumentsession.h"

#include <QList>

class QLabel;
class QPushButton;
class QSlider;

// What the controls of both settings pages send. Sliders send only under the
// pointer and edits only with the keyboard focus, so values the instrument
// reports back never echo to it.
namespace SettingsControls {

// A style button pressed by the user: its look, then the style number.
void chooseStyle(InstrumentSession &s, const QList<QPushButton *> &group, int style);

// Brightness and standby time: the number beside the slider always follows;
// the instrument hears of it only when the pointer is on the slider. True
// when it was sent.
bool levelChanged(InstrumentSession &s, QSlider *slider, QLabel *label,
                  InstrumentSession::Level level, int value);

// A calibration slider under the pointer: the factor label and the command.
void calibrationChanged(InstrumentSession &s, QSlider *slider, QLabel *factorLabel,
                        InstrumentSession::Calibration which, int value);

} // namespace SettingsControls
