// The window's side of the link: applies what the connection logic reports,
// drives the poll and read ticks, and shows the link's warnings.
#include "chartmenu.h"
#include "devicelink.h"
#include "firmwareupgrade.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "realtimechart.h"

#include <QDebug>

void MainDialog::buildLink()
{
    DeviceLink *link = &m_session.link();
    my_thread *scan = link->scanWorker();
    connect(scan, &my_thread::ThreadSendData_Signal, this, &MainDialog::ThreadSendData_Slot);
    connect(scan, &my_thread::ThreadRecvData_Signal, this, &MainDialog::ThreadRecvData_Slot);
    connect(scan, &my_thread::ThreadShowData_Signal, this, &MainDialog::ThreadShowData_Slot);

    connect(link, &DeviceLink::deviceNameChanged, this, &MainDialog::showDeviceName);
    connect(link, &DeviceLink::linkStateChanged, this, &MainDialog::showUpgradePageStatus);
    connect(link, &DeviceLink::deviceListCleared, this, &MainDialog::clearDeviceList);
    connect(link, &DeviceLink::mainHandleOpened, this, &MainDialog::usbconnect);
    connect(link, &DeviceLink::linkLost, this, &MainDialog::usbdisconnect);
    connect(link, &DeviceLink::sendError, this, &MainDialog::usbsenderror);

    // The session runs the poll and read ticks; the window samples and shows.
    connect(&m_session, &InstrumentSession::sampleTick, this, &MainDialog::sample);
    connect(&m_session, &InstrumentSession::displayRefresh, this, &MainDialog::updateDisplay);
    connect(link, &DeviceLink::runButtonTick, this, &MainDialog::runButtonRefresh);

    // The link thread stops before the window goes.
    connect(this, &MainDialog::aboutToClose, this, [this] { m_session.close(); });

    m_session.startPolling();
    m_session.open();
}

bool MainDialog::linkUp() const
{
    return m_session.link().usbThread()->isLinkOpen();
}

void MainDialog::setMessageBox(dialoghooks::MessageFn fn)
{
    m_message = fn;
    if (m_dataExport)
        m_dataExport->setMessageBox(fn);
    if (m_chartMenu)
        m_chartMenu->setMessageBox(fn);
}

void MainDialog::warn(const QString &title, const QString &text)
{
    m_message(this, QMessageBox::Warning, title, text);
}

// ---- ticks -----------------------------------------------------------------

void MainDialog::pollTick()
{
    m_session.pollTick();
}

void MainDialog::readTick()
{
    m_session.readTick();
}

void MainDialog::sample(quint32 count)
{
    if (!m_chart)
        return;
    const InstrumentState &st = m_session.state();
    const SampleGate gate{deviceClass, st.running, linkUp(), st.scanning, m_fresh.available(st)};
    if (m_chart->pollTick(count, gate, RealTimeChart::valuesFrom(st.record)))
        m_fresh.take(st);
}

// ---- link events -----------------------------------------------------------

void MainDialog::showDeviceName(const QString &dev_str)
{
    ui->upgrade_label_devvalue->setText(dev_str);
}

void MainDialog::showUpgradePageStatus(bool up, const QString &dev_str)
{
    // The picture follows the link whichever page shows, or the upgrade page
    // would show a link that came up on another page as lost.
    ui->upgrade_label_connect->setStyleSheet(
        up ? QStringLiteral("border-image:url(:/sys/rs/rs/usb_connect.png) 0 0 0 0 stretch "
                            "stretch;")
           : QStringLiteral("border-image:url(:/sys/rs/rs/usb_disconnect.png) 0 0 0 0 stretch "
                            "stretch;"));
    if (currentPage() != PageUpgrade)
        return;
    // The link's texts keep the translation context they were written in.
    auto text = [](const char *source) {
        return QCoreApplication::translate("DeviceLink", source);
    };
    if (up) {
        ui->upgrade_text_log->append(text("设备已连接"));
        ui->upgrade_text_log->append(text("设备名称:") + dev_str);
    } else {
        ui->upgrade_text_log->append(text("设备已断开"));
    }
}

void MainDialog::clearDeviceList()
{
    // The session drops its handle too; the connection logic replaces it next.
    m_devices.clear(ui->device_treeWidget);
}

void MainDialog::usbconnect()
{
    startBusScan();
    if (m_chart && m_chart->connected())
        setRunButtonTexts(true);
}

void MainDialog::usbdisconnect()
{
    m_devices.markFirstLost();
    if (m_chart && m_chart->disconnected())
        setRunButtonTexts(false);
}

void MainDialog::usbsenderror()
{
    // While an upgrade runs it ends with the same box; one box is enough.
    if (!m_upgrade || !m_upgrade->isActive())
        warn(QCoreApplication::translate("DeviceLink", "错误"),
             QCoreApplication::translate("DeviceLink", "USB发送数据异常"));
}
