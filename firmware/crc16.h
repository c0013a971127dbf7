#pragma once

#include <QByteArray>
#include <QtGlobal>

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final
// XOR. The bootloader checks it on every packet and sends it back on its
// handshake reply; both sides put the low byte first.
namespace Crc16 {

quint16 modbus(const unsigned char *data, int length);
quint16 modbus(const QByteArray &data);

} // namespace Crc16
