#pragma once

#include "simupgradetarget.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <climits>

// The simulated instrument's bootloader. It reads the handshake (AA 07 count
// lo/hi, last size, CRC), answers with a CRC-protected BB, then takes the
// numbered data packets (CC L index lo/hi, payload, CRC) in order, checking
// each one's length, index and CRC, acknowledges each with DD and its index,
// answers EE after the last byte and FF once the burn time has passed. A
// packet it cannot accept ends the upgrade with 11. The image it rebuilt is
// kept for comparison.
//
// Reports arrive as the host's link writes them: 0x55, then packet bytes 0 to
// 62. Byte 63 of a packet never arrives, so of a full data packet (L = 64)
// only the CRC's low byte can be checked.
class SimBootloader : public SimUpgradeTarget
{
public:
    enum class Fault {
        None,
        BadHandshakeCrc, // the BB reply carries a wrong CRC (any step)
        WrongAckIndex,   // the packet at the step is acknowledged with the previous index
        FailReply,       // 11 instead of the reply at the step
        Silence,         // no reply from the step on
        // Misbehaving bootloaders that must not fool the host:
        StaleAck,        // the packet at the step is not taken; the previous
                         // index is acknowledged now and every StaleAckEveryMs
        EarlyFinish,     // FF (burn completed) instead of the reply at the step
        RepeatHandshake, // the BB reply is sent again after the step's DD
    };
    static constexpr qint64 StaleAckEveryMs = 3000;
    // Steps a fault can be tied to: the handshake, a data packet index, the burn.
    static constexpr int AtHandshake = -1;
    static constexpr int AtBurn = INT_MAX;

    void setFault(Fault fault, int atStep = AtHandshake);
    void setBurnTimeMs(qint64 ms) { m_burnTimeMs = ms; }

    void begin(qint64 nowMs) override;
    QList<QByteArray> receive(const QByteArray &report, qint64 nowMs) override;
    QList<QByteArray> due(qint64 nowMs) override;
    bool active() const override { return m_active; }

    // What the host announced and what arrived.
    bool handshakeSeen() const { return m_expectedSize >= 0; }
    int expectedPackets() const { return m_expectedPackets; }
    int expectedSize() const { return m_expectedSize; }
    int packetsReceived() const { return m_nextIndex; }
    QByteArray image() const { return m_image; }
    bool burned() const { return m_burned; }
    bool failed() const { return m_failed; }
    // Why the last upgrade failed on this side, for test messages.
    QString error() const { return m_error; }

private:
    enum class Phase { Handshake, Data, Stale, Burning, Over };

    QList<QByteArray> onHandshake(const unsigned char *packet);
    QList<QByteArray> onData(const unsigned char *packet, qint64 nowMs);
    QList<QByteArray> fail(const QString &why);
    QList<QByteArray> finishEarly();
    QByteArray staleAck() const;
    bool faultAt(Fault fault, int step) const { return m_fault == fault && m_faultStep == step; }

    Fault m_fault = Fault::None;
    int m_faultStep = AtHandshake;
    qint64 m_burnTimeMs = 500; // short: a simulated flash should not keep anyone waiting

    Phase m_phase = Phase::Over;
    bool m_active = false;
    bool m_silent = false;
    bool m_burned = false;
    bool m_failed = false;
    int m_expectedPackets = 0;
    int m_expectedSize = -1;
    int m_lastSize = 0;
    int m_nextIndex = 0;
    qint64 m_burnDueMs = 0;
    qint64 m_staleDueMs = 0;
    QByteArray m_handshakeReply;
    QByteArray m_image;
    QString m_error;
};
