#include "windowpages.h"

#include "disppage.h"
#include "homepages.h"
#include "maindialog.h"
#include "mainframe.h"
#include "plainpages.h"
#include "programpage.h"
#include "rx41settingspage.h"
#include "settingspage.h"
#include "upgradepage.h"

namespace {

template <class Page> Page *add(MainFrame &frame, Page *page, int index)
{
    const int added = frame.addPage(page);
    Q_ASSERT(added == index);
    Q_UNUSED(added)
    Q_UNUSED(index)
    return page;
}

} // namespace

void WindowPages::build(MainFrame &frame, InstrumentSession &session)
{
    // Stack order is the page numbering the whole program uses.
    home = add(frame, new HomePage, MainDialog::PageHome);
    upgrade = add(frame, new UpgradePage, MainDialog::PageUpgrade);
    disp = add(frame, new DispPage(session), MainDialog::PageDisp);
    settings = add(frame, new SettingsPage(session), MainDialog::PageSettings);
    four = add(frame, new FourPage, MainDialog::PageFour);
    five = add(frame, new FivePage, MainDialog::PageFive);
    six = add(frame, new SixPage, MainDialog::PageSix);
    rx41Home = add(frame, new Rx41HomePage, MainDialog::PageRx41Home);
    start = add(frame, new StartPage, MainDialog::PageStart);
    rx41Settings = add(frame, new Rx41SettingsPage(session), MainDialog::PageRx41Settings);
}

void WindowPages::buildProgram(MainFrame &frame, InstrumentSession &session)
{
    program = add(frame, new ProgramPage(session), MainDialog::PageProgram);
}

void WindowPages::retranslate()
{
    home->retranslate();
    upgrade->retranslate();
    disp->retranslate();
    settings->retranslate();
    four->retranslate();
    five->retranslate();
    six->retranslate();
    rx41Home->retranslate();
    start->retranslate();
    rx41Settings->retranslate();
    program->retranslate();
}
