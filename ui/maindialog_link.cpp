// The window's side of the link: applies what the connection logic reports,
// drives the poll and read ticks, and shows the link's warnings.
#include "chartmenu.h"
#include "devicelink.h"
#include "firmwareupgrade.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "realtimechart.h"
#include "setting.h"

#include <QDebug>

void MainDialog::buildLink()
{
    SettingsAccess settings;
    settings.read = [](const QString &key) { return Setting().read(key); };
    settings.write = [](const QString &key, const QString &value) { Setting().write(key, value); };
    m_link = new DeviceLink(settings, this);

    my_thread *scan = m_link->scanWorker();
    connect(scan, &my_thread::ThreadSendData_Signal, this, &MainDialog::ThreadSendData_Slot);
    connect(scan, &my_thread::ThreadRecvData_Signal, this, &MainDialog::ThreadRecvData_Slot);
    connect(scan, &my_thread::ThreadShowData_Signal, this, &MainDialog::ThreadShowData_Slot);

    connect(m_link->usbThread(), &USBThread::new_data, this, &MainDialog::usbreceivedata);
    connect(m_link, &DeviceLink::deviceNameChanged, this, &MainDialog::showDeviceName);
    connect(m_link, &DeviceLink::upgradePageStatus, this, &MainDialog::showUpgradePageStatus);
    connect(m_link, &DeviceLink::deviceListCleared, this, &MainDialog::clearDeviceList);
    connect(m_link, &DeviceLink::mainHandleOpened, this, &MainDialog::usbconnect);
    // The old handle is gone by now; nothing may write on it.
    connect(m_link, &DeviceLink::mainHandleFailed, this, [this] { setMainHandle(nullptr); });
    connect(m_link, &DeviceLink::linkLost, this, &MainDialog::usbdisconnect);
    connect(m_link, &DeviceLink::sendErrorMessage, this, &MainDialog::usbsenderror);

    connect(m_link, &DeviceLink::pollTick, this, &MainDialog::pollTick);
    connect(m_link, &DeviceLink::readTick, this, &MainDialog::readTick);
    connect(m_link, &DeviceLink::runButtonTick, this, &MainDialog::runButtonRefresh);
    connect(&m_poll, &PollCycle::displayRefresh, this, &MainDialog::updateDisplay);

    // The link thread stops before the window goes.
    connect(this, &MainDialog::aboutToClose, m_link, &DeviceLink::shutdown, Qt::DirectConnection);

    m_link->start();
}

bool MainDialog::linkUp() const
{
    return m_link && m_link->usbThread()->isLinkOpen();
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
    const PollCycle::Tick t = m_poll.pollTick(m_mainHandle);
    if (!t.sampleTick || !m_chart)
        return;
    const SampleGate gate{deviceClass, m_state.running, linkUp(), m_state.scanning,
                          m_fresh.available(m_state)};
    if (m_chart->pollTick(t.count, gate, RealTimeChart::valuesFrom(m_state.record)))
        m_fresh.take(m_state);
}

void MainDialog::readTick()
{
    m_poll.readTick(m_mainHandle);
}

// ---- link events -----------------------------------------------------------

void MainDialog::showDeviceName(const QString &dev_str)
{
    ui->upgrade_label_devvalue->setText(dev_str);
}

void MainDialog::showUpgradePageStatus(const QStringList &logLines, const QString &linkStyleSheet)
{
    // The picture follows the link whichever page shows, or the upgrade page
    // would show a link that came up on another page as lost.
    ui->upgrade_label_connect->setStyleSheet(linkStyleSheet);
    if (currentPage() != PageUpgrade)
        return;
    for (const QString &line : logLines)
        ui->upgrade_text_log->append(line);
}

void MainDialog::clearDeviceList()
{
    m_devices.clear(ui->device_treeWidget);
    // The connection logic replaces the main handle next.
    setMainHandle(nullptr);
}

void MainDialog::usbconnect()
{
    setMainHandle(m_link->mainHandle());
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

void MainDialog::usbsenderror(const QString &title, const QString &text)
{
    // While an upgrade runs, ending it shows the same box; one box is enough.
    if (m_upgrade && m_upgrade->isActive())
        m_upgrade->sendError();
    else
        warn(title, text);
}

void MainDialog::usbreceivedata(const QByteArray &report)
{
    if (m_upgrade)
        m_upgrade->receive(report);
}
