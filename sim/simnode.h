#pragma once

#include "simphysics.h"
#include "simreports.h"
#include "simsetup.h"

#include <QByteArray>
#include <QList>

// One instrument on the simulated bus: its settings, its run, its prompt and
// its physics. It acts on command frames addressed to it.
class SimNode
{
public:
    SimNode(quint8 address, bool master, SimSetup::Family family, unsigned seed);

    quint8 address() const { return m_address; }
    bool isMaster() const { return m_master; }
    bool isPowerTester() const { return m_family == SimSetup::Family::PowerTester; }

    // A whole command frame (bytes 0..9) meant for this instrument; returns
    // the reports it answers with.
    QList<QByteArray> command(const QByteArray &frame);
    void advance(double seconds);

    SimReports::Readings readings() const;
    const SimReports::Parameters &parameters() const { return m_params; }
    // Settings as a test wants them, sound or not (what a faulty instrument reports).
    void setParameters(const SimReports::Parameters &p) { m_params = p; }
    bool running() const { return m_running; }
    double runSeconds() const { return m_runSeconds; }
    // Why the last run ended: "cut-off", "time", "over-current", "over-power",
    // "over-temperature", "stopped" or empty while none has ended.
    QString endReason() const { return m_endReason; }

    SimPhysics::Battery &battery() { return m_battery; }
    SimPhysics::Thermal &thermal() { return m_thermal; }
    double trueCurrent() const { return m_current; }
    double trueVoltage() const;
    double energyWh() const { return m_energyWh; }
    double capacityMah() const { return m_capacityMah; }

    static constexpr double MaxLoadAmps = 40.0;
    static constexpr int PromptSeconds = 8;

private:
    void startRun(bool clearData);
    void stopRun(const QString &reason);
    void clearData();
    void answerPrompt(int choice);
    void step(double seconds);

    const quint8 m_address;
    const bool m_master;
    const SimSetup::Family m_family;
    SimReports::Parameters m_params;
    SimPhysics::Battery m_battery;
    SimPhysics::Thermal m_thermal;
    SimPhysics::UsbSource m_source;

    bool m_running = false;
    double m_current = 0;
    double m_noLoadOffset = 0.012; // what "zero the no-load current" removes
    double m_energyWh = 0;
    double m_capacityMah = 0;
    double m_runSeconds = 0;
    QString m_endReason;

    // The continue-or-clear prompt of the charge-discharge cycles.
    double m_promptLeftS = 0;
    quint8 m_promptChoices = 0;
    quint8 m_promptSelection = 0;
};
