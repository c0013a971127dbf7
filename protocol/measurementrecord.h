#pragma once

#include <QByteArray>
#include <QtGlobal>

// The last values the instrument reported. Every field keeps its value until a
// later report overwrites it; measurement and parameter reports write
// disjoint fields.
struct MeasurementRecord
{
    // From the measurement report (kind 0x05).
    float voltage = 0;    // V
    float current = 0;    // A
    float power = 0;      // W
    float resistance = 0; // Ω
    float energy = 0;     // Wh
    float capacity = 0;   // mAh
    float cpuTemp = 0;    // °C
    float ntcTemp = 0;    // °C, external probe
    float mosTemp = 0;    // °C, discharge transistor
    float fanSpeed = 0;
    quint8 signFlags = 0;
    quint8 promptCountdown = 0; // seconds left on the continue-or-clear prompt, 0 = none
    quint8 promptChoiceCount = 0;
    quint8 promptSelection = 0; // counted from 1

    // From the parameter report (kind 0x03).
    quint8 languageStyle = 0;
    quint8 workBrightness = 0;
    quint8 standbyBrightness = 0;
    quint8 standbyTime = 0;
    quint8 workMode = 0;
    quint8 timeLimitHours = 0; // shunt size on a power tester
    quint8 timeLimitMinutes = 0;
    float setValue = 0;
    float tempCalibration = 0;
    float voltCalibration = 0;
    float currCalibration = 0;
    float cutoffVoltage = 0;
    float fullVoltage = 0;
    float fullCurrent = 0;
    float overCurrent = 0;
    float overPower = 0;
    float ntcOverTemp = 0;
    float mosOverTemp = 0;
};

// The float fields of a parameter report, in the report's order.
inline float MeasurementRecord::*const ParameterReportFloats[] = {
    &MeasurementRecord::setValue,        &MeasurementRecord::tempCalibration,
    &MeasurementRecord::voltCalibration, &MeasurementRecord::currCalibration,
    &MeasurementRecord::cutoffVoltage,   &MeasurementRecord::fullVoltage,
    &MeasurementRecord::fullCurrent,     &MeasurementRecord::overCurrent,
    &MeasurementRecord::overPower,       &MeasurementRecord::ntcOverTemp,
    &MeasurementRecord::mosOverTemp,
};

// Everything the decoder writes: the record and the values kept beside it.
// One instance per conversation with an instrument (the window has one, the
// command-line tool its own); it lives on the thread that reads the reports.
struct InstrumentState
{
    MeasurementRecord record;
    // Byte 52 of the last measurement report; the run button also sets it
    // ahead of the instrument's answer.
    bool running = false;
    // Set by every accepted parameter report, cleared by whoever shows them.
    bool parametersArrived = false;
    // Reports of this address are accepted; every command frame carries it.
    quint8 busAddress = 0x01;
    // The address that last answered the scan as master.
    quint8 masterAddress = 0x01;
    // Addresses that answered the bus scan, each once, in order of first answer.
    QByteArray addressList;
    // True from a bus scan's start until its list is built; the poll tick is silent meanwhile.
    bool scanning = false;
    // Counts the accepted measurement reports, so a sampler can tell a fresh
    // record from one that merely kept its last values.
    quint64 measurementSerial = 0;
};

// A sample is taken only from a measurement report that arrived since the
// previous sample: a record frozen by a lost instrument, by failing writes or
// by no report yet never becomes a row of readings that were not measured.
// The window's chart and record and the command-line log each keep one.
class FreshMeasurement
{
public:
    bool available(const InstrumentState &state) const
    {
        return state.measurementSerial != m_taken;
    }
    // The newest report has gone into a sample.
    void take(const InstrumentState &state) { m_taken = state.measurementSerial; }

private:
    quint64 m_taken = 0;
};
