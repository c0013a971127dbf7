// Discharge control on the readings page: the value edits, the run button
// with its refresh, and the instrument's prompt window.
#include "cdpoptips.h"
#include "commandframe.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "realtimechart.h"
#include "valueedit.h"

#include <QDebug>

using ValueEdit::Kind;

namespace {

bool cycleMode(quint8 workMode)
{
    return workMode == 7 || workMode == 8;
}

} // namespace

// ---- value edits -------------------------------------------------------------

void MainDialog::on_lineEdit_value_editingFinished()
{
    qDebug() << "恒值槽函数";
    ValueEdit::commit(*this, ui->lineEdit_value, CommandFrame::SetValue, Kind::Float);
}

void MainDialog::on_lineEdit_value_zero_v_editingFinished()
{
    ValueEdit::commit(*this, ui->lineEdit_value_zero_v, CommandFrame::CutoffVoltage, Kind::Float);
}

void MainDialog::on_lineEdit_value_full_v_editingFinished()
{
    ValueEdit::commit(*this, ui->lineEdit_value_full_v, CommandFrame::FullVoltage, Kind::Float);
}

void MainDialog::on_lineEdit_value_full_a_editingFinished()
{
    ValueEdit::commit(*this, ui->lineEdit_value_full_a, CommandFrame::FullCurrent, Kind::Float);
}

void MainDialog::on_lineEdit_value_lilitime_h_editingFinished()
{
    ValueEdit::commit(*this, ui->lineEdit_value_lilitime_h, CommandFrame::TimeLimit, Kind::Hours);
}

void MainDialog::on_lineEdit_value_limitime_m_editingFinished()
{
    ValueEdit::commit(*this, ui->lineEdit_value_limitime_m, CommandFrame::TimeLimit, Kind::Minutes);
}

// ---- run button --------------------------------------------------------------

void MainDialog::setRunButtonTexts(bool running)
{
    const bool cycle = cycleMode(m_state.record.workMode);
    QPushButton *run = ui->disp_Btn_Run;
    if (running) {
        run->setText(cycle ? tr("停止") : tr("停止放电"));
        run->setToolTip(cycle ? tr("单击停止") : tr("单击停止放电"));
    } else {
        run->setText(cycle ? tr("开始") : tr("开始放电"));
        run->setToolTip(cycle ? tr("单击开始") : tr("单击开始放电"));
    }
}

void MainDialog::on_disp_Btn_Run_clicked()
{
    // Shown at once; the next measurement report says what the instrument did.
    const bool running = !m_state.running;
    m_state.running = running;
    if (m_chart)
        m_chart->runButton(running);
    sendFrame(CommandFrame::withLeadByte(busAddress(), CommandFrame::RunStop, running ? 1 : 0));
    setRunButtonTexts(running);
    qDebug() << "m_CurveRunFlag" << (running ? "true" : "false");
}

void MainDialog::runButtonRefresh()
{
    // A text changing under the pointer would change what the click means.
    if (ValueEdit::pointerOver(ui->disp_Btn_Run))
        return;
    // The tooltip follows too, so a run the instrument ended does not keep
    // offering to stop it.
    setRunButtonTexts(m_state.running);
}

// ---- prompt ------------------------------------------------------------------

CDPopTips *MainDialog::popTips()
{
    if (!m_popTips) {
        // A window of its own, owned by this one so it goes with it.
        m_popTips = new CDPopTips(this);
        m_popTips->hide();
        connect(m_popTips, &CDPopTips::CDPopTipsSendData_Signal, this,
                &MainDialog::CDPopTipsSendData_Slot);
    }
    return m_popTips;
}

void MainDialog::CDPopTipsSendData_Slot(qint16 data)
{
    if (sendFrame(CommandFrame::withLeadByte(busAddress(), CommandFrame::PromptAnswer, data)))
        qDebug() << "弹窗界面的数据下发成功" << data;
}
