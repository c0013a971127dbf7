#include "runrecord.h"

#include "readingformat.h"

#include <algorithm>
#include <cmath>
#include <limits>

QString EndReason::ofStop(double lastVolts, double cutoffVolts, double runSeconds,
                          int timeLimitMinutes)
{
    // The instrument's own clock and the samples' differ by a tick or two.
    if (timeLimitMinutes > 0 && runSeconds >= timeLimitMinutes * 60.0 - 3)
        return QString::fromLatin1(TimeLimit);
    // The last sample may be up to a second before the stop, on a voltage
    // that falls fast near the end.
    if (cutoffVolts > 0 && lastVolts <= cutoffVolts + std::max(0.05, 0.1 * cutoffVolts))
        return QString::fromLatin1(CutOff);
    return QString::fromLatin1(Stopped);
}

void SummaryBuilder::Counter::add(double v, bool firstSample)
{
    if (!std::isfinite(v))
        return;
    if (firstSample) {
        first = last = v;
        return;
    }
    if (v < last) {
        // Cleared on the instrument: what was counted so far stays counted.
        carried += last - first;
        first = 0;
    }
    last = v;
}

void SummaryBuilder::add(qint64 timeMs, const SampleStore::Values &v)
{
    const bool first = m_samples == 0;
    const double volts = v[SampleStore::Voltage];
    const double amps = v[SampleStore::Current];
    const double mos = v[SampleStore::MosTemp];
    const double ntc = v[SampleStore::NtcTemp];
    if (first) {
        m_firstMs = timeMs;
        m_minVolts = volts;
        m_maxMos = mos;
    }
    m_lastMs = timeMs;
    m_voltSum += volts;
    m_ampSum += amps;
    m_minVolts = std::min(m_minVolts, volts);
    m_maxMos = std::max(m_maxMos, mos);
    if (ntc >= ReadingFormat::NtcAbsentBelow) {
        m_maxNtc = m_haveNtc ? std::max(m_maxNtc, ntc) : ntc;
        m_haveNtc = true;
    }
    m_capacity.add(v[SampleStore::Capacity], first);
    m_energy.add(v[SampleStore::Energy], first);
    ++m_samples;
}

RunSummary SummaryBuilder::summary() const
{
    RunSummary s;
    s.samples = m_samples;
    if (m_samples == 0) {
        s.maximumNtcC = std::numeric_limits<double>::quiet_NaN();
        return s;
    }
    s.durationS = double(m_lastMs - m_firstMs) / 1000.0;
    s.capacityMah = m_capacity.grown();
    s.energyWh = m_energy.grown();
    s.averageVolts = m_voltSum / double(m_samples);
    s.minimumVolts = m_minVolts;
    s.averageAmps = m_ampSum / double(m_samples);
    s.maximumMosC = m_maxMos;
    s.maximumNtcC = m_haveNtc ? m_maxNtc : std::numeric_limits<double>::quiet_NaN();
    return s;
}
