#pragma once

#include "parameterrange.h"

#include <QString>

// Texts of the readings page: every reading as the page shows it, so the
// window and the command-line tool print the same digits. Numbers are put in
// fixed notation, right-aligned in a field of zeros with the minus sign (when
// there is one) before the zeros: 5.1 V gives "0005.10", -1.5 A "-01.500".
// A value too wide for its field is shown whole, never cut.
namespace ReadingFormat {

// The general rule: `width` characters at least, `decimals` after the point.
QString fixed(double value, int width, int decimals);
// A two-digit field of an integer (hours, minutes): 5 gives "05".
QString twoDigits(int value);

// The ten readings of the measurement report.
QString voltage(float v);        // (7, 2): 12.345 gives 0012.35
QString current(float a);        // (7, 3): 1.5 gives 001.500
QString power(float w);          // (7, 2)
QString resistance(float ohm);   // (7, 2)
QString energy(float wh);        // (7, 1)
QString capacity(float mah);     // (6, 0): 1234 gives 001234
QString cpuTemperature(float c); // (4, 1)
// The probe reads "--.-" below -30.0 °C (absent or broken), else (4, 1).
QString ntcTemperature(float c);
QString mosTemperature(float c); // (4, 1)
QString fanSpeed(float rpm);     // (4, 0)
constexpr float NtcAbsentBelow = -30.0f;
QString ntcAbsentText(); // "--.-"

// The parameter report's values as the edits show them.
QString fullCurrent(float a);        // (5, 2)
QString fullVoltage(float v);        // (5, 1)
QString cutoffVoltage(float v);      // (5, 1)
QString overCurrent(float a);        // (5, 2)
QString overPower(float w);          // (4, 0)
QString ntcOverTemperature(float c); // (3, 0)
QString mosOverTemperature(float c); // (3, 0)
// Calibration factors: 3 decimals, no field width (1.0234 gives 1.023).
QString calibrationFactor(float factor);
// The calibration sliders' position: 1000 x factor, truncated toward zero.
int calibrationSliderValue(float factor);

// Where the work mode's title goes on the window.
enum class TitleTarget {
    None,         // nothing changes (mode 10 and above, or mode 0 of an unknown family)
    DisplayTitle, // disp_labTitle of the readings page
    SixTitle,     // six_labTitle of the test-function page
};

// How the readings page presents one work mode (byte 48 of the parameter report).
struct WorkMode
{
    bool known = false;                          // modes 0 to 9
    TitleTarget titleTarget = TitleTarget::None; // where the mode's title goes (the window's words)
    bool captionChanges = false;                 // false: caption and unit stay as they were
    QString caption;                             // "Is:", "Vs:", "Rs:" or "Ps:"
    QString unit;                                // "A", "V", "Ω" or "W"
    int setValueWidth = 0;                       // the set value's format; 0 for an empty text
    int setValueDecimals = 0;
};

// deviceClass (1 load, 4 power tester) only matters for mode 0's title.
WorkMode workMode(quint8 mode, quint8 deviceClass);
// The set value as the set-value edit shows it in this mode; empty from mode 10 on.
QString setValue(quint8 mode, float value);

// A field of the parameter report as the window shows it (the formats above;
// the time limit as hours, see timeLimitMinutes), or "--" when the report
// holds a value that cannot be (ParameterRange).
QString parameter(const MeasurementRecord &r, ParameterRange::Field field);
QString timeLimitMinutes(const MeasurementRecord &r);

// A span of time, rounded to whole seconds (never below 0), as the programs
// print it: "1h02m03s", "15m00s", "42s".
QString durationText(double seconds);
// The same as a clock reads it, "1:02:03"; a span that is no number is 0.
QString clockDuration(double seconds);

} // namespace ReadingFormat
