#include "maindialogui.h"

#include <QStackedWidget>

void MainDialogUi::setupUi(QWidget *container)
{
    widgetMain = container;
    Ui::MainFrame::setupUi(container);

    // Stack order is the page numbering the whole program uses.
    auto add = [this](int index, auto setup) {
        QWidget *page = new QWidget;
        setup(page);
        pages[index] = page;
        disp_stackedWidget->addWidget(page);
    };
    add(0, [this](QWidget *w) { Ui::HomePage::setupUi(w); });
    add(1, [this](QWidget *w) { Ui::UpgradePage::setupUi(w); });
    add(2, [this](QWidget *w) { Ui::DispPage::setupUi(w); });
    add(3, [this](QWidget *w) { Ui::SettingsPage::setupUi(w); });
    add(4, [this](QWidget *w) { Ui::FourPage::setupUi(w); });
    add(5, [this](QWidget *w) { Ui::FivePage::setupUi(w); });
    add(6, [this](QWidget *w) { Ui::SixPage::setupUi(w); });
    add(7, [this](QWidget *w) { Ui::Rx41HomePage::setupUi(w); });
    add(8, [this](QWidget *w) { Ui::StartPage::setupUi(w); });
    add(9, [this](QWidget *w) { Ui::Rx41SettingsPage::setupUi(w); });
}

void MainDialogUi::retranslateUi()
{
    Ui::MainFrame::retranslateUi(widgetMain);
    Ui::HomePage::retranslateUi(pages[0]);
    Ui::UpgradePage::retranslateUi(pages[1]);
    Ui::DispPage::retranslateUi(pages[2]);
    Ui::SettingsPage::retranslateUi(pages[3]);
    Ui::FourPage::retranslateUi(pages[4]);
    Ui::FivePage::retranslateUi(pages[5]);
    Ui::SixPage::retranslateUi(pages[6]);
    Ui::Rx41HomePage::retranslateUi(pages[7]);
    Ui::StartPage::retranslateUi(pages[8]);
    Ui::Rx41SettingsPage::retranslateUi(pages[9]);
}
