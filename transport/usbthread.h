#pragma once

#include "hidbackend.h"
#include "settingsaccess.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

// Keeps one HID link to the instrument alive in a thread of its own: reads its
// input reports, notices loss and re-opens every 500 ms. write() sends at once
// on the caller's thread while the loop waits in its read: the seam lets one
// thread write on a handle while another reads it (the hidapi backend writes
// through a device handle of its own), so a reply-driven exchange such as the
// firmware upgrade never waits for a read timeout.
class USBThread : public QThread
{
    Q_OBJECT
public:
    explicit USBThread(QObject *parent = nullptr, const SettingsAccess &settings = {});
    ~USBThread() override;

    unsigned short vendorId = hid::InstrumentVendorId;
    unsigned short productId = hid::InstrumentProductId;

    // A first connection attempt on the caller's thread, before start().
    bool open();
    // Sends 0x55 followed by up to 63 bytes of data, zero-padded to 64, before
    // returning. Nothing is sent while the link is closed; a report not written
    // whole is reported by usb_send_error, queued, never from inside write().
    void write(const unsigned char *data, int length);
    void write(const QByteArray &data);
    // Asks the loop to end; the caller then waits for the thread.
    void stop();
    // Another handle on the instrument failed: the link is dropped as if the
    // instrument had gone (usb_disconnect) and re-opened as after any loss.
    // `serial` is the linkSerial() the caller's handle belongs to; a request
    // about an older link is ignored, that link is gone already.
    void requestReconnect(int serial);
    // Counts the links opened; each usb_connect belongs to a new one.
    int linkSerial() const { return m_linkSerial.load(); }

    bool isLinkOpen() const { return m_linkState.load() == LinkOpen; }
    int reportId() const { return m_reportId; }

    // A read returns as soon as a report comes or the instrument goes; the
    // timeout only bounds how late the loop sees stop() and probes the link.
    static constexpr int ReadTimeoutMs = 50;
    static constexpr int RetryIntervalMs = 500;

    // Benchmark baseline only: with the environment variable
    // USB_TESTER_WRITES_BETWEEN_READS=1 at construction, write() queues the
    // report and the loop writes it between its reads, which wait 2 ms for a
    // report for 300 ms after any traffic and 50 ms otherwise. That is how the
    // link worked before writes went out at once; `make bench` measures both.
    static constexpr const char *WritesBetweenReadsVariable = "USB_TESTER_WRITES_BETWEEN_READS";
    static constexpr int BusyReadTimeoutMs = 2;
    static constexpr int BusyWindowMs = 300;
    bool writesBetweenReads() const { return m_writesBetweenReads; }

signals:
    void new_data(QByteArray report);
    void usb_connect(QString dev_str);
    void usb_disconnect();
    void usb_send_error();

protected:
    void run() override;

private:
    enum LinkState { LinkOpen = 0, LinkClosed = 1 };

    bool openLink();
    // The write's result: whole, cut short, or refused (the instrument's loss).
    enum class Written { Whole, Short, Refused };
    Written writeReport(const QByteArray &report);
    void flushWrites();
    int readTimeoutMs() const;
    void dropLink();

    std::atomic<bool> m_stop{false};
    unsigned char m_buffer[hid::ReportSize] = {};
    int m_reportId = 0x55;
    qint64 m_lastAttempt = 0;
    std::atomic<int> m_linkState{LinkClosed};
    std::atomic<int> m_linkSerial{0};
    // The link to drop at the loop's next turn (a refused write, another
    // handle's failure); -1 for none.
    std::atomic<int> m_reconnectSerial{-1};

    // Only the loop (or open() before start) replaces the handle, and it does
    // so under this lock; writers hold it while they write.
    QMutex m_handleMutex;
    std::unique_ptr<hid::Handle> m_handle;

    bool m_writesBetweenReads = false;
    qint64 m_busyUntil = 0;
    QMutex m_writeMutex;
    QList<QByteArray> m_pendingWrites;
};
