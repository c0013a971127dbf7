// The bus scan and the device list: the scan worker paces, BusScan probes and
// reads, DeviceList shows the entries; the window applies class and page.
#include "devicelink.h"
#include "uilog.h"
#include "devicemodel.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "realtimechart.h"

#include <QMovie>

void MainDialog::on_btn_search_clicked()
{
    startBusScan();
}

void MainDialog::startBusScan()
{
    m_devices.clear(ui->device_treeWidget);
    m_session.busScan().begin();
    if (!m_searching) {
        m_searching =
            new QMovie(QStringLiteral(":/sys/rs/rs/img/searching.gif"), QByteArray(), this);
        m_searching->setScaledSize(ui->label_searching->size());
    }
    ui->label_searching->setMovie(m_searching);
    ui->label_searching->setToolTip(tr("正在扫描总线设备"));
    m_searching->start();
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
    m_devices.populate(ui->device_treeWidget, plan);
    ui->disp_labDevTiT->setText(m_devices.title());

    if (m_chart)
        m_chart->restartTimeWindow();
    if (m_searching)
        m_searching->stop();
    ui->label_searching->setMovie(nullptr);
    ui->label_searching->clear();
    ui->label_searching->setToolTip(QString());
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
    const DeviceList::Selection s = m_devices.applyTick(device_ptr);
    if (!s.changed)
        return;
    setBusAddress(s.busAddress);
    ui->disp_labDevTiT->setText(s.title);
}
