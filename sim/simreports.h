#pragma once

#include <QByteArray>

// The instrument's input reports, written from its report layouts. This code
// is deliberately independent of the program's own decoder.
namespace SimReports {

struct Readings
{
    double voltage = 0;    // V
    double current = 0;    // A, may be negative
    double power = 0;      // W
    double resistance = 0; // ohm
    double energy = 0;     // Wh
    double capacity = 0;   // mAh
    double cpuTemp = 0;    // degrees C, may be negative
    double ntcTemp = 0;    // degrees C, may be negative
    double mosTemp = 0;    // degrees C, may be negative
    double fan = 0;        // rpm
    bool running = false;
    quint8 promptCountdown = 0; // seconds, 0 = no prompt
    quint8 promptChoices = 0;   // 2 or 3
    quint8 promptSelection = 0; // 1-based
};

struct Parameters
{
    float setValue = 1.0f;
    float tempCalibration = 1.0f;
    float voltCalibration = 1.0f;
    float currCalibration = 1.0f;
    float cutoffVoltage = 3.0f;
    float fullVoltage = 4.2f;
    float fullCurrent = 0.1f;
    float overCurrent = 20.0f;
    float overPower = 150.0f;
    float ntcOverTemp = 80.0f;
    float mosOverTemp = 100.0f;
    quint8 workMode = 0;
    quint8 displayStyle = 1;
    quint8 workBrightness = 5;
    quint8 standbyBrightness = 1;
    quint8 standbyTime = 60;
    quint8 limitHours = 0;
    quint8 limitMinutes = 0;
    quint8 shuntIndex = 0; // power tester: 0..7 for 30A..1000A
};

// AA 05 addr 05: ten scaled little-endian integers, run flag, prompt, sign flags.
QByteArray measurement(quint8 address, const Readings &r);
// AA 05 addr 03: eleven big-endian floats, mode and display bytes, EE FF at 62.
QByteArray parameters(quint8 address, const Parameters &p, bool powerTester);
// AA 05 addr 04: byte 4 says whether this instrument is the master; EE FF at 8.
QByteArray scanAnswer(quint8 address, bool master);

// Byte 53 of a power tester's parameter report for each shunt index.
quint8 shuntCode(quint8 index);

} // namespace SimReports
