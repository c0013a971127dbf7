#include "scpiinstrument.h"

#include "devicemodel.h"
#include "parameterrange.h"
#include "scpistatus.h"

#include <QPointer>
#include <cmath>

using Scpi::Command;
using Record = MeasurementRecord;

namespace {

// The answer to a level of a function that is not in effect, and to a reading
// that is not a number: SCPI's not-a-number.
const QByteArray NotANumber = "9.91E+37";

// FUNCtion? words for the load's work modes; the first four are what
// FUNCtion takes.
const char *const FunctionWords[] = {"CURR", "VOLT",  "RES", "POW",   "IR",
                                     "PSU",  "CABLE", "CDC", "CDCDC", "CYCLE"};

const char *const LevelUnits[] = {"A", "V", "OHM", "W"};

QByteArray functionWord(quint8 mode)
{
    if (mode < sizeof FunctionWords / sizeof *FunctionWords)
        return FunctionWords[mode];
    return "MODE" + QByteArray::number(mode);
}

quint8 levelMode(Command c)
{
    switch (c) {
    case Command::Voltage:
        return Scpi::FunctionVoltage;
    case Command::Resistance:
        return Scpi::FunctionResistance;
    case Command::Power:
        return Scpi::FunctionPower;
    default:
        return Scpi::FunctionCurrent;
    }
}

QByteArray rangeText(const ParameterRange::Range &r, const char *unit)
{
    return ScpiInstrument::number(r.low) + " to " + ScpiInstrument::number(r.high) + ' ' + unit;
}

} // namespace

ScpiInstrument::ScpiInstrument(InstrumentSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this,
            [this] { fail(ScpiError::Hardware, "the instrument did not answer"); });
    // A command waiting on an instrument that went away ends now, not at its timeout.
    connect(&m_session, &InstrumentSession::lost, this, [this] {
        if (busy())
            fail(ScpiError::HardwareMissing, "the instrument went away");
    });
}

ScpiInstrument::~ScpiInstrument()
{
    // A wait of ours left behind would call into nothing.
    if (busy())
        m_session.cancelWait();
}

QByteArray ScpiInstrument::number(double value)
{
    if (!std::isfinite(value))
        return NotANumber;
    return QByteArray::number(value, 'g', 7).toUpper();
}

QByteArray ScpiInstrument::identity(const QString &maker, const QString &model,
                                    const QString &serial, const QString &version)
{
    auto field = [](const QString &s, const char *none) {
        QByteArray f;
        for (QChar c : s.simplified())
            f += c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char(',') &&
                         c != QLatin1Char(';')
                     ? char(c.unicode())
                     : ' ';
        f = f.simplified();
        return f.isEmpty() ? QByteArray(none) : f;
    };
    return field(maker, "0") + ',' + field(model, "0") + ',' + field(serial, "0") + ',' +
           field(version, "0");
}

void ScpiInstrument::execute(const Scpi::ParsedCommand &command,
                             std::function<void(const ScpiOutcome &)> done)
{
    m_done = std::move(done);
    ++m_serial;
    m_watchdog.start(m_session.timeoutMs() * 2 + 2000);
    run(command);
}

void ScpiInstrument::run(const Scpi::ParsedCommand &c)
{
    if (!m_session.connected())
        return fail(ScpiError::HardwareMissing, "no instrument connected");
    const bool tester = m_session.deviceClass() == DeviceModel::PowerTester;
    switch (c.command) {
    case Command::Identify:
        return reply(identity(m_session.manufacturer(), m_session.model(), m_session.serialNumber(),
                              m_session.version()));
    case Command::Reset:
        // A power tester has nothing to switch off.
        if (tester)
            return finish({});
        return confirm(m_session.run(false), [this] { finish({}); });
    case Command::MeasureVoltage:
    case Command::MeasureCurrent:
    case Command::MeasurePower:
    case Command::MeasureResistance:
    case Command::MeasureTemperature:
    case Command::MeasureAll:
    case Command::FetchCapacity:
    case Command::FetchEnergy:
        return reading(c);
    case Command::Function:
    case Command::Current:
    case Command::Voltage:
    case Command::Resistance:
    case Command::Power:
    case Command::Cutoff:
    case Command::Input:
        if (tester)
            return fail(ScpiError::SettingsConflict, "a power tester takes no load settings");
        return loadSetting(c);
    default:
        break;
    }
    fail(ScpiError::Command, "not an instrument command");
}

