#include "usbthread.h"

#include "logging.h"
#include "threadhooks.h"

#include <QDateTime>
#include <QMutexLocker>
#include <cstring>

namespace {
qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

USBThread::USBThread(QObject *parent, const SettingsAccess &settings) : QThread(parent)
{
    setObjectName(QStringLiteral("usb-link"));
    if (settings.isValid()) {
        const QString text = settings.read(QStringLiteral("report_id"));
        if (text.isEmpty())
            settings.write(QStringLiteral("report_id"), QStringLiteral("85"));
        else
            m_reportId = text.toInt(); // not a number gives 0, as before
    }
    m_writesBetweenReads = qEnvironmentVariableIntValue(WritesBetweenReadsVariable) == 1;
    // The backend initialises its library when it is first asked for.
    hid::backend();
    m_lastAttempt = nowMs();
}

USBThread::~USBThread()
{
    if (isRunning()) {
        stop();
        wait();
    }
}

bool USBThread::open()
{
    m_linkState = LinkClosed;
    if (!openLink())
        return false;
    qCDebug(lcLink) << m_handle->serialNumber();
    return true;
}

void USBThread::write(const unsigned char *data, int length)
{
    if (!isLinkOpen())
        return;
    QByteArray report(hid::ReportSize, '\0');
    report[0] = char(0x55);
    const int n = qBound(0, length, hid::ReportSize - 1);
    if (data && n)
        std::memcpy(report.data() + 1, data, size_t(n));
    // Some 65 lines a report, over a million during an upgrade: only when asked for.
    if (lcLinkBytes().isDebugEnabled())
        for (int i = 0; i < hid::ReportSize; ++i)
            qCDebug(lcLinkBytes) << "sendbuf:" << quint8(report[i]);
    if (m_writesBetweenReads) {
        QMutexLocker lock(&m_writeMutex);
        m_pendingWrites.append(report);
        return;
    }
    if (writeReport(report) != Written::Whole) {
        // The caller is usually the upgrade sending its next packet; it learns
        // of the failure from the event loop, as from the link thread before.
        QMetaObject::invokeMethod(
            this, [this] { emit usb_send_error(); }, Qt::QueuedConnection);
    }
}

void USBThread::write(const QByteArray &data)
{
    write(reinterpret_cast<const unsigned char *>(data.constData()), data.size());
}

void USBThread::stop()
{
    m_stop = true;
}

void USBThread::requestReconnect(int serial)
{
    m_reconnectSerial = serial;
}

USBThread::Written USBThread::writeReport(const QByteArray &report)
{
    QMutexLocker lock(&m_handleMutex);
    // Lost since the caller looked, or about to be dropped: written nowhere
    // and no error, as while closed.
    if (!m_handle || !isLinkOpen() || m_reconnectSerial.load() == m_linkSerial.load())
        return Written::Whole;
    const int res = m_handle->write(reinterpret_cast<const unsigned char *>(report.constData()),
                                    size_t(report.size()));
    qCDebug(lcLinkBytes) << res;
    if (res >= hid::ReportSize)
        return Written::Whole;
    if (res >= 0)
        return Written::Short;
    // A refused write means the instrument is gone, whatever reads say: the
    // loop drops the link at its next turn.
    m_reconnectSerial = m_linkSerial.load();
    return Written::Refused;
}

bool USBThread::openLink()
{
    std::unique_ptr<hid::Handle> handle = hid::backend().open(vendorId, productId);
    if (!handle)
        return false;
    qCDebug(lcLink) << "USB设备打开成功";
    // Asked before writers can reach the handle.
    const QString product = handle->product();
    {
        QMutexLocker lock(&m_handleMutex);
        m_handle = std::move(handle);
        ++m_linkSerial;
        m_linkState = LinkOpen;
    }
    qCDebug(lcLink) << product;
    emit usb_connect(product);
    return true;
}

void USBThread::flushWrites()
{
    QList<QByteArray> writes;
    {
        QMutexLocker lock(&m_writeMutex);
        writes.swap(m_pendingWrites);
    }
    for (const QByteArray &report : qAsConst(writes)) {
        const Written w = writeReport(report);
        m_busyUntil = nowMs() + BusyWindowMs;
        if (w != Written::Whole)
            emit usb_send_error();
        if (w == Written::Refused)
            return; // the rest were meant for the instrument that is gone
    }
}

int USBThread::readTimeoutMs() const
{
    if (m_writesBetweenReads && nowMs() < m_busyUntil)
        return BusyReadTimeoutMs;
    return ReadTimeoutMs;
}

void USBThread::dropLink()
{
    {
        QMutexLocker lock(&m_handleMutex);
        m_linkState = LinkClosed;
        m_handle.reset();
    }
    m_lastAttempt = nowMs();
    // Reports meant for the lost instrument are not sent to the next one.
    QMutexLocker lock(&m_writeMutex);
    m_pendingWrites.clear();
}

void USBThread::run()
{
    ThreadHooks::runThreadStartHook();
    while (!m_stop.load()) {
        if (m_linkState.load() == LinkOpen) {
            if (m_writesBetweenReads)
                flushWrites();
            if (m_reconnectSerial.exchange(-1) == m_linkSerial.load()) {
                dropLink();
                emit usb_disconnect();
                continue;
            }
            int res = m_handle->read(m_buffer, sizeof m_buffer, readTimeoutMs());
            if (res >= hid::ReportSize) {
                m_busyUntil = nowMs() + BusyWindowMs;
                emit new_data(
                    QByteArray(reinterpret_cast<const char *>(m_buffer), hid::ReportSize));
                continue;
            }
            // A blocking read reports loss at once; the periodic probe keeps
            // the old log line and catches a link that only fails to probe.
            if (res >= 0 && nowMs() - m_lastAttempt >= RetryIntervalMs) {
                m_lastAttempt = nowMs();
                res = m_handle->read(m_buffer, sizeof m_buffer, 0);
                qCDebug(lcLinkBytes, "res:%d", res);
                if (res >= hid::ReportSize) {
                    emit new_data(
                        QByteArray(reinterpret_cast<const char *>(m_buffer), hid::ReportSize));
                    continue;
                }
            }
            if (res < 0) {
                dropLink();
                emit usb_disconnect();
            }
        } else {
            if (nowMs() - m_lastAttempt >= RetryIntervalMs) {
                m_lastAttempt = nowMs();
                openLink();
            }
            if (m_linkState.load() != LinkOpen) {
                // Nothing to read: wait for the next attempt, waking for stop.
                const qint64 left = RetryIntervalMs - (nowMs() - m_lastAttempt);
                msleep(ulong(qBound<qint64>(1, left, ReadTimeoutMs)));
            }
        }
    }
    qCDebug(lcLink) << "quit";
}
