// The window's side of the link: applies what the connection logic reports,
// drives the poll and read ticks, shows what each decoded report says on the
// pages, and shows the link's warnings.
#include "cdpoptips.h"
#include "chartmenu.h"
#include "devicelink.h"
#include "devicemodel.h"
#include "firmwareupgrade.h"
#include "maindialog.h"
#include "mainframe.h"
#include "pages/disppage.h"
#include "pages/historypage.h"
#include "pages/plainpages.h"
#include "pages/programpage.h"
#include "pages/rx41settingspage.h"
#include "pages/settingspage.h"
#include "pages/upgradepage.h"
#include "readingformat.h"
#include "readingsview.h"
#include "realtimechart.h"
#include "runtracker.h"

#include <QCoreApplication>

void MainDialog::buildLink()
{
    DeviceLink *link = &m_session.link();
    my_thread *scan = link->scanWorker();
    connect(scan, &my_thread::ThreadSendData_Signal, this, &MainDialog::ThreadSendData_Slot);
    connect(scan, &my_thread::ThreadRecvData_Signal, this, &MainDialog::ThreadRecvData_Slot);
    connect(scan, &my_thread::ThreadShowData_Signal, this, &MainDialog::ThreadShowData_Slot);

    connect(link, &DeviceLink::deviceNameChanged, m_pages.upgrade, &UpgradePage::showDeviceName);
    connect(link, &DeviceLink::linkStateChanged, this, &MainDialog::showUpgradePageStatus);
    // The session drops its handle too; the connection logic replaces it next.
    connect(link, &DeviceLink::deviceListCleared, m_mainFrame, &MainFrame::clearDevices);
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

void MainDialog::buildUpgrade()
{
    m_upgrade = new FirmwareUpgrade(this);
    m_session.attachUpgrade(m_upgrade);
    m_pages.upgrade->attach(m_upgrade, [this] { return linkUp(); });
    connect(this, &MainDialog::aboutToClose, m_upgrade, &FirmwareUpgrade::cancel);
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
    m_pages.upgrade->setMessageBox(fn);
    m_pages.program->setMessageBox(fn);
    if (m_historyPage)
        m_historyPage->setMessageBox(fn);
}

void MainDialog::setOpenFileDialog(dialoghooks::SaveFileFn fn)
{
    m_pages.upgrade->setOpenFileDialog(std::move(fn));
}

void MainDialog::setQuestionBox(dialoghooks::AskFn fn)
{
    m_ask = fn;
    m_pages.settings->setAsk(fn);
    m_pages.rx41Settings->setAsk(fn);
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
    if (m_chart->pollTick(count, gate, RealTimeChart::valuesFrom(st.record))) {
        m_fresh.take(st);
        // The history keeps the sample as the record holds it.
        if (m_runs && !m_store.isEmpty())
            m_runs->sampleTaken(m_store.timeAt(m_store.size() - 1),
                                m_store.valuesAt(m_store.size() - 1), deviceClass);
    }
}

// ---- display update ----------------------------------------------------------

void MainDialog::updateDisplay()
{
    InstrumentState &st = m_session.state();
    const MeasurementRecord &r = st.record;
    popTips()->follow(r);
    m_pages.disp->showRecord(r, deviceClass);
    // The test-function modes are titled on the page their entries open.
    if (ReadingFormat::workMode(r.workMode, deviceClass).titleTarget ==
        ReadingFormat::TitleTarget::SixTitle)
        m_pages.six->setTitle(ReadingsView::modeTitle(r.workMode, deviceClass));
    if (deviceClass == DeviceModel::ElectronicLoad)
        m_pages.settings->showLiveValues(r);
    else if (deviceClass == DeviceModel::PowerTester)
        m_pages.rx41Settings->showLiveValues(r);
    if (st.parametersArrived) {
        st.parametersArrived = false;
        if (deviceClass == DeviceModel::ElectronicLoad)
            m_pages.settings->showParameters(r);
        else if (deviceClass == DeviceModel::PowerTester)
            m_pages.rx41Settings->showParameters(r);
    }
}

// ---- link events -----------------------------------------------------------

void MainDialog::showUpgradePageStatus(bool up, const QString &dev_str)
{
    m_pages.upgrade->showLinkState(up, dev_str, currentPage() == PageUpgrade);
}

void MainDialog::usbconnect()
{
    m_pages.disp->showLinkLost(false);
    startBusScan();
    if (m_chart && m_chart->connected())
        setRunButtonTexts(true);
}

void MainDialog::usbdisconnect()
{
    m_mainFrame->devices().markFirstLost();
    m_pages.disp->showLinkLost(true);
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
