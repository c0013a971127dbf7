#include "firmwareupgrade.h"

#include "crc16.h"
#include "firmwarelog.h"
#include "firmwarepacket.h"

#include <QDateTime>
#include <QtEndian>
#include <cstring>

Q_LOGGING_CATEGORY(lcFirmware, "usbtester.firmware")

FirmwareUpgrade::FirmwareUpgrade(QObject *parent)
    : QObject(parent), m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_packet(FirmwarePacket::Size, '\0')
{
    qRegisterMetaType<FirmwareUpgrade::Outcome>();
    m_entryTimer.setSingleShot(true);
    // A coarse timer may end a 3 s wait up to 150 ms early, before the
    // instrument's bootloader is ready for the handshake.
    m_entryTimer.setTimerType(Qt::PreciseTimer);
    m_entryTimer.setInterval(EntryWaitMs);
    m_silenceTimer.setInterval(SilenceTickMs);
    connect(&m_entryTimer, &QTimer::timeout, this, &FirmwareUpgrade::entryWaitElapsed);
    connect(&m_silenceTimer, &QTimer::timeout, this, &FirmwareUpgrade::silenceTick);
}

void FirmwareUpgrade::setClock(Clock clock)
{
    if (clock)
        m_clock = std::move(clock);
}

qint64 FirmwareUpgrade::nowSecs() const
{
    return m_clock() / 1000;
}

qint64 FirmwareUpgrade::deadlineMs(int imageSize)
{
    return qint64(FirmwarePacket::packetCount(imageSize)) * DeadlineMsPerPacket + DeadlineSlackMs;
}

bool FirmwareUpgrade::start(const QByteArray &image)
{
    if (image.isEmpty() || image.size() > FirmwarePacket::MaxImageSize)
        return false;
    cancel();
    m_image = image;
    m_outcome = Outcome::None;
    m_timeoutCount = 0;
    // Counters of an earlier, broken-off upgrade must not let a stray
    // acknowledgement send data before the new handshake.
    m_packetIndex = 0;
    m_packetCount = 0;
    m_acknowledged = -1;
    m_pastDeadline = false;
    m_bytesRemaining = 0;
    m_progressValue = 0;
    m_progressText.clear();
    emit progressChanged(0, QString());

    m_state = State::Entering;
    m_entryPending = true;
    // The start button goes inactive at once: the wait no longer freezes the
    // window, so a second click during it must find nothing to press.
    emit started();
    emit entryFrameRequested();
    m_entryTimer.start();
    return true;
}

void FirmwareUpgrade::cancel()
{
    m_entryTimer.stop();
    m_silenceTimer.stop();
    m_entryPending = false;
    m_active = false;
    m_state = State::Idle;
}

bool FirmwareUpgrade::takeEntryRequest()
{
    const bool pending = m_entryPending;
    m_entryPending = false;
    return pending;
}

void FirmwareUpgrade::entryWaitElapsed()
{
    if (m_state != State::Entering)
        return;
    m_entryTimer.stop();
    // A frame the poll tick could not send by now is not sent late.
    m_entryPending = false;

    m_active = true;
    m_timeoutCount = 0;
    m_packetCount = FirmwarePacket::packetCount(m_image.size());
    m_acknowledged = -1;
    m_deadlineAtMs = m_clock() + deadlineMs(m_image.size());
    m_silenceTimer.start();
    m_state = State::Handshaking;
    emit handshakeSent();

    const int n = m_image.size();
    const int count = FirmwarePacket::packetCount(n);
    const QByteArray packet = FirmwarePacket::handshake(n);
    const auto *p = reinterpret_cast<const unsigned char *>(packet.constData());
    qCDebug(lcFirmware, "pack_length:%d,length:%d", count, n);
    qCDebug(lcFirmware) << "包长度" << count;
    qCDebug(lcFirmware, "CRC16:0X%X", unsigned(qFromLittleEndian<quint16>(p + 5)));
    emit packetReady(packet);
}

void FirmwareUpgrade::receive(const QByteArray &report)
{
    if (!m_active)
        return;
    // The report is taken as 64 bytes; a short one reads as zeros beyond its end.
    unsigned char r[FirmwarePacket::Size] = {};
    std::memcpy(r, report.constData(), size_t(qMin(report.size(), FirmwarePacket::Size)));

    switch (r[1]) {
    case HandshakeAccepted:
        // Once packets flow, a repeated handshake reply must not restart the
        // transfer from packet 0; it is not progress either.
        if (m_state == State::Handshaking)
            onHandshakeReply(r);
        break;
    case Acknowledged:
        if (m_state == State::Transferring)
            onAcknowledge(r);
        break;
    case AllReceived:
        onAllReceived();
        break;
    case BurnCompleted:
        onBurnCompleted();
        break;
    case UpgradeFailed:
        onFailed();
        break;
    default:
        break; // other codes do not count as an answer
    }
}

