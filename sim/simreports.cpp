#include "simreports.h"

#include <QtEndian>
#include <cmath>

namespace SimReports {

namespace {

QByteArray header(quint8 address, quint8 kind)
{
    QByteArray r(64, '\0');
    r[0] = char(0xAA);
    r[1] = char(0x05);
    r[2] = char(address);
    r[3] = char(kind);
    return r;
}

void putU32Le(QByteArray &r, int at, quint32 v)
{
    qToLittleEndian(v, r.data() + at);
}

void putFloatBe(QByteArray &r, int at, float f)
{
    qToBigEndian(f, r.data() + at);
}

// Thousandths of the magnitude; the sign travels separately.
quint32 milli(double v)
{
    const double m = std::round(std::fabs(v) * 1000.0);
    if (!(m < 4294967295.0))
        return 0xFFFFFFFFu;
    return quint32(m);
}

} // namespace

QByteArray measurement(quint8 address, const Readings &m)
{
    QByteArray r = header(address, 0x05);
    const double values[10] = {m.voltage,  m.current, m.power,   m.resistance, m.energy,
                               m.capacity, m.cpuTemp, m.ntcTemp, m.mosTemp,    m.fan};
    for (int i = 0; i < 10; ++i)
        putU32Le(r, 8 + 4 * i, milli(values[i]));
    r[52] = char(m.running ? 1 : 0);
    r[53] = char(m.promptCountdown);
    r[54] = char(m.promptCountdown ? m.promptChoices * 10 + m.promptSelection : 0);
    quint8 signs = 0;
    if (m.current < 0)
        signs |= 0x80;
    if (m.cpuTemp < 0)
        signs |= 0x40;
    if (m.ntcTemp < 0)
        signs |= 0x20;
    if (m.mosTemp < 0)
        signs |= 0x10;
    r[60] = char(signs);
    return r;
}

quint8 shuntCode(quint8 index)
{
    // 30 A is reported as 30, 100 A to 600 A as hundreds, 1000 A as 10.
    static const quint8 codes[8] = {30, 1, 2, 3, 4, 5, 6, 10};
    return codes[index & 7];
}

QByteArray parameters(quint8 address, const Parameters &p, bool powerTester)
{
    QByteArray r = header(address, 0x03);
    const float values[11] = {p.setValue,        p.tempCalibration, p.voltCalibration,
                              p.currCalibration, p.cutoffVoltage,   p.fullVoltage,
                              p.fullCurrent,     p.overCurrent,     p.overPower,
                              p.ntcOverTemp,     p.mosOverTemp};
    for (int i = 0; i < 11; ++i)
        putFloatBe(r, 4 + 4 * i, values[i]);
    r[48] = char(p.workMode);
    r[49] = char(p.displayStyle);
    r[50] = char(p.workBrightness);
    r[51] = char(p.standbyBrightness);
    r[52] = char(p.standbyTime);
    r[53] = char(powerTester ? shuntCode(p.shuntIndex) : p.limitHours);
    r[54] = char(p.limitMinutes);
    r[62] = char(0xEE);
    r[63] = char(0xFF);
    return r;
}

QByteArray scanAnswer(quint8 address, bool master)
{
    QByteArray r = header(address, 0x04);
    r[4] = char(master ? 0x01 : 0x00);
    r[8] = char(0xEE);
    r[9] = char(0xFF);
    return r;
}

} // namespace SimReports
