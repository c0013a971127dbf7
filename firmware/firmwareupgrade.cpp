#include "firmwareupgrade.h"

#include "crc16.h"
#include "firmwarepacket.h"

#include <QDateTime>
#include <QDebug>
#include <cstring>

namespace {

// Shown while the upgrade runs; stays Chinese in both languages.
QString downloadingText()
{
    return QStringLiteral("正在下载");
}

} // namespace

FirmwareUpgrade::FirmwareUpgrade(QObject *parent)
    : QObject(parent), m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_packet(FirmwarePacket::Size, '\0')
{
    qRegisterMetaType<FirmwareUpgrade::Outcome>();
    m_entryTimer.setSingleShot(true);
    // A coarse timer may end a 3 s wait up to 150 ms early, before the
    // instrument's bootloader is ready for the handshake.
    m_entryTimer.setTimerType(Qt::PreciseTimer);
    m_entryTimer.setInterval(entryWaitMs);
    m_silenceTimer.setInterval(silenceTickMs);
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
    m_bytesRemaining = 0;
    m_progressValue = 0;
    m_progressText.clear();
    emit progressChanged(0, QString());

    m_state = State::Entering;
    m_entryPending = true;
    // The button goes inactive at once: the wait no longer freezes the window,
    // so a second click during it must find nothing to press.
    emit startButtonChanged(downloadingText(), false);
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
    m_silenceTimer.start();
    m_state = State::Handshaking;
    emit startButtonChanged(downloadingText(), false);
    emit logCleared();
    emit logLine(QStringLiteral("开始连接设备..."));

    const int n = m_image.size();
    const int count = FirmwarePacket::packetCount(n);
    const QByteArray packet = FirmwarePacket::handshake(n);
    const auto *p = reinterpret_cast<const unsigned char *>(packet.constData());
    qDebug("pack_length:%d,length:%d", count, n);
    qDebug() << "包长度" << count;
    qDebug("CRC16:0X%X", unsigned(p[5] | (p[6] << 8)));
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
        onHandshakeReply(r);
        break;
    case Acknowledged:
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
        qDebug("handshake reply length %d out of range", length);
        return;
    }
    const quint16 crc = Crc16::modbus(r + 1, length - 2);
    if ((crc & 0xFF) != r[length - 1] || (crc >> 8) != r[length]) {
        qDebug("handshake reply CRC mismatch");
        return;
    }

    m_timeoutCount = 0;
    m_packetIndex = 0;
    m_transferStartSecs = nowSecs();
    m_bytesRemaining = m_image.size();
    m_state = State::Transferring;
    qDebug() << "握手成功";
    emit logLine(tr("握手成功..."));
    emit logLine(tr("开始传输固件..."));
    sendNextPacket();
}

void FirmwareUpgrade::onAcknowledge(const unsigned char *r)
{
    m_timeoutCount = 0;
    const int index = r[3] | (r[4] << 8);
    // A stale or repeated acknowledgement is not answered: nothing is re-sent.
    if (index != m_packetIndex - 1)
        return;
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

QString FirmwareUpgrade::progressFormat(const QString &percent)
{
    return QStringLiteral("当前进度为：%1%").arg(percent);
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
    const QString format = progressFormat(text);
    if (value == m_progressValue && format == m_progressText)
        return;
    m_progressValue = value;
    m_progressText = format;
    emit progressChanged(value, format);
}

QString FirmwareUpgrade::speedLine(qint64 bytes, qint64 seconds)
{
    // Within one second there is no rate to divide out: show the bytes instead.
    if (seconds <= 0)
        return QString::number(bytes) + QStringLiteral("字节/<1秒");
    const qint64 speed = bytes / seconds;
    if (speed <= 1024)
        return QString::number(speed) + QStringLiteral("字节/秒");
    return QString::number(double(speed) / 1024.0, 'f', 2) + QStringLiteral("KB/秒");
}

void FirmwareUpgrade::onAllReceived()
{
    // The burn that follows is watched by the same silence limit.
    m_timeoutCount = 0;
    m_state = State::Burning;
    emit logLine(tr("传输完成..."));
    m_transferEndSecs = nowSecs();
    const qint64 elapsed = qMax<qint64>(0, m_transferEndSecs - m_transferStartSecs);
    emit logLine(tr("传输耗时") + QString::number(elapsed) + QStringLiteral("秒"));
    emit logLine(speedLine(m_image.size(), elapsed));
    emit logLine(tr("请等待设备烧写完成..."));
}

void FirmwareUpgrade::onBurnCompleted()
{
    m_timeoutCount = 0;
    end(Outcome::Done);
    m_burnEndSecs = nowSecs();
    const qint64 total = qMax<qint64>(0, m_burnEndSecs - m_transferStartSecs);
    emit logLine(tr("下载烧写过程耗时") + QString::number(total) + QStringLiteral("秒"));
    m_progressValue = 100;
    m_progressText = progressFormat(QStringLiteral("100.0"));
    emit progressChanged(m_progressValue, m_progressText);
    emit logLine(tr("烧写完成..."));
    emit logLine(tr("本次下载结束"));
    // Stays disabled until an image is loaded again.
    emit startButtonChanged(tr("开始下载"), false);
    emit finished(Outcome::Done);
}

void FirmwareUpgrade::onFailed()
{
    m_timeoutCount = 0;
    // The state ends before the modal box opens, so replies that arrive while
    // it is shown are not acted on.
    end(Outcome::Failed);
    emit warning(QStringLiteral("error"), tr("更新失败"));
    emit finished(Outcome::Failed);
}

void FirmwareUpgrade::silenceTick()
{
    if (!m_active)
        return;
    ++m_timeoutCount;
    qDebug("time_out:%d", m_timeoutCount);
    if (m_timeoutCount < timeoutLimit)
        return;
    end(Outcome::TimedOut);
    emit warning(QStringLiteral("错误"), QStringLiteral("USB更新失败,超时"));
    emit finished(Outcome::TimedOut);
}

void FirmwareUpgrade::sendError()
{
    const bool wasActive = m_active;
    if (wasActive)
        end(Outcome::SendError);
    emit warning(QStringLiteral("错误"), QStringLiteral("USB发送数据异常"));
    if (wasActive)
        emit finished(Outcome::SendError);
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
