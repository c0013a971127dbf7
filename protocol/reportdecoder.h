#pragma once

#include "measurementrecord.h"

#include <QByteArray>

// Input reports: AA 05 <address> <kind> ...; kind 0x03 parameters,
// 0x04 scan answer, 0x05 measurements.
namespace Report {

enum Kind : unsigned char { Parameters = 0x03, ScanAnswer = 0x04, Measurements = 0x05 };

// What decodeReport made of a report.
enum class Outcome {
    Ignored,      // wrong header, unknown kind, missing trailer, too short
    OtherAddress, // an instrument other than the selected one
    Measurements,
    Parameters,
    ScanAnswer,
};

// The raw limits of the ten measurement fields: a raw value at or above its
// limit leaves the field as it was.
constexpr quint32 VoltageLimit = 300000;
constexpr quint32 CurrentLimit = 100000;
constexpr quint32 PowerLimit = 30000000;
constexpr quint32 CounterLimit = 999999000; // resistance, energy, capacity
constexpr quint32 TemperatureLimit = 300000;
constexpr quint32 FanLimit = 10000000;

// Sign bits of byte 60.
constexpr quint8 CurrentNegative = 0x80;
constexpr quint8 CpuTempNegative = 0x40;
constexpr quint8 NtcTempNegative = 0x20;
constexpr quint8 MosTempNegative = 0x10;

} // namespace Report

// Decodes one input report of `length` valid bytes into `state`. Bytes past
// `length` are never read, so a short read cannot decode stale buffer contents.
Report::Outcome decodeReport(const unsigned char *report, unsigned length, InstrumentState &state);
Report::Outcome decodeReport(const QByteArray &report, InstrumentState &state);
