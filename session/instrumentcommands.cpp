// The instrument-level commands of the session: one place for every frame a
// front end may send, each with the wait that confirms it.
#include "commandframe.h"
#include "devicemodel.h"
#include "instrumentsession.h"

#include <cmath>

using namespace CommandFrame;
using Record = MeasurementRecord;

bool InstrumentSession::sameFloat(float reported, double wanted)
{
    const double tolerance = 1e-4 * qMax(1.0, std::fabs(wanted));
    return std::fabs(double(reported) - double(float(wanted))) <= tolerance;
}

bool InstrumentSession::promptShowing(const Record &r)
{
    return r.promptCountdown != 0 && r.promptChoiceCount != 0 &&
           (r.workMode == 7 || r.workMode == 8);
}

InstrumentSession::Change InstrumentSession::sendChange(const QList<QByteArray> &frames,
                                                        Wait confirm)
{
    Change c;
    c.confirm = std::move(confirm);
    c.sent = !frames.isEmpty();
    // A frame that did not go out stops the rest: half a change is worse.
    for (const QByteArray &f : frames)
        if (!(c.sent = send(f)))
            break;
    return c;
}

InstrumentSession::Change
InstrumentSession::parameterChange(const QByteArray &frame,
                                   std::function<bool(const MeasurementRecord &)> shows)
{
    Wait w;
    w.parameters = true;
    w.satisfied = [this, shows] { return shows(m_state.record); };
    return sendChange({frame}, w);
}

InstrumentSession::Change InstrumentSession::floatChange(unsigned char code, float value,
                                                         float Record::*field)
{
    return parameterChange(withFloat(address(), code, value),
                           [field, value](const Record &r) { return sameFloat(r.*field, value); });
}

InstrumentSession::Change InstrumentSession::setWorkMode(quint8 mode)
{
    // The mode codes follow the work modes in order, 0x47 for mode 0.
    const unsigned char code = (unsigned char)(ModeConstantCurrent + mode);
    return parameterChange(plain(address(), code),
                           [mode](const Record &r) { return r.workMode == mode; });
}

InstrumentSession::Change InstrumentSession::setValue(float value)
{
    return floatChange(SetValue, value, &Record::setValue);
}

InstrumentSession::Change InstrumentSession::setCutoffVoltage(float volts)
{
    return floatChange(CutoffVoltage, volts, &Record::cutoffVoltage);
}

InstrumentSession::Change InstrumentSession::setFullVoltage(float volts)
{
    return floatChange(FullVoltage, volts, &Record::fullVoltage);
}

InstrumentSession::Change InstrumentSession::setFullCurrent(float amps)
{
    return floatChange(FullCurrent, amps, &Record::fullCurrent);
}

InstrumentSession::Change InstrumentSession::setTimeLimit(int hours, int minutes)
{
    Wait w;
    w.parameters = true;
    w.satisfied = [this, hours, minutes] {
        return m_state.record.timeLimitHours == hours && m_state.record.timeLimitMinutes == minutes;
    };
    return sendChange({withTime(address(), hours, Hours), withTime(address(), minutes, Minutes)},
                      w);
}

InstrumentSession::Change InstrumentSession::setTimeLimitHours(int hours)
{
    // Only the low 8 bits travel.
    const quint8 wanted = quint8(hours);
    return parameterChange(withTime(address(), hours, Hours),
                           [wanted](const Record &r) { return r.timeLimitHours == wanted; });
}

InstrumentSession::Change InstrumentSession::setTimeLimitMinutes(int minutes)
{
    const quint8 wanted = quint8(minutes);
    return parameterChange(withTime(address(), minutes, Minutes),
                           [wanted](const Record &r) { return r.timeLimitMinutes == wanted; });
}

InstrumentSession::Change InstrumentSession::run(bool running)
{
    // The work mode tells whether a prompt counts, so both reports are read.
    Wait w;
    w.parameters = w.measurements = true;
    if (running)
        w.satisfied = [this] { return m_state.running || promptShowing(m_state.record); };
    else
        w.satisfied = [this] { return !m_state.running && !promptShowing(m_state.record); };
    return sendChange({withLeadByte(address(), RunStop, running ? 1 : 0)}, w);
}

