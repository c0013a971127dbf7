// Page navigation: the home menus, the shortcuts of the readings page and the
// return buttons, with the page codes they tell the instrument.
#include "commandframe.h"
#include "iconhelper.h"
#include "maindialog.h"
#include "maindialogui.h"

using HomeMenu::Action;

namespace {

constexpr unsigned char LoadClass = 1;
constexpr unsigned char TesterClass = 4;

} // namespace

void MainDialog::setReturnGlyph(QAbstractButton *button)
{
    IconHelper::Instance()->setIcon(button, QChar(Glyph::Return), 16);
}

QList<QWidget *> MainDialog::dischargeControls() const
{
    return {ui->widgetConsValue,
            ui->disp_Btn_Run,
            ui->label_zero_v,
            ui->lineEdit_value_zero_v,
            ui->label_unit_zero_v,
            ui->label_limitime,
            ui->lineEdit_value_lilitime_h,
            ui->label_limitime_colon,
            ui->lineEdit_value_limitime_m,
            ui->label_full_v,
            ui->lineEdit_value_full_v,
            ui->label_unit_full_v,
            ui->label_full_a,
            ui->label_full_a_less,
            ui->lineEdit_value_full_a,
            ui->label_unit_full_a,
            ui->disp_btn_temp,
            ui->disp_label_DP,
            ui->disp_label_FANT_VALUE,
            ui->disp_label_DP_V,
            ui->disp_label_DM,
            ui->disp_label_FANS_VALUE,
            ui->disp_label_DM_V};
}

void MainDialog::setDischargeControlsVisible(bool visible)
{
    for (QWidget *w : dischargeControls())
        w->setVisible(visible);
}

void MainDialog::prepareProgressBar()
{
    QProgressBar *bar = ui->upgrade_progressBar_fw;
    bar->setRange(0, 100);
    bar->setMinimum(0);
    bar->setMaximum(100);
    bar->setValue(0);
    bar->setOrientation(Qt::Horizontal);
    bar->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    bar->setFormat(QStringLiteral("loading"));
    bar->setTextVisible(true);
}

void MainDialog::buttonClicked()
{
    auto *button = qobject_cast<QAbstractButton *>(sender());
    if (!button)
        return;
    const QString text = button->text();
    if (const HomeMenu::Target *target = HomeMenu::match(text))
        openTarget(*target, text);
}

void MainDialog::openTarget(const HomeMenu::Target &target, const QString &text)
{
    switch (target.action) {
    case Action::ConstantMode:
    case Action::CycleMode:
        // A power tester's chart entry hides the load's controls; a load's
        // mode entry brings them back.
        setDischargeControlsVisible(true);
        ui->disp_labTitle->setText(text);
        ui->label_cons->setText(HomeMenu::translated(target.caption));
        ui->label_unit->setText(HomeMenu::translated(target.unit));
        if (target.action == Action::ConstantMode) {
            ui->disp_Btn_Run->setText(tr("开始放电"));
            ui->disp_Btn_Run->setToolTip(tr("开始放电/停止放电"));
        } else {
            ui->disp_Btn_Run->setText(tr("开始"));
            ui->disp_Btn_Run->setToolTip(tr("开始/停止"));
        }
        setReturnGlyph(ui->disp_btnReturn);
        setCurrentPage(PageDisp);
        break;
    case Action::ChartDisplay:
        ui->disp_labTitle->setText(text);
        setDischargeControlsVisible(false);
        setReturnGlyph(ui->disp_btnReturn);
        setCurrentPage(PageDisp);
        break;
    case Action::Upgrade:
        ui->upgrade_labTitle->setText(text);
        setReturnGlyph(ui->upgrade_btnReturn);
        prepareProgressBar();
        setCurrentPage(PageUpgrade);
        break;
    case Action::TestFunction:
        ui->six_labTitle->setText(text);
        setReturnGlyph(ui->six_btnReturn);
        setCurrentPage(PageSix);
        break;
    case Action::Settings:
        openSettingsPage(text, false);
        return; // sends its own codes
    }
    if (target.pageCode)
        send_command(target.pageCode);
}

void MainDialog::openSettingsPage(const QString &title, bool fromShortcut)
{
    // The menu titles the page it opens; the shortcut always writes the load
    // page's title, whichever page it opens.
    if (fromShortcut)
        ui->settings_labTitle->setText(title);
    if (deviceClass == LoadClass) {
        ui->settings_labTitle->setText(title);
        setReturnGlyph(ui->settings_btnReturn);
        setCurrentPage(PageSettings);
    } else if (deviceClass == TesterClass) {
        if (!fromShortcut)
            ui->RX41_settings_labTitle->setText(title);
        setReturnGlyph(ui->RX41_settings_btnReturn);
        setCurrentPage(PageRx41Settings);
    }
    m_session.requestParameters();
    send_command(CommandFrame::PageSettings);
}

void MainDialog::on_disp_btnUpgrade_clicked()
{
    setCurrentPage(PageUpgrade);
    ui->upgrade_labTitle->setText(QStringLiteral("固件升级"));
    setReturnGlyph(ui->upgrade_btnReturn);
    prepareProgressBar();
}

void MainDialog::on_disp_btnSysSet_clicked()
{
    openSettingsPage(QStringLiteral("仪表参数设置"), true);
}

// Back to the home menu of the instrument's class; other classes stay put.
void MainDialog::returnToHome(bool meterTitle, bool sendCode)
{
    if (deviceClass == LoadClass) {
        setCurrentPage(PageHome);
        ui->labTitle->setText(tr("测试仪主界面"));
    } else if (deviceClass == TesterClass) {
        setCurrentPage(PageRx41Home);
        if (meterTitle)
            ui->labTitle->setText(tr("电能表主界面"));
    }
    IconHelper::Instance()->setIcon(ui->btnReturn, QChar(Glyph::Home), 16);
    if (sendCode)
        send_command(CommandFrame::PageHome);
}

void MainDialog::on_disp_btnReturn_clicked()
{
    if (currentPage() == PageHome)
        return;
    returnToHome(true, true);
}

void MainDialog::on_upgrade_btnReturn_clicked()
{
    if (currentPage() == PageHome)
        return;
    returnToHome(true, true);
}

void MainDialog::on_six_btnReturn_clicked()
{
    if (currentPage() == PageHome)
        return;
    returnToHome(false, true);
}

void MainDialog::on_settings_btnReturn_clicked()
{
    if (currentPage() == PageHome)
        return;
    setCurrentPage(PageHome);
    ui->labTitle->setText(tr("测试仪主界面"));
    IconHelper::Instance()->setIcon(ui->btnReturn, QChar(Glyph::Home), 16);
    send_command(CommandFrame::PageHome);
}

void MainDialog::on_four_btnReturn_clicked()
{
    on_settings_btnReturn_clicked();
}

void MainDialog::on_five_btnReturn_clicked()
{
    on_settings_btnReturn_clicked();
}

void MainDialog::on_RX41_settings_btnReturn_clicked()
{
    if (currentPage() == PageHome)
        return;
    setCurrentPage(PageRx41Home);
    ui->labTitle->setText(tr("RX41主界面"));
    IconHelper::Instance()->setIcon(ui->btnReturn, QChar(Glyph::Home), 16);
}
