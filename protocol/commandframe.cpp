#include "commandframe.h"

#include <QtEndian>
#include <cstring>

namespace CommandFrame {

namespace {

QByteArray longFrame(unsigned char address, unsigned char code, unsigned char v0, unsigned char v1,
                     unsigned char v2, unsigned char v3)
{
    const char bytes[LongLength] = {char(0x55), char(0x05), char(address), char(code), char(v0),
                                    char(v1),   char(v2),   char(v3),      char(0xEE), char(0xFF)};
    return QByteArray(bytes, LongLength);
}

} // namespace

QByteArray plain(unsigned char address, unsigned char code)
{
    return longFrame(address, code, 0, 0, 0, 0);
}

QByteArray withFloat(unsigned char address, unsigned char code, float value)
{
    static_assert(sizeof(value) == 4, "single precision is 4 bytes");
    unsigned char v[4];
    qToBigEndian(value, v);
    return longFrame(address, code, v[0], v[1], v[2], v[3]);
}

QByteArray withLowByte(unsigned char address, unsigned char code, int value)
{
    return longFrame(address, code, 0, 0, 0, static_cast<unsigned char>(value & 0xFF));
}

QByteArray withLeadByte(unsigned char address, unsigned char code, int value)
{
    return longFrame(address, code, static_cast<unsigned char>(value & 0xFF), 0, 0, 0);
}

QByteArray withTime(unsigned char address, int value, TimeUnit unit)
{
    return longFrame(address, TimeLimit, static_cast<unsigned char>(value & 0xFF), 0, 0, unit);
}

QByteArray shortForm(unsigned char address, unsigned char code, unsigned char a0, unsigned char a1,
                     unsigned char a2)
{
    const char bytes[ShortLength] = {char(0x55), char(0x05), char(address), char(code), char(a0),
                                     char(a1),   char(a2),   char(0xEE),    char(0xFF)};
    return QByteArray(bytes, ShortLength);
}

QByteArray parameterPoll(unsigned char address)
{
    return shortForm(address, ReadParameters, 0x0B, 0x00, 0x8C);
}

QByteArray measurementPoll(unsigned char address)
{
    return shortForm(address, ReadMeasurements, 0x0B, 0x00, 0x8C);
}

QByteArray parameterRequest(unsigned char address)
{
    return shortForm(address, ReadParameters, 0, 0, 0);
}

QByteArray firmwareDownloadRequest()
{
    return shortForm(FirmwareAddress, FirmwareDownload, 0, 0, 0);
}

QByteArray scanProbe(unsigned char probeAddress)
{
    return plain(probeAddress, ScanProbe);
}

QByteArray toReport(const QByteArray &frame)
{
    QByteArray report(64, '\0');
    std::memcpy(report.data(), frame.constData(), static_cast<size_t>(qMin(frame.size(), 64)));
    return report;
}

} // namespace CommandFrame
