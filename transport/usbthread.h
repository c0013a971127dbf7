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
// input reports, notices loss and re-opens every 500 ms, and writes the output
// reports handed to write() between its reads (hidapi must not write on a
// handle while another thread reads it).
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
    // Sends 0x55 followed by up to 63 bytes of data, zero-padded to 64.
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

    // Read timeouts of the loop: long while idle, short just after traffic so
    // a reply-driven exchange (the firmware upgrade) is not slowed down.
    static constexpr int IdleReadTimeoutMs = 50;
    static constexpr int BusyReadTimeoutMs = 2;
    static constexpr int BusyWindowMs = 300;
    static constexpr int RetryIntervalMs = 500;

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
    // False when a write failed outright: the link is then lost.
    bool flushWrites();
    void dropLink();

    std::atomic<bool> m_stop{false};
    unsigned char m_buffer[hid::ReportSize] = {};
    int m_reportId = 0x55;
    qint64 m_lastAttempt = 0;
    qint64 m_busyUntil = 0;
    std::unique_ptr<hid::Handle> m_handle;
    std::atomic<int> m_linkState{LinkClosed};
    std::atomic<int> m_linkSerial{0};
    std::atomic<int> m_reconnectSerial{-1};

    QMutex m_writeMutex;
    QList<QByteArray> m_pendingWrites;
};
