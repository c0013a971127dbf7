#include "devicelink.h"

#include "logging.h"

#include <QPointer>

// The main handle as the window and the session see it: every call goes to
// the real handle, and a failed read or write (a short write included) is
// reported once to the link, which treats it as the instrument's loss.
class DeviceLink::GuardedHandle : public hid::Handle
{
public:
    GuardedHandle(std::unique_ptr<hid::Handle> handle, DeviceLink *link, int linkSerial)
        : m_handle(std::move(handle)), m_link(link), m_serial(linkSerial)
    {
    }

    int read(unsigned char *data, size_t length, int timeoutMs) override
    {
        const int n = m_handle->read(data, length, timeoutMs);
        if (n < 0)
            failed();
        return n;
    }
    int write(const unsigned char *data, size_t length) override
    {
        const int n = m_handle->write(data, length);
        if (n < 0 || size_t(n) < length)
            failed();
        return n;
    }
    QString manufacturer() override { return m_handle->manufacturer(); }
    QString product() override { return m_handle->product(); }
    QString serialNumber() override { return m_handle->serialNumber(); }

private:
    void failed()
    {
        if (m_reported)
            return;
        m_reported = true;
        // Queued: the caller is in the middle of a read or write on this handle.
        QPointer<DeviceLink> link(m_link);
        const int serial = m_serial;
        QMetaObject::invokeMethod(
            m_link,
            [link, serial] {
                if (link)
                    link->mainHandleError(serial);
            },
            Qt::QueuedConnection);
    }

    std::unique_ptr<hid::Handle> m_handle;
    DeviceLink *m_link;
    int m_serial;
    bool m_reported = false;
};

DeviceLink::DeviceLink(const SettingsAccess &settings, QObject *parent)
    : QObject(parent), m_scan(new my_thread(this)), m_usb(new USBThread(this, settings))
{
    for (QTimer *t : {&m_pollTimer, &m_readTimer, &m_runButtonTimer})
        t->setInterval(TimerIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DeviceLink::pollTick);
    connect(&m_readTimer, &QTimer::timeout, this, &DeviceLink::readTick);
    connect(&m_runButtonTimer, &QTimer::timeout, this, &DeviceLink::runButtonTick);

    connect(m_usb, &USBThread::usb_connect, this, &DeviceLink::usbconnect);
    connect(m_usb, &USBThread::usb_disconnect, this, &DeviceLink::usbdisconnect);
    connect(m_usb, &USBThread::usb_send_error, this, &DeviceLink::usbsenderror);
    m_usb->vendorId = m_vendorId;
    m_usb->productId = m_productId;
}

DeviceLink::~DeviceLink()
{
    shutdown();
}

void DeviceLink::start()
{
    m_runButtonTimer.start();
    m_readTimer.start();
    m_usb->open();
    m_usb->start();
    m_pollTimer.start();
}

void DeviceLink::shutdown()
{
    m_pollTimer.stop();
    m_readTimer.stop();
    m_runButtonTimer.stop();
    if (m_usb->isRunning()) {
        m_usb->stop();
        m_usb->wait();
    }
    m_scan->cancel();
    m_scan->wait();
}

bool DeviceLink::startScan()
{
    if (m_scan->isRunning())
        return false;
    m_scan->start();
    return true;
}

void DeviceLink::usbconnect(const QString &dev_str)
{
    qCDebug(lcLink) << "关闭USB";
    qCDebug(lcLink) << "设备已连接";
    qCDebug(lcLink) << "设备名称:" << dev_str;
    emit deviceNameChanged(dev_str);
    emit linkStateChanged(true, dev_str);

    m_enumeration = enumerateInstruments(m_vendorId, m_productId);
    emit deviceListCleared();

    // The old handle goes first; a new one is opened on every connection.
    m_mainHandle.reset();
    m_mainLinkSerial = -1;
    const QString serial = m_enumeration.serials.value(0);
    std::unique_ptr<hid::Handle> opened = hid::backend().open(m_vendorId, m_productId, serial);
    qCDebug(lcLink) << "当前设备:" << static_cast<const void *>(opened.get());
    if (!opened) {
        qCDebug(lcLink) << "USB设备打开失败";
        emit mainHandleFailed();
        return;
    }
    m_mainLinkSerial = m_usb->linkSerial();
    m_mainHandle = std::make_unique<GuardedHandle>(std::move(opened), this, m_mainLinkSerial);
    qCDebug(lcLink) << "USB设备打开成功";
    m_manufacturer = m_mainHandle->manufacturer();
    qCDebug(lcLink) << m_manufacturer;
    m_product = m_mainHandle->product();
    qCDebug(lcLink) << "product_string" << m_product;
    m_serial = m_mainHandle->serialNumber();
    qCDebug(lcLink) << "number_string" << m_serial;
    emit mainHandleOpened();
}

void DeviceLink::mainHandleError(int linkSerial)
{
    // Only the handle of the link still in place counts; a loss the link
    // thread already reported is not reported twice.
    if (linkSerial != m_mainLinkSerial)
        return;
    qCDebug(lcLink) << "main handle failed; the link is re-opened";
    m_mainLinkSerial = -1;
    m_usb->requestReconnect(linkSerial);
}

void DeviceLink::usbdisconnect()
{
    m_mainLinkSerial = -1;
    // The main handle stays: its reads fail until the next connection replaces it.
    emit linkStateChanged(false, QString());
    emit linkLost();
}

void DeviceLink::usbsenderror()
{
    emit sendError();
}
