// The chart of the readings page, the chart menu and the exports: each slot
// hands the work to the part that owns it.
#include "chartmenu.h"
#include "devicemodel.h"
#include "maindialog.h"
#include "pages/disppage.h"
#include "realtimechart.h"

void MainDialog::buildChart()
{
    m_chart = new RealTimeChart(&m_store, this);
    m_dataExport = new DataExport(this);
    m_chartMenu = new ChartMenu(this);
    m_dataExport->setMessageBox(m_message);
    m_chartMenu->setMessageBox(m_message);
    m_pages.disp->attachChart(m_chart, m_chartMenu);
    connect(m_chartMenu, &ChartMenu::exportDataRequested, this, &MainDialog::onAct1Clicked_Slot);
    connect(m_chartMenu, &ChartMenu::exportImageRequested, this, &MainDialog::onAct2Clicked_Slot);
    connect(m_chartMenu, &ChartMenu::curveSettingsRequested, this, &MainDialog::onAct3Clicked_Slot);
    connect(m_chartMenu, &ChartMenu::displayModeChanged, m_chart, &RealTimeChart::setDisplayMode);
    connect(m_chartMenu, &ChartMenu::clearRecordRequested, this, &MainDialog::clearRecord);
}

void MainDialog::on_disp_btn_RangCustom_clicked()
{
    m_pages.disp->toggleRangePanel();
}

void MainDialog::onAct1Clicked_Slot()
{
    if (m_dataExport->exportCsv(m_store, deviceClass) == DataExport::Written)
        m_unsaved.markExported(m_store);
}

void MainDialog::onAct2Clicked_Slot()
{
    m_chartMenu->exportImage(m_chart->view());
}

void MainDialog::onAct3Clicked_Slot()
{
    m_chart->showCurveSettings(m_pages.disp->chartArea());
}

bool MainDialog::clearRecord()
{
    const size_t unsaved = unsavedSamples();
    if (unsaved > 0 && m_ask(this, Confirmations::clearingRecord(unsaved)) != QMessageBox::Yes)
        return false;
    m_chart->clearRecord();
    emit recordCleared();
    return true;
}

bool MainDialog::confirmClose()
{
    const InstrumentState &st = m_session.state();
    const bool running = deviceClass == DeviceModel::ElectronicLoad && st.running && linkUp();
    const size_t unsaved = unsavedSamples();
    if (!running && unsaved == 0)
        return true;
    const bool exportable = m_store.size() >= size_t(DataExport::MinimumSamples);
    switch (m_ask(this, Confirmations::closing(running, unsaved, exportable))) {
    case QMessageBox::Discard:
        return true;
    case QMessageBox::Save:
        onAct1Clicked_Slot();
        // Closes only once the samples are on disk; a cancelled or failed
        // export leaves the window open.
        return unsavedSamples() == 0;
    default:
        return false;
    }
}
