#include "csvformat.h"

#include "samplestore.h"

#include <QString>
#include <cstdint>
#include <cstring>

namespace csv {
namespace {

constexpr uint64_t Pow5[] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125};
constexpr uint64_t Pow10[] = {1,      10,      100,      1000,      10000,
                              100000, 1000000, 10000000, 100000000, 1000000000};

char *formatSlow(char *out, float v, int decimals)
{
    const QByteArray t = QString::number(double(v), 'f', decimals).toLatin1();
    const int n = qMin(t.size(), MaxFixedLength);
    std::memcpy(out, t.constData(), size_t(n));
    return out + n;
}

char *writeDigits(char *out, uint64_t n, int width)
{
    char tmp[24];
    int len = 0;
    do {
        tmp[len++] = char('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (len < width)
        tmp[len++] = '0';
    while (len > 0)
        *out++ = tmp[--len];
    return out;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

char *formatFixed(char *out, float v, int decimals)
{
    if (decimals < 0 || decimals > 9)
        return formatSlow(out, v, decimals);
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const bool negative = bits >> 31;
    const int exponentBits = int((bits >> 23) & 0xff);
    uint64_t mantissa = bits & 0x7fffff;
    if (exponentBits == 0xff)
        return formatSlow(out, v, decimals); // inf and nan
    int exponent;
    if (exponentBits == 0) {
        exponent = -149;
    } else {
        mantissa |= 0x800000;
        exponent = exponentBits - 150;
    }

    // |v| * 10^d = mantissa * 5^d * 2^(exponent + d), exactly; below 2^48.
    const uint64_t scaled = mantissa * Pow5[decimals];
    const int shift = exponent + decimals;
    uint64_t units;
    if (shift >= 0) {
        if (shift > 15)
            return formatSlow(out, v, decimals); // beyond 2^63, far past any reading
        units = scaled << shift;
    } else {
        const int s = -shift;
        if (s >= 50) {
            units = 0; // below a quarter of the last digit even at 9 decimals
        } else {
            units = scaled >> s;
            const uint64_t rest = scaled & ((uint64_t(1) << s) - 1);
            if (rest >= (uint64_t(1) << (s - 1)))
                ++units; // halves go away from zero
        }
    }

    if (negative && mantissa != 0)
        *out++ = '-';
    out = writeDigits(out, units / Pow10[decimals], 1);
    if (decimals > 0) {
        *out++ = '.';
        out = writeDigits(out, units % Pow10[decimals], decimals);
    }
    return out;
}

const QByteArray &TimeTextCache::text(qint64 timeMs)
{
    const qint64 second = floorDiv(timeMs, 1000);
    const qint64 minute = floorDiv(second, 60) * 60;
    if (minute != m_minute || m_secondBase < 0) {
        m_text = SampleStore::timeText(minute * 1000).toLatin1();
        m_minute = minute;
        m_secondBase = -1;
        // Zone offsets in whole minutes keep the local seconds equal to the
        // seconds past the minute; anything else is formatted row by row.
        if (m_text.size() == 19 && m_text.endsWith("00"))
            m_secondBase = 0;
    }
    if (m_secondBase < 0) {
        m_text = SampleStore::timeText(timeMs).toLatin1();
        m_secondBase = -1;
        return m_text;
    }
    const int s = int(second - minute);
    m_text[17] = char('0' + s / 10);
    m_text[18] = char('0' + s % 10);
    return m_text;
}

} // namespace csv
