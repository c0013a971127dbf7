#include "crc16.h"

#include <array>

namespace Crc16 {

namespace {

// One table lookup per byte keeps the 17,656 packets of the largest image cheap.
constexpr std::array<quint16, 256> makeTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        table[size_t(i)] = crc;
    }
    return table;
}

constexpr std::array<quint16, 256> Table = makeTable();

} // namespace

quint16 modbus(const unsigned char *data, int length)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc >> 8) ^ Table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

quint16 modbus(const QByteArray &data)
{
    return modbus(reinterpret_cast<const unsigned char *>(data.constData()), data.size());
}

} // namespace Crc16
