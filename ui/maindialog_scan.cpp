// The bus scan and the device list: the scan worker paces, BusScan probes and
// reads, DeviceList shows the entries; the window applies class and page.
#include "devicelink.h"
#include "devicemodel.h"
#include "maindialog.h"
#include "mainframe.h"
#include "pages/disppage.h"
#include "realtimechart.h"
#include "uilog.h"

void MainDialog::startBusScan()
{
    m_mainFrame->clearDevices();
    m_session.busScan().begin();
    m_mainFrame->showSearching();
    // A second press while the worker runs gets no second worker; the lists
    // are cleared all the same and the running scan builds the one list.
    m_session.link().startScan();
}

void MainDialog::ThreadSendData_Slot(qint16 addr)
{
    m_session.busScan().probe(mainHandle(), addr);
}

void MainDialog::ThreadRecvData_Slot()
{
    if (mainHandle())
        m_session.busScan().readAnswers(mainHandle());
}

void MainDialog::ThreadShowData_Slot()
{
    const DeviceListPlan plan = m_session.busScan().finish(
        m_session.product(), m_session.manufacturer(), m_session.serialNumber());
    const Identification id = identify(plan.model, deviceClass, currentPage());
    if (id.recognised) {
        deviceClass = id.deviceClass;
        setCurrentPage(id.page);
    }
    // An entry stands for an instrument that answered the search; with no
    // answer there is nothing to list, and the panel says so.
    const bool answered = !m_session.state().addressList.isEmpty();
    m_mainFrame->showNoneFound(!answered);
    if (answered) {
        m_mainFrame->showDevices(plan);
        m_pages.disp->setDeviceTitle(m_mainFrame->devices().title());
    } else {
        m_pages.disp->setDeviceTitle(QString());
    }

    if (m_chart)
        m_chart->restartTimeWindow();
    m_mainFrame->hideSearching();
}

MainDialog::Identification MainDialog::identify(const QString &word, quint8 currentClass,
                                                int currentPage)
{
    Identification id;
    id.deviceClass = currentClass;
    id.page = currentPage;
    const DeviceModel::Class c = DeviceModel::classOf(word);
    if (c == DeviceModel::NoClass)
        return id;
    id.recognised = true;
    id.deviceClass = c;
    qCDebug(lcUi) << "当前设备型号:" << word;
    if (currentPage == PageStart)
        id.page = c == DeviceModel::ElectronicLoad ? PageHome : PageRx41Home;
    return id;
}

void MainDialog::TickShow_Slot(DeviceInfoUI *device_ptr)
{
    const DeviceList::Selection s = m_mainFrame->devices().applyTick(device_ptr);
    if (!s.changed)
        return;
    setBusAddress(s.busAddress);
    m_pages.disp->setDeviceTitle(s.title);
}