void FirmwareUpgrade::onHandshakeReply(const unsigned char *r)
{
    // The length byte counts from the code byte (report byte 1); the CRC sits
    // at report bytes L-1 and L, so L must keep both inside the 64 bytes.
    const int length = r[2];
    if (length < 3 || length > 63) {
        qCDebug(lcFirmware, "handshake reply length %d out of range", length);
        return;
    }
    const quint16 crc = Crc16::modbus(r + 1, length - 2);
    if (qFromLittleEndian<quint16>(r + length - 1) != crc) {
        qCDebug(lcFirmware, "handshake reply CRC mismatch");
        return;
    }

    m_timeoutCount = 0;
    m_packetIndex = 0;
    m_transferStartSecs = nowSecs();
    m_bytesRemaining = m_image.size();
    m_state = State::Transferring;
    qCDebug(lcFirmware) << "握手成功";
    emit transferStarted();
    sendNextPacket();
}

void FirmwareUpgrade::onAcknowledge(const unsigned char *r)
{
    const int index = qFromLittleEndian<quint16>(r + 3);
    // Only the acknowledgement of the packet just sent is progress. A stale or
    // repeated one is not answered (nothing is re-sent) and does not keep the
    // upgrade alive: a bootloader stuck repeating it must still time out.
    if (index != m_packetIndex - 1 || index <= m_acknowledged)
        return;
    m_acknowledged = index;
    m_timeoutCount = 0;
    // Everything is acknowledged; the instrument answers 0xEE next.
    if (m_bytesRemaining == 0)
        return;
    sendNextPacket();
}

void FirmwareUpgrade::sendNextPacket()
{
    auto *out = reinterpret_cast<unsigned char *>(m_packet.data());
    const int payload =
        FirmwarePacket::buildData(out, reinterpret_cast<const unsigned char *>(m_image.constData()),
                                  m_image.size(), m_packetIndex);
    if (payload <= 0)
        return;
    m_bytesRemaining = payload < FirmwarePacket::PayloadSize
                           ? 0
                           : qMax(0, m_bytesRemaining - FirmwarePacket::PayloadSize);
    ++m_packetIndex;
    updateProgress();
    // Sent last, so an answer handled before emit returns finds the counters
    // already moved on.
    emit packetReady(m_packet);
}

void FirmwareUpgrade::updateProgress()
{
    const float percent =
        float(m_packetIndex * FirmwarePacket::PayloadSize) / float(m_image.size()) * 100.0f;
    int value = 99;
    QString text = QStringLiteral("99.9");
    if (percent < 100.0f) {
        value = int(percent);
        text = QString::number(double(percent), 'f', 1);
        // 99.95 and above would round to 100.0 before the burn is confirmed.
        if (text == QLatin1String("100.0"))
            text = QStringLiteral("99.9");
    }
    if (value == m_progressValue && text == m_progressText)
        return;
    m_progressValue = value;
    m_progressText = text;
    emit progressChanged(value, text);
}

bool FirmwareUpgrade::allAcknowledged() const
{
    return m_packetCount > 0 && m_acknowledged == m_packetCount - 1;
}

void FirmwareUpgrade::onAllReceived()
{
    if (m_state == State::Burning)
        return; // a repeat is not progress
    if (!allAcknowledged())
        return endFailed(Outcome::EndedEarly);
    // The burn that follows is watched by the same silence limit.
    m_timeoutCount = 0;
    m_state = State::Burning;
    m_transferEndSecs = nowSecs();
    emit transferComplete(m_image.size(), qMax<qint64>(0, m_transferEndSecs - m_transferStartSecs));
}

void FirmwareUpgrade::onBurnCompleted()
{
    // "Burned" before the last packet was acknowledged burned something else
    // than this image, if anything.
    if (!allAcknowledged())
        return endFailed(Outcome::EndedEarly);
    m_timeoutCount = 0;
    end(Outcome::Done);
    m_burnEndSecs = nowSecs();
    m_progressValue = 100;
    m_progressText = QStringLiteral("100.0");
    emit burnComplete(qMax<qint64>(0, m_burnEndSecs - m_transferStartSecs));
    emit finished(Outcome::Done);
}

void FirmwareUpgrade::onFailed()
{
    m_timeoutCount = 0;
    endFailed(Outcome::Failed);
}

void FirmwareUpgrade::silenceTick()
{
    if (!m_active)
        return;
    ++m_timeoutCount;
    qCDebug(lcFirmware, "time_out:%d", m_timeoutCount);
    const bool late = m_clock() >= m_deadlineAtMs;
    if (m_timeoutCount < TimeoutLimit && !late)
        return;
    m_pastDeadline = m_timeoutCount < TimeoutLimit;
    endFailed(Outcome::TimedOut);
}

void FirmwareUpgrade::sendError()
{
    // A write that failed outside an upgrade is not the upgrade's to report.
    if (m_active)
        endFailed(Outcome::SendError);
}

void FirmwareUpgrade::endFailed(Outcome outcome)
{
    // The state ends before anyone is told, so replies that arrive while a
    // message box is shown are not acted on.
    end(outcome);
    emit finished(outcome);
}

void FirmwareUpgrade::end(Outcome outcome)
{
    m_entryTimer.stop();
    m_silenceTimer.stop();
    m_entryPending = false;
    m_active = false;
    m_state = State::Idle;
    m_outcome = outcome;
}
