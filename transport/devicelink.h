#pragma once

#include "enumeration.h"
#include "hidbackend.h"
#include "my_thread.h"
#include "settingsaccess.h"
#include "usbthread.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>

// The connection lifecycle, without any widget: the link thread, the "main"
// handle every command goes out on (opened by serial number on every
// connection), the bus-scan pacer and the three 500 ms timers. What happens
// comes out as signals with states and values; the front ends put it into
// words. Connect to the signals first, then call start().
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int TimerIntervalMs = 500;

    explicit DeviceLink(const SettingsAccess &settings = {}, QObject *parent = nullptr);
    ~DeviceLink() override;

    // Starts the run-button and read timers, makes the first connection
    // attempt (on success usbconnect runs before this returns), starts the
    // link thread and then the poll timer.
    void start();
    // The close path: stops and waits for the link thread (and a running scan).
    void shutdown();

    USBThread *usbThread() const { return m_usb; }
    my_thread *scanWorker() const { return m_scan; }
    // Null until the first successful usbconnect; stale (reads fail) after a loss.
    // A read or write that fails on it is the loss of the instrument, handled
    // as an unplug: linkLost, then the usual reconnection.
    hid::Handle *mainHandle() const { return m_mainHandle.get(); }
    unsigned short vendorId() const { return m_vendorId; }
    unsigned short productId() const { return m_productId; }
    const Enumeration &enumeration() const { return m_enumeration; }
    QString manufacturerText() const { return m_manufacturer; }
    QString productText() const { return m_product; }
    QString serialNumberText() const { return m_serial; }

    // Starts the scan pacer unless it is still running; true when it started.
    bool startScan();

    QTimer *pollTimer() { return &m_pollTimer; }
    QTimer *readTimer() { return &m_readTimer; }
    QTimer *runButtonTimer() { return &m_runButtonTimer; }

public slots:
    void usbconnect(const QString &dev_str);
    void usbdisconnect();
    void usbsenderror();

signals:
    void pollTick();
    void readTick();
    void runButtonTick();

    // The link came up with the instrument of this product string.
    void deviceNameChanged(const QString &dev_str);
    // The link is up (with the product string) or down.
    void linkStateChanged(bool up, const QString &dev_str);
    // The device tree and entry list must be emptied (before the main handle opens).
    void deviceListCleared();
    // The main handle is open: start a bus scan, then the run display.
    void mainHandleOpened();
    void mainHandleFailed();
    // The link was lost: the first device entry shows its error state and the
    // run button its stopped texts.
    void linkLost();
    // An output report of the link thread was not written whole.
    void sendError();

private:
    class GuardedHandle;
    void mainHandleError(int linkSerial);

    const unsigned short m_vendorId = hid::InstrumentVendorId;
    const unsigned short m_productId = hid::InstrumentProductId;
    QTimer m_pollTimer;
    QTimer m_readTimer;
    QTimer m_runButtonTimer;
    my_thread *m_scan;
    USBThread *m_usb;
    std::unique_ptr<hid::Handle> m_mainHandle;
    // The link the main handle was opened for; -1 while there is none, or
    // once its loss has been reported.
    int m_mainLinkSerial = -1;
    Enumeration m_enumeration;
    QString m_manufacturer;
    QString m_product;
    QString m_serial;
};