void ScpiInstrument::reading(const Scpi::ParsedCommand &c)
{
    // Even FETCh waits for a report newer than the command: nothing keeps
    // the record fresh between commands, and a stale total is a wrong one.
    fresh(false, true, [this, c] {
        const Record &r = m_session.record();
        switch (c.command) {
        case Command::MeasureVoltage:
            return reply(number(r.voltage));
        case Command::MeasureCurrent:
            return reply(number(r.current));
        case Command::MeasurePower:
            return reply(number(r.power));
        case Command::MeasureResistance:
            return reply(number(r.resistance));
        case Command::MeasureTemperature:
            return reply(number(c.choice == Scpi::SensorTransistor  ? r.mosTemp
                                : c.choice == Scpi::SensorProcessor ? r.cpuTemp
                                                                    : r.ntcTemp));
        case Command::FetchCapacity:
            return reply(number(r.capacity));
        case Command::FetchEnergy:
            return reply(number(r.energy));
        default:
            break;
        }
        // The ten quantities in the columns of the CSV export.
        const float all[] = {r.voltage,  r.current, r.power,   r.resistance, r.energy,
                             r.capacity, r.ntcTemp, r.cpuTemp, r.mosTemp,    r.fanSpeed};
        QByteArrayList fields;
        for (float v : all)
            fields << number(v);
        reply(fields.join(','));
    });
}

void ScpiInstrument::loadSetting(const Scpi::ParsedCommand &c)
{
    switch (c.command) {
    case Command::Function:
        if (c.query)
            return fresh(true, false, [this] { reply(functionWord(m_session.record().workMode)); });
        return confirm(m_session.setWorkMode(quint8(c.choice)), [this] { finish({}); });
    case Command::Input:
        if (c.query)
            return fresh(false, true, [this] { reply(m_session.state().running ? "1" : "0"); });
        return confirm(m_session.run(c.choice == 1), [this, c] {
            // In the cycle modes the instrument asks first instead of running.
            if (c.choice == 1 && !m_session.state().running)
                return fail(ScpiError::SettingsConflict,
                            "the instrument asks to continue or clear the last cycle first");
            finish({});
        });
    case Command::Cutoff: {
        if (c.query)
            return fresh(true, false, [this] { reply(number(m_session.record().cutoffVoltage)); });
        const ParameterRange::Range r = ParameterRange::range(ParameterRange::CutoffVoltage);
        if (c.number < r.low || c.number > r.high)
            return fail(ScpiError::DataOutOfRange, "cut-off " + rangeText(r, "V"));
        return confirm(m_session.setCutoffVoltage(float(c.number)), [this] { finish({}); });
    }
    default:
        return setLevel(c, levelMode(c.command));
    }
}

void ScpiInstrument::setLevel(const Scpi::ParsedCommand &c, quint8 mode)
{
    // The instrument keeps one set value, in the unit of its work mode.
    if (c.query)
        return fresh(true, false, [this, mode] {
            const Record &r = m_session.record();
            reply(r.workMode == mode ? number(r.setValue) : NotANumber);
        });
    const ParameterRange::Range r = ParameterRange::range(ParameterRange::SetValue, mode);
    if (c.number < r.low || c.number > r.high)
        return fail(ScpiError::DataOutOfRange,
                    functionWord(mode) + ' ' + rangeText(r, LevelUnits[mode]));
    const float value = float(c.number);
    fresh(true, false, [this, mode, value] {
        const quint8 now = m_session.record().workMode;
        if (now != mode)
            return fail(ScpiError::SettingsConflict, "the function is " + functionWord(now) +
                                                         "; send FUNC " + functionWord(mode) +
                                                         " first");
        confirm(m_session.setValue(value), [this] { finish({}); });
    });
}

void ScpiInstrument::fresh(bool parameters, bool measurements, Step then)
{
    InstrumentSession::Wait w;
    w.parameters = parameters;
    w.measurements = measurements;
    const quint64 serial = m_serial;
    // The session may call back after this object is gone (the server closed).
    QPointer<ScpiInstrument> self(this);
    m_session.await(w, [this, self, serial, then](bool ok) {
        if (!self || serial != m_serial)
            return;
        if (!ok)
            return fail(ScpiError::Hardware,
                        "the instrument did not answer within " + timeoutText());
        then();
    });
}

void ScpiInstrument::confirm(const InstrumentSession::Change &change, Step then)
{
    if (!change.sent)
        return fail(ScpiError::Hardware, "could not write to the instrument");
    const quint64 serial = m_serial;
    QPointer<ScpiInstrument> self(this);
    m_session.await(change.confirm, [this, self, serial, then](bool ok) {
        if (!self || serial != m_serial)
            return;
        if (!ok)
            return fail(ScpiError::Hardware,
                        "the instrument did not confirm within " + timeoutText());
        then();
    });
}

void ScpiInstrument::reply(const QByteArray &text)
{
    ScpiOutcome o;
    o.replied = true;
    o.reply = text;
    finish(o);
}

void ScpiInstrument::fail(int code, const QByteArray &info)
{
    ScpiOutcome o;
    o.error = code;
    o.info = info;
    finish(o);
}

void ScpiInstrument::finish(const ScpiOutcome &outcome)
{
    if (!m_done)
        return;
    m_watchdog.stop();
    ++m_serial; // what the session still calls back with belongs to no command now
    std::function<void(const ScpiOutcome &)> done = std::move(m_done);
    m_done = nullptr;
    QMetaObject::invokeMethod(
        this, [done, outcome] { done(outcome); }, Qt::QueuedConnection);
}

QByteArray ScpiInstrument::timeoutText() const
{
    return QByteArray::number(m_session.timeoutMs() / 1000.0, 'g', 3) + " s";
}
