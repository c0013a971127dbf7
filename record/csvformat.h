#pragma once

#include <QByteArray>
#include <QtGlobal>

// Number and time texts of the CSV file, made without a QString per field so a
// week of samples is written in well under the time a user would wait.
namespace csv {

// Longest text formatFixed writes for a finite float at up to 9 decimals:
// 39 integer digits, sign, point, decimals.
constexpr int MaxFixedLength = 64;

// Writes v in fixed notation with `decimals` digits (0 to 9) at out and returns
// the end. The text equals QString::number(double(v), 'f', decimals): exact
// rounding of the binary value, halves away from zero, "-" kept on a negative
// value that rounds to zero but not on -0.
char *formatFixed(char *out, float v, int decimals);

// The record's time-stamp text, "yyyy-MM-dd_hh:mm:ss" in local time, as
// SampleStore::timeText gives it. Calls with times close together reuse the
// date and minute of the previous call, so the calendar is consulted about
// once a minute of samples instead of once a row.
class TimeTextCache
{
public:
    // Points at 19 characters (more for years past 9999), valid until the next call.
    const QByteArray &text(qint64 timeMs);

private:
    qint64 m_minute = 0;   // start of the cached minute, seconds since the epoch
    int m_secondBase = -1; // local seconds field at m_minute, -1 when nothing is cached
    QByteArray m_text;
};

} // namespace csv
