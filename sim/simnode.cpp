#include "simnode.h"

#include <QtEndian>
#include <cmath>

namespace {

float floatBe(const QByteArray &f, int at)
{
    return qFromBigEndian<float>(f.constData() + at);
}

} // namespace

SimNode::SimNode(quint8 address, bool master, SimSetup::Family family, unsigned seed)
    : m_address(address), m_master(master), m_family(family), m_source(seed)
{
    if (!master) {
        // Slaves differ a little, so their readings are told apart.
        m_battery.capacityAh = 2.0 + 0.25 * (address % 5);
        m_battery.stateOfCharge = 0.9;
        m_params.setValue = 0.5f;
    }
}

double SimNode::trueVoltage() const
{
    if (isPowerTester())
        return m_source.volts - 0.05 * m_source.amps;
    return m_battery.openCircuitVoltage() - m_current * m_battery.internalOhm;
}

SimReports::Readings SimNode::readings() const
{
    SimReports::Readings r;
    const double v = trueVoltage() * m_params.voltCalibration;
    const double trueI = isPowerTester() ? m_source.amps : m_current;
    const double i = (trueI + m_noLoadOffset) * m_params.currCalibration;
    r.voltage = v;
    r.current = i;
    r.power = v * i;
    r.resistance = i > 0.001 ? v / i : 0.0;
    r.energy = m_energyWh;
    r.capacity = m_capacityMah;
    r.cpuTemp = m_thermal.cpuC;
    r.ntcTemp = m_thermal.ntcC * m_params.tempCalibration;
    r.mosTemp = m_thermal.mosC;
    r.fan = m_thermal.fanRpm;
    r.running = m_running;
    if (m_promptChoices) {
        r.promptCountdown = quint8(std::max(1.0, std::ceil(m_promptLeftS - 1e-6)));
        r.promptChoices = m_promptChoices;
        r.promptSelection = m_promptSelection;
    }
    return r;
}

QList<QByteArray> SimNode::command(const QByteArray &f)
{
    const quint8 code = quint8(f[3]);
    const quint8 lead = quint8(f[4]);
    const quint8 low = quint8(f[7]);
    SimReports::Parameters &p = m_params;
    // one line per register keeps the map readable
    // clang-format off
    switch (code) {
    case 0x03:
        return {SimReports::parameters(m_address, p, isPowerTester())};
    case 0x04:
        return {SimReports::scanAnswer(m_address, m_master)};
    case 0x05:
        return {SimReports::measurement(m_address, readings())};
    case 0x20: p.displayStyle = lead; break;
    case 0x21: p.setValue = floatBe(f, 4); break;
    case 0x22: p.workBrightness = low; break;
    case 0x23: p.standbyBrightness = low; break;
    case 0x24: p.standbyTime = low; break;
    case 0x25:
        if (lead == 0) {
            if (m_promptChoices)
                answerPrompt(1);
            else if (m_running)
                stopRun(QStringLiteral("stopped"));
        } else if (!m_running && !m_promptChoices && !isPowerTester()) {
            if (p.workMode == 7 || p.workMode == 8) {
                // The cycles ask first: continue the last run or start afresh.
                m_promptChoices = m_capacityMah > 0 ? 3 : 2;
                m_promptSelection = 2;
                m_promptLeftS = PromptSeconds;
            } else {
                startRun(false);
            }
        }
        break;
    case 0x26: p.tempCalibration = floatBe(f, 4); break;
    case 0x27: p.voltCalibration = floatBe(f, 4); break;
    case 0x28: p.currCalibration = floatBe(f, 4); break;
    case 0x29: p.cutoffVoltage = floatBe(f, 4); break;
    case 0x2A: p.fullVoltage = floatBe(f, 4); break;
    case 0x2B: p.fullCurrent = floatBe(f, 4); break;
    case 0x2C: p.overCurrent = floatBe(f, 4); break;
    case 0x2D: p.overPower = floatBe(f, 4); break;
    case 0x2E: p.ntcOverTemp = floatBe(f, 4); break;
    case 0x2F: p.mosOverTemp = floatBe(f, 4); break;
    case 0x31:
        if (low == 1)
            p.limitHours = lead;
        else if (low == 2)
            p.limitMinutes = lead;
        break;
    case 0x32: m_noLoadOffset = 0; break;
    case 0x33: {
        const quint8 mode = p.workMode;
        p = SimReports::Parameters();
        p.workMode = mode;
        break;
    }
    case 0x34: clearData(); break;
    case 0x35:
        if (m_promptChoices)
            answerPrompt(lead == 5 ? m_promptSelection : lead);
        break;
    case 0x36: p.shuntIndex = quint8(low & 7); break;
    default:
        if (code >= 0x47 && code <= 0x50) {
            const quint8 mode = quint8(code - 0x47);
            if (mode != p.workMode) {
                if (m_running)
                    stopRun(QStringLiteral("stopped"));
                m_promptChoices = 0;
                p.workMode = mode;
            }
        }
        // 0x45, 0x46 and 0x51 only tell which page the program shows.
        break;
    }
    // clang-format on
    return {};
}

