// The chart of the readings page, its custom ranges, the chart menu and the
// exports: each slot hands the work to the part that owns it.
#include "chartmenu.h"
#include "customcoordinates.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "realtimechart.h"

void MainDialog::buildChart()
{
    m_chart = new RealTimeChart(&m_store, this);
    ui->disap_gridLayout->addWidget(m_chart->view());
    m_chart->setGroupButtons(ui->disp_btn_dp_dm, ui->disp_btn_cc1_cc2, ui->disp_btn_temp);

    m_custom = new customcoordinates(chartArea());
    m_custom->hide();
    m_chart->setCustomRanges(m_custom);
    connect(m_custom, &customcoordinates::RangChang_signal, this, &MainDialog::RangChang_slot);

    m_dataExport = new DataExport(this);
    m_chartMenu = new ChartMenu(this);
    m_dataExport->setMessageBox(m_message);
    m_chartMenu->setMessageBox(m_message);
    connect(m_chartMenu, &ChartMenu::exportDataRequested, this, &MainDialog::onAct1Clicked_Slot);
    connect(m_chartMenu, &ChartMenu::exportImageRequested, this, &MainDialog::onAct2Clicked_Slot);
    connect(m_chartMenu, &ChartMenu::curveSettingsRequested, this, &MainDialog::onAct3Clicked_Slot);
    connect(m_chartMenu, &ChartMenu::displayModeChanged, m_chart, &RealTimeChart::setDisplayMode);
}

QWidget *MainDialog::chartArea() const
{
    return ui->disp_frame_chart;
}

void MainDialog::on_disp_btn_dp_dm_clicked()
{
    m_chart->toggleGroup(Curves::EnergyGroup);
}

void MainDialog::on_disp_btn_cc1_cc2_clicked()
{
    m_chart->toggleGroup(Curves::TemperatureGroup);
}

void MainDialog::on_disp_btn_temp_clicked()
{
    m_chart->toggleGroup(Curves::MosGroup);
}

void MainDialog::on_disp_btn_RangCustom_clicked()
{
    m_custom->toggleOver(chartArea());
}

void MainDialog::RangChang_slot()
{
    m_chart->applyCustomRanges();
}

void MainDialog::on_disp_btn_menu_clicked()
{
    m_chartMenu->exec(ui->disp_btn_menu);
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
    m_chart->showCurveSettings(chartArea());
}
