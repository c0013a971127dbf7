#include "simbootloader.h"

#include <QtEndian>

namespace {

constexpr int ReportSize = 64;
constexpr int FullPayload = 58;

// The bootloader's own CRC-16/MODBUS, bit by bit as a small device computes it.
quint16 crcModbus(const unsigned char *data, int length)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            if (crc & 0x0001)
                crc = quint16((crc >> 1) ^ 0xA001);
            else
                crc = quint16(crc >> 1);
        }
    }
    return crc;
}

QByteArray reply(unsigned char code)
{
    QByteArray r(ReportSize, '\0');
    r[0] = char(0xAA);
    r[1] = char(code);
    return r;
}

} // namespace

void SimBootloader::setFault(Fault fault, int atStep)
{
    m_fault = fault;
    m_faultStep = atStep;
}

void SimBootloader::begin(qint64 nowMs)
{
    Q_UNUSED(nowMs);
    m_phase = Phase::Handshake;
    m_active = true;
    m_silent = false;
    m_burned = false;
    m_failed = false;
    m_expectedPackets = 0;
    m_expectedSize = -1;
    m_lastSize = 0;
    m_nextIndex = 0;
    m_burnDueMs = 0;
    m_staleDueMs = 0;
    m_handshakeReply.clear();
    m_image.clear();
    m_error.clear();
}

QList<QByteArray> SimBootloader::receive(const QByteArray &report, qint64 nowMs)
{
    if (!m_active)
        return {};
    // A new download request (55 05 09 02) while the bootloader still waits,
    // e.g. silent after a failed try: it starts afresh, as a power cycle would.
    if (report.size() >= 5 && report.startsWith(QByteArray::fromHex("55050902"))) {
        begin(nowMs);
        return {};
    }
    if (m_silent)
        return {};
    if (report.size() != ReportSize || static_cast<unsigned char>(report[0]) != 0x55)
        return {}; // not a packet of the upgrade
    // Packet bytes 0..62 as they came; byte 63 is never sent and reads as 0.
    unsigned char packet[ReportSize] = {};
    for (int i = 0; i < ReportSize - 1; ++i)
        packet[i] = static_cast<unsigned char>(report[i + 1]);

    if (packet[0] == 0xAA)
        return onHandshake(packet); // a new handshake starts over
    if (packet[0] == 0xCC) {
        if (m_phase == Phase::Data)
            return onData(packet, nowMs);
        if (m_phase == Phase::Stale)
            return {}; // stuck: takes nothing, only repeats itself
        return fail(QStringLiteral("data packet outside the transfer"));
    }
    // The window's status queries keep coming during the upgrade; they are
    // not the bootloader's business.
    return {};
}

QList<QByteArray> SimBootloader::onHandshake(const unsigned char *p)
{
    if (p[1] != 7)
        return fail(QStringLiteral("handshake length %1").arg(p[1]));
    const quint16 crc = crcModbus(p, 5);
    if (qFromLittleEndian<quint16>(p + 5) != crc)
        return fail(QStringLiteral("handshake CRC"));
    const int count = qFromLittleEndian<quint16>(p + 2);
    const int last = p[4];
    if (count == 0 || last >= FullPayload)
        return fail(QStringLiteral("handshake count %1, last %2").arg(count).arg(last));

    m_expectedPackets = count;
    m_lastSize = last;
    m_expectedSize = last == 0 ? count * FullPayload : (count - 1) * FullPayload + last;
    m_nextIndex = 0;
    m_image.clear();
    m_image.reserve(m_expectedSize);
    m_phase = Phase::Data;

    if (faultAt(Fault::Silence, AtHandshake)) {
        m_silent = true;
        return {};
    }
    if (faultAt(Fault::FailReply, AtHandshake))
        return fail(QStringLiteral("told to fail the handshake"));
    if (faultAt(Fault::EarlyFinish, AtHandshake))
        return finishEarly();

    // BB, L = 7, the announced count and last size, CRC over report bytes 1..5.
    QByteArray r = reply(0xBB);
    auto *u = reinterpret_cast<unsigned char *>(r.data());
    u[2] = 7;
    u[3] = p[2];
    u[4] = p[3];
    u[5] = p[4];
    quint16 replyCrc = crcModbus(u + 1, 5);
    if (m_fault == Fault::BadHandshakeCrc)
        replyCrc ^= 0x5A5A;
    qToLittleEndian(replyCrc, u + 6);
    m_handshakeReply = r;
    if (faultAt(Fault::RepeatHandshake, AtHandshake))
        return {r, r};
    return {r};
}

