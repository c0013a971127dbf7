// The chart of the readings page, the chart menu and the exports: each slot
// hands the work to the part that owns it.
#include "chartmenu.h"
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
}

void MainDialog::on_disp_btn_RangCustom_clicked()
{
    m_pages.disp->toggleRangePanel();
}

void MainDialog::onAct1Clicked_Slot()
{
    m_dataExport->exportCsv(m_store, deviceClass);
}

void MainDialog::onAct2Clicked_Slot()
{
    m_chartMenu->exportImage(m_chart->view());
}

void MainDialog::onAct3Clicked_Slot()
{
    m_chart->showCurveSettings(m_pages.disp->chartArea());
}
