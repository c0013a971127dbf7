#pragma once

#include "samplestore.h"

#include <QString>
#include <QtGlobal>

// How a run ended, as the history keeps it (the words are stored as they stand).
namespace EndReason {
constexpr const char *CutOff = "cut-off";
constexpr const char *TimeLimit = "time limit";
constexpr const char *Stopped = "stopped";
constexpr const char *Cleared = "cleared";
constexpr const char *Closed = "closed";
constexpr const char *Interrupted = "interrupted";

// Why a load that was running stopped: at its time limit when the run lasted
// it, at its cut-off when the voltage got there, else it was stopped.
QString ofStop(double lastVolts, double cutoffVolts, double runSeconds, int timeLimitMinutes);
} // namespace EndReason

// What the history keeps of a run's instrument and settings at its start.
struct RunInfo
{
    qint64 startedMs = 0;
    QString model;    // "KV37"
    QString firmware; // "V1.0.0"
    QString serial;
    int address = 1;
    int deviceClass = 0; // 1 electronic load, 4 power tester
    int workMode = 0;
    double setValue = 0;
    double cutoffVolts = 0;
    int timeLimitMinutes = 0;
    QString label;
};

// What a run starts with, read from an instrument session: the instrument
// and the settings in its record. A power tester has no time limit. (A
// template, so the history needs no session.)
template <class Session>
RunInfo runInfoFrom(const Session &session, qint64 startedMs, int deviceClass)
{
    const auto &r = session.record();
    RunInfo i;
    i.startedMs = startedMs;
    i.model = session.model();
    i.firmware = session.version();
    i.serial = session.serialNumber();
    i.address = session.address();
    i.deviceClass = deviceClass;
    i.workMode = r.workMode;
    i.setValue = double(r.setValue);
    i.cutoffVolts = double(r.cutoffVoltage);
    if (deviceClass == 1)
        i.timeLimitMinutes = r.timeLimitHours * 60 + r.timeLimitMinutes;
    return i;
}

// The numbers a run ends with, kept with it and shown when it ends.
struct RunSummary
{
    qint64 samples = 0;
    double durationS = 0;
    double capacityMah = 0; // delivered during the run
    double energyWh = 0;
    double averageVolts = 0;
    double minimumVolts = 0;
    double averageAmps = 0;
    double maximumMosC = 0;
    double maximumNtcC = 0; // NaN when no probe was attached
};

// A run as the history lists it.
struct RunEntry
{
    qint64 id = 0;
    RunInfo info;
    qint64 endedMs = 0; // 0 while it runs
    QString endReason;  // empty while it runs
    RunSummary summary;
    QString results; // a test program's step results (JSON), if any
};

// Builds a summary sample by sample. Capacity and energy are what the
// instrument's counters grew by during the run; a counter that falls back
// (cleared on the instrument) starts counting again from there.
class SummaryBuilder
{
public:
    void add(qint64 timeMs, const SampleStore::Values &v);
    RunSummary summary() const;
    bool isEmpty() const { return m_samples == 0; }

private:
    struct Counter
    {
        double first = 0, last = 0, carried = 0;
        void add(double v, bool firstSample);
        double grown() const { return carried + last - first; }
    };
    qint64 m_samples = 0;
    qint64 m_firstMs = 0, m_lastMs = 0;
    double m_voltSum = 0, m_ampSum = 0;
    double m_minVolts = 0;
    double m_maxMos = 0, m_maxNtc = 0;
    bool m_haveNtc = false;
    Counter m_capacity, m_energy;
};