QList<QByteArray> SimBootloader::onData(const unsigned char *p, qint64 nowMs)
{
    const int index = qFromLittleEndian<quint16>(p + 2);
    if (index != m_nextIndex)
        return fail(QStringLiteral("packet %1 where %2 was due").arg(index).arg(m_nextIndex));
    const bool last = index == m_expectedPackets - 1;
    const int payload = (last && m_lastSize != 0) ? m_lastSize : FullPayload;
    const int length = p[1];
    if (length != payload + 6)
        return fail(QStringLiteral("packet %1 length %2, expected %3")
                        .arg(index)
                        .arg(length)
                        .arg(payload + 6));
    const quint16 crc = crcModbus(p, length - 2);
    const bool highArrived = length - 1 < ReportSize - 1;
    const bool crcOk = highArrived ? qFromLittleEndian<quint16>(p + length - 2) == crc
                                   : p[length - 2] == quint8(crc);
    if (!crcOk)
        return fail(QStringLiteral("packet %1 CRC").arg(index));
    // Bytes behind the CRC must be the zeros of the host's buffer.
    for (int i = length; i < ReportSize - 1; ++i)
        if (p[i] != 0)
            return fail(QStringLiteral("packet %1 byte %2 after the CRC").arg(index).arg(i));

    if (faultAt(Fault::Silence, index)) {
        m_silent = true;
        return {};
    }
    if (faultAt(Fault::FailReply, index))
        return fail(QStringLiteral("told to fail packet %1").arg(index));
    if (faultAt(Fault::EarlyFinish, index))
        return finishEarly();
    if (faultAt(Fault::StaleAck, index)) {
        m_phase = Phase::Stale;
        m_staleDueMs = nowMs + StaleAckEveryMs;
        return {staleAck()};
    }

    m_image.append(reinterpret_cast<const char *>(p + 4), payload);
    ++m_nextIndex;

    QByteArray ack = reply(0xDD);
    const quint16 acked = quint16(faultAt(Fault::WrongAckIndex, index) ? index - 1 : index);
    ack[2] = char(5);
    qToLittleEndian(acked, ack.data() + 3);
    QList<QByteArray> out{ack};
    if (faultAt(Fault::RepeatHandshake, index))
        out << m_handshakeReply;
    if (!last)
        return out;

    m_phase = Phase::Burning;
    m_burnDueMs = nowMs + m_burnTimeMs;
    return out << reply(0xEE);
}

QByteArray SimBootloader::staleAck() const
{
    // The acknowledgement of the packet before the one it is stuck on.
    QByteArray ack = reply(0xDD);
    ack[2] = char(5);
    qToLittleEndian(quint16(m_nextIndex - 1), ack.data() + 3);
    return ack;
}

QList<QByteArray> SimBootloader::due(qint64 nowMs)
{
    if (!m_active || m_silent)
        return {};
    if (m_phase == Phase::Stale) {
        QList<QByteArray> out;
        for (; m_staleDueMs <= nowMs; m_staleDueMs += StaleAckEveryMs)
            out << staleAck();
        return out;
    }
    if (m_phase != Phase::Burning || nowMs < m_burnDueMs)
        return {};
    if (faultAt(Fault::Silence, AtBurn)) {
        m_silent = true;
        return {};
    }
    if (faultAt(Fault::FailReply, AtBurn))
        return fail(QStringLiteral("told to fail the burn"));
    m_phase = Phase::Over;
    m_active = false;
    m_burned = true;
    return {reply(0xFF)};
}

QList<QByteArray> SimBootloader::finishEarly()
{
    // Claims a finished burn of an image it never got whole.
    m_phase = Phase::Over;
    m_active = false;
    return {reply(0xFF)};
}

QList<QByteArray> SimBootloader::fail(const QString &why)
{
    m_error = why;
    m_failed = true;
    m_phase = Phase::Over;
    m_active = false;
    return {reply(0x11)};
}
