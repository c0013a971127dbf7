#pragma once

#include "measurementrecord.h"
#include "samplestore.h"

// The ten quantities of a decoded record in the store's order: what one
// sample of the chart, the window's record and the command-line log holds.
inline SampleStore::Values sampleValues(const MeasurementRecord &r)
{
    SampleStore::Values v{};
    v[SampleStore::Voltage] = r.voltage;
    v[SampleStore::Current] = r.current;
    v[SampleStore::Power] = r.power;
    v[SampleStore::Resistance] = r.resistance;
    v[SampleStore::Energy] = r.energy;
    v[SampleStore::Capacity] = r.capacity;
    v[SampleStore::MosTemp] = r.mosTemp;
    v[SampleStore::FanSpeed] = r.fanSpeed;
    v[SampleStore::CpuTemp] = r.cpuTemp;
    v[SampleStore::NtcTemp] = r.ntcTemp;
    return v;
}