InstrumentSession::Change InstrumentSession::answerPrompt(int choice)
{
    Wait w;
    w.parameters = w.measurements = true;
    w.satisfied = [this] { return !promptShowing(m_state.record); };
    return sendChange({withLeadByte(address(), PromptAnswer, choice)}, w);
}

InstrumentSession::Change InstrumentSession::setDisplayStyle(int style)
{
    const quint8 wanted = quint8(style);
    return parameterChange(withLeadByte(address(), DisplayStyle, style),
                           [wanted](const Record &r) { return r.languageStyle == wanted; });
}

InstrumentSession::Change InstrumentSession::setLevel(Level level, int value)
{
    const quint8 wanted = quint8(value);
    switch (level) {
    case Level::Brightness:
        return parameterChange(withLowByte(address(), WorkBrightness, value),
                               [wanted](const Record &r) { return r.workBrightness == wanted; });
    case Level::StandbyBrightness:
        return parameterChange(withLowByte(address(), StandbyBrightness, value),
                               [wanted](const Record &r) { return r.standbyBrightness == wanted; });
    case Level::StandbyTime:
        break;
    }
    return parameterChange(withLowByte(address(), StandbyTime, value),
                           [wanted](const Record &r) { return r.standbyTime == wanted; });
}

InstrumentSession::Change InstrumentSession::setCalibration(Calibration which, float factor)
{
    switch (which) {
    case Calibration::Voltage:
        return floatChange(VoltCalibration, factor, &Record::voltCalibration);
    case Calibration::Current:
        return floatChange(CurrCalibration, factor, &Record::currCalibration);
    case Calibration::Temperature:
        break;
    }
    return floatChange(TempCalibration, factor, &Record::tempCalibration);
}

InstrumentSession::Change InstrumentSession::setThreshold(Threshold which, float value)
{
    switch (which) {
    case Threshold::OverCurrent:
        return floatChange(OverCurrent, value, &Record::overCurrent);
    case Threshold::OverPower:
        return floatChange(OverPower, value, &Record::overPower);
    case Threshold::ProbeTemperature:
        return floatChange(NtcOverTemp, value, &Record::ntcOverTemp);
    case Threshold::MosTemperature:
        break;
    }
    return floatChange(MosOverTemp, value, &Record::mosOverTemp);
}

InstrumentSession::Change InstrumentSession::setShunt(int index)
{
    const quint8 reported = DeviceModel::shuntReportCode(index);
    return parameterChange(withLowByte(address(), ShuntSize, index),
                           [reported](const Record &r) { return r.timeLimitHours == reported; });
}

InstrumentSession::Change InstrumentSession::zeroCurrent()
{
    // Nothing in the reports shows these; fresh reports show the instrument took them in.
    Wait w;
    w.parameters = w.measurements = true;
    return sendChange({plain(address(), ZeroCurrent)}, w);
}

InstrumentSession::Change InstrumentSession::clearData()
{
    const float energy = m_state.record.energy;
    const float capacity = m_state.record.capacity;
    Wait w;
    w.measurements = true;
    w.satisfied = [this, energy, capacity] {
        const Record &r = m_state.record;
        return (r.energy == 0 && r.capacity == 0) || r.capacity < capacity || r.energy < energy ||
               (energy == 0 && capacity == 0);
    };
    return sendChange({plain(address(), ClearData)}, w);
}

InstrumentSession::Change InstrumentSession::factoryReset()
{
    Wait w;
    w.parameters = w.measurements = true;
    return sendChange({plain(address(), FactoryReset)}, w);
}

bool InstrumentSession::sendPageCode(unsigned char code)
{
    return send(plain(address(), code));
}

bool InstrumentSession::requestParameters()
{
    return send(parameterRequest(address()));
}
