#include "devicelink.h"

#include <QDebug>

const QString DeviceLink::ConnectedLinkStyle = QStringLiteral(
    "border-image:url(:/sys/rs/rs/usb_connect.png) 0 0 0 0 stretch stretch;");
const QString DeviceLink::DisconnectedLinkStyle = QStringLiteral(
    "border-image:url(:/sys/rs/rs/usb_disconnect.png) 0 0 0 0 stretch stretch;");

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
    qDebug() << "关闭USB";
    qDebug() << "设备已连接";
    qDebug() << "设备名称:" << dev_str;
    emit deviceNameChanged(dev_str);
    emit upgradePageStatus({tr("设备已连接"), tr("设备名称:") + dev_str}, ConnectedLinkStyle);

    m_enumeration = enumerateInstruments(m_vendorId, m_productId);
    emit deviceListCleared();

    // The old handle goes first; a new one is opened on every connection.
    m_mainHandle.reset();
    const QString serial = m_enumeration.serials.value(0);
    m_mainHandle = hid::backend().open(m_vendorId, m_productId, serial);
    qDebug() << "当前设备:" << static_cast<const void *>(m_mainHandle.get());
    if (!m_mainHandle) {
        qDebug() << "USB设备打开失败";
        emit mainHandleFailed();
        return;
    }
    qDebug() << "USB设备打开成功";
    m_manufacturer = m_mainHandle->manufacturer();
    qDebug() << m_manufacturer;
    m_product = m_mainHandle->product();
    qDebug() << "product_string" << m_product;
    m_serial = m_mainHandle->serialNumber();
    qDebug() << "number_string" << m_serial;
    emit mainHandleOpened();
}

void DeviceLink::usbdisconnect()
{
    // The main handle stays: its reads fail until the next connection replaces it.
    emit upgradePageStatus({tr("设备已断开")}, DisconnectedLinkStyle);
    emit linkLost();
}

void DeviceLink::usbsenderror()
{
    emit sendErrorMessage(tr("错误"), tr("USB发送数据异常"));
}