void SimNode::answerPrompt(int choice)
{
    const quint8 count = m_promptChoices;
    m_promptChoices = 0;
    m_promptLeftS = 0;
    if (choice == 1)
        return; // cancel
    if (count == 3 && choice == 2)
        startRun(false); // continue the previous cycle
    else if ((count == 3 && choice == 3) || (count == 2 && choice == 2))
        startRun(true);
}

void SimNode::startRun(bool clear)
{
    if (clear)
        clearData();
    m_running = true;
    m_endReason.clear();
}

void SimNode::stopRun(const QString &reason)
{
    m_running = false;
    m_current = 0;
    m_endReason = reason;
}

void SimNode::clearData()
{
    m_energyWh = 0;
    m_capacityMah = 0;
    m_runSeconds = 0;
}

void SimNode::advance(double seconds)
{
    // Small steps keep the integration close to the continuous discharge.
    while (seconds > 1e-9) {
        const double dt = std::min(seconds, 0.1);
        step(dt);
        seconds -= dt;
    }
}

void SimNode::step(double dt)
{
    if (m_promptChoices) {
        m_promptLeftS -= dt;
        if (m_promptLeftS <= 0)
            answerPrompt(m_promptSelection);
    }

    if (isPowerTester()) {
        // A power tester measures whatever flows through it, all the time.
        m_source.step(dt);
        const double v = trueVoltage();
        m_energyWh += v * m_source.amps * dt / 3600.0;
        m_capacityMah += m_source.amps * dt / 3.6;
        m_thermal.step(0.05 * m_source.amps * m_source.amps, 0, dt);
        return;
    }

    const SimReports::Parameters &p = m_params;
    m_current = m_running
                    ? SimPhysics::loadCurrent(m_battery, SimPhysics::regulationFor(p.workMode),
                                              p.setValue, MaxLoadAmps)
                    : 0.0;
    const double v = trueVoltage();
    const double watts = v * m_current;
    m_thermal.step(watts, m_current * m_current * m_battery.internalOhm, dt);
    if (!m_running)
        return;

    const double delivered = m_battery.drain(m_current, dt);
    m_energyWh += v * delivered * dt / 3600.0;
    m_capacityMah += delivered * dt / 3.6;
    m_runSeconds += dt;

    const int limitMinutes = p.limitHours * 60 + p.limitMinutes;
    if (p.cutoffVoltage > 0 && v <= p.cutoffVoltage)
        stopRun(QStringLiteral("cut-off"));
    else if (limitMinutes > 0 && m_runSeconds >= limitMinutes * 60.0)
        stopRun(QStringLiteral("time"));
    else if (p.overCurrent > 0 && m_current > p.overCurrent)
        stopRun(QStringLiteral("over-current"));
    else if (p.overPower > 0 && watts > p.overPower)
        stopRun(QStringLiteral("over-power"));
    else if ((p.mosOverTemp > 0 && m_thermal.mosC > p.mosOverTemp) ||
             (p.ntcOverTemp > 0 && m_thermal.ntcC > p.ntcOverTemp))
        stopRun(QStringLiteral("over-temperature"));
}
