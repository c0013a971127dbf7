#pragma once

#include <QByteArray>

// The bootloader's packets as the program builds them: a 64-byte buffer of
// zeros holding type, length L (type byte to CRC, inclusive), body and the
// CRC-16/MODBUS of bytes 0..L-3, low byte first. The link thread sends 0x55
// followed by bytes 0..62, so byte 63 (the CRC high byte of a full data
// packet) never reaches the wire; the bootloader expects exactly that.
namespace FirmwarePacket {

constexpr int Size = 64;
constexpr int PayloadSize = 58;
constexpr unsigned char HandshakeType = 0xAA;
constexpr unsigned char DataType = 0xCC;
constexpr int HandshakeLength = 7;
constexpr int MaxImageSize = 1024000;

// Data packets needed for an image of n bytes (n / 58 rounded up).
int packetCount(int imageSize);
// Payload of the last, shorter packet; 0 when n is a multiple of 58.
int lastPayloadSize(int imageSize);

// AA 07 <count lo> <count hi> <n mod 58> <crc lo> <crc hi>, then zeros.
QByteArray handshake(int imageSize);
// CC L <i lo> <i hi> <payload> <crc lo> <crc hi>, then zeros. The payload is
// image bytes i*58 onwards, at most 58 of them. Empty when i is past the end.
QByteArray data(const QByteArray &image, int index);
// Same, written into a caller's 64-byte buffer; returns the payload size, 0
// (buffer untouched) when i is past the end.
int buildData(unsigned char *out, const unsigned char *image, int imageSize, int index);

} // namespace FirmwarePacket
