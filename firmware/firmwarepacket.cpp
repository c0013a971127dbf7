#include "firmwarepacket.h"

#include "crc16.h"

#include <QtEndian>
#include <cstring>

namespace FirmwarePacket {

namespace {

void putCrc(unsigned char *packet, int length)
{
    qToLittleEndian(Crc16::modbus(packet, length - 2), packet + length - 2);
}

} // namespace

int packetCount(int imageSize)
{
    return imageSize <= 0 ? 0 : (imageSize + PayloadSize - 1) / PayloadSize;
}

int lastPayloadSize(int imageSize)
{
    return imageSize <= 0 ? 0 : imageSize % PayloadSize;
}

QByteArray handshake(int imageSize)
{
    QByteArray packet(Size, '\0');
    auto *p = reinterpret_cast<unsigned char *>(packet.data());
    const int count = packetCount(imageSize);
    p[0] = HandshakeType;
    p[1] = HandshakeLength;
    qToLittleEndian(quint16(count), p + 2);
    p[4] = static_cast<unsigned char>(lastPayloadSize(imageSize));
    putCrc(p, HandshakeLength);
    return packet;
}

int buildData(unsigned char *out, const unsigned char *image, int imageSize, int index)
{
    const qint64 offset = qint64(index) * PayloadSize;
    if (index < 0 || offset >= imageSize)
        return 0;
    const int payload = int(qMin<qint64>(PayloadSize, imageSize - offset));
    const int length = payload + 6;
    std::memset(out, 0, Size);
    out[0] = DataType;
    out[1] = static_cast<unsigned char>(length);
    qToLittleEndian(quint16(index), out + 2);
    std::memcpy(out + 4, image + offset, size_t(payload));
    putCrc(out, length);
    return payload;
}

QByteArray data(const QByteArray &image, int index)
{
    QByteArray packet(Size, '\0');
    const int payload =
        buildData(reinterpret_cast<unsigned char *>(packet.data()),
                  reinterpret_cast<const unsigned char *>(image.constData()), image.size(), index);
    return payload > 0 ? packet : QByteArray();
}

} // namespace FirmwarePacket
