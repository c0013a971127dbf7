// Page navigation: the home menus, the shortcuts of the readings page and the
// return buttons, with the page codes they tell the instrument.
#include "commandframe.h"
#include "devicemodel.h"
#include "homemenu.h"
#include "maindialog.h"
#include "mainframe.h"
#include "pages/disppage.h"
#include "pages/homepages.h"
#include "pages/plainpages.h"
#include "pages/programpage.h"
#include "pages/rx41settingspage.h"
#include "pages/settingspage.h"
#include "pages/upgradepage.h"

using HomeMenu::Action;

void MainDialog::connectNavigation()
{
    connect(m_mainFrame, &MainFrame::minimizeRequested, this, &MainDialog::showMinimized);
    connect(m_mainFrame, &MainFrame::maximizeRequested, this,
            [this] { m_frame.toggleMaximized(); });
    connect(m_mainFrame, &MainFrame::closeRequested, this, &MainDialog::close);
    connect(m_mainFrame, &MainFrame::searchRequested, this, &MainDialog::startBusScan);
    connect(m_mainFrame, &MainFrame::languageChosen, this, [this](bool english) {
        if (english)
            onS_Act2Clicked_Slot();
        else
            onS_Act1Clicked_Slot();
    });

    connect(m_pages.home, &HomePage::entryClicked, this, &MainDialog::openEntry);
    connect(m_pages.rx41Home, &Rx41HomePage::entryClicked, this, &MainDialog::openEntry);

    connect(m_pages.disp, &DispPage::upgradeClicked, this, [this] {
        setCurrentPage(PageUpgrade);
        m_pages.upgrade->open(HomeMenu::translated("固件升级"));
    });
    connect(m_pages.disp, &DispPage::settingsClicked, this,
            [this] { openSettingsPage(HomeMenu::translated("仪表参数设置"), true); });

    // Back to the home menu of the instrument's class; nothing happens on it.
    const auto back = [this](bool meterTitle) {
        return [this, meterTitle] {
            if (currentPage() != PageHome)
                returnToHome(meterTitle);
        };
    };
    connect(m_pages.disp, &DispPage::returnClicked, this, back(true));
    connect(m_pages.upgrade, &UpgradePage::returnClicked, this, back(true));
    connect(m_pages.six, &SixPage::returnClicked, this, back(false));
    connect(m_pages.settings, &SettingsPage::returnClicked, this, &MainDialog::returnToLoadHome);
    connect(m_pages.four, &FourPage::returnClicked, this, &MainDialog::returnToLoadHome);
    connect(m_pages.five, &FivePage::returnClicked, this, &MainDialog::returnToLoadHome);
    connect(m_pages.program, &ProgramPage::returnClicked, this, &MainDialog::returnToLoadHome);
    connect(m_pages.rx41Settings, &Rx41SettingsPage::returnClicked, this,
            &MainDialog::returnToTesterHome);
}

void MainDialog::openEntry(const QString &text)
{
    const HomeMenu::Target *target = HomeMenu::match(text);
    if (!target)
        return;
    switch (target->action) {
    case Action::ConstantMode:
    case Action::CycleMode:
        m_pages.disp->openMode(text, HomeMenu::translated(target->caption),
                               HomeMenu::translated(target->unit),
                               target->action == Action::CycleMode);
        setCurrentPage(PageDisp);
        break;
    case Action::ChartDisplay:
        m_pages.disp->openChart(text);
        setCurrentPage(PageDisp);
        break;
    case Action::Upgrade:
        m_pages.upgrade->open(text);
        setCurrentPage(PageUpgrade);
        break;
    case Action::TestFunction:
        m_pages.six->open(text);
        setCurrentPage(PageSix);
        break;
    case Action::Settings:
        openSettingsPage(text, false);
        return; // sends its own codes
    case Action::History:
        openHistoryPage();
        return; // nothing to tell the instrument
    case Action::Program:
        m_pages.program->open(text);
        setCurrentPage(PageProgram);
        break;
    }
    if (target->pageCode)
        send_command(target->pageCode);
}

void MainDialog::openSettingsPage(const QString &title, bool fromShortcut)
{
    // The menu titles the page it opens; the shortcut always writes the load
    // page's title, whichever page it opens.
    if (fromShortcut)
        m_pages.settings->setTitle(title);
    if (deviceClass == DeviceModel::ElectronicLoad) {
        m_pages.settings->setTitle(title);
        m_pages.settings->showReturnGlyph();
        setCurrentPage(PageSettings);
    } else if (deviceClass == DeviceModel::PowerTester) {
        if (!fromShortcut)
            m_pages.rx41Settings->setTitle(title);
        m_pages.rx41Settings->showReturnGlyph();
        setCurrentPage(PageRx41Settings);
    }
    m_session.requestParameters();
    send_command(CommandFrame::PageSettings);
}

// Back to the home menu of the instrument's class; other classes stay put.
void MainDialog::returnToHome(bool meterTitle)
{
    if (deviceClass == DeviceModel::ElectronicLoad) {
        setCurrentPage(PageHome);
        m_pages.home->setTitle(tr("测试仪主界面"));
    } else if (deviceClass == DeviceModel::PowerTester) {
        setCurrentPage(PageRx41Home);
        if (meterTitle)
            m_pages.home->setTitle(tr("电能表主界面"));
    }
    m_pages.home->showHomeGlyph();
    send_command(CommandFrame::PageHome);
}

// The load's settings page and the placeholder pages go to the load's menu
// whatever the class.
void MainDialog::returnToLoadHome()
{
    if (currentPage() == PageHome)
        return;
    setCurrentPage(PageHome);
    m_pages.home->setTitle(tr("测试仪主界面"));
    m_pages.home->showHomeGlyph();
    send_command(CommandFrame::PageHome);
}

// The tester's settings page tells the instrument nothing.
void MainDialog::returnToTesterHome()
{
    if (currentPage() == PageHome)
        return;
    setCurrentPage(PageRx41Home);
    m_pages.home->setTitle(tr("RX41主界面"));
    m_pages.home->showHomeGlyph();
}
