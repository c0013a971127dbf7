// Discharge control on the readings page: the value edits, the run button
// with its refresh, and the instrument's prompt window.
#include "cdpoptips.h"
#include "uilog.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "realtimechart.h"
#include "valueedit.h"


using ValueEdit::Kind;

namespace {

bool cycleMode(quint8 workMode)
{
    return workMode == 7 || workMode == 8;
}

} // namespace

// ---- value edits -------------------------------------------------------------

bool MainDialog::commitFloat(QLineEdit *edit,
                             const std::function<InstrumentSession::Change(float)> &set)
{
    return ValueEdit::commit(this, edit, Kind::Float,
                             [&set](double v) { return set(float(v)).sent; });
}

bool MainDialog::commitTime(QLineEdit *edit,
                            const std::function<InstrumentSession::Change(int)> &set)
{
    return ValueEdit::commit(this, edit, Kind::Hours,
                             [&set](double v) { return set(int(v)).sent; });
}

void MainDialog::on_lineEdit_value_editingFinished()
{
    commitFloat(ui->lineEdit_value, [this](float v) { return m_session.setValue(v); });
}

void MainDialog::on_lineEdit_value_zero_v_editingFinished()
{
    commitFloat(ui->lineEdit_value_zero_v,
                [this](float v) { return m_session.setCutoffVoltage(v); });
}

void MainDialog::on_lineEdit_value_full_v_editingFinished()
{
    commitFloat(ui->lineEdit_value_full_v, [this](float v) { return m_session.setFullVoltage(v); });
}

void MainDialog::on_lineEdit_value_full_a_editingFinished()
{
    commitFloat(ui->lineEdit_value_full_a, [this](float v) { return m_session.setFullCurrent(v); });
}

void MainDialog::on_lineEdit_value_lilitime_h_editingFinished()
{
    commitTime(ui->lineEdit_value_lilitime_h,
               [this](int h) { return m_session.setTimeLimitHours(h); });
}

void MainDialog::on_lineEdit_value_limitime_m_editingFinished()
{
    commitTime(ui->lineEdit_value_limitime_m,
               [this](int m) { return m_session.setTimeLimitMinutes(m); });
}

// ---- run button --------------------------------------------------------------

void MainDialog::setRunButtonTexts(bool running)
{
    const bool cycle = cycleMode(m_session.record().workMode);
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
    const bool running = !m_session.state().running;
    m_session.state().running = running;
    if (m_chart)
        m_chart->runButton(running);
    m_session.run(running);
    setRunButtonTexts(running);
    qCDebug(lcUi) << "m_CurveRunFlag" << (running ? "true" : "false");
}

void MainDialog::runButtonRefresh()
{
    // A text changing under the pointer would change what the click means.
    if (ValueEdit::pointerOver(ui->disp_Btn_Run))
        return;
    // The tooltip follows too, so a run the instrument ended does not keep
    // offering to stop it.
    setRunButtonTexts(m_session.state().running);
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
    if (m_session.answerPrompt(data).sent)
        qCDebug(lcUi) << "弹窗界面的数据下发成功" << data;
}
