#pragma once

#include "ui_mainframe.h"
#include "ui_pagedisp.h"
#include "ui_pagefive.h"
#include "ui_pagefour.h"
#include "ui_pagehome.h"
#include "ui_pagerx41home.h"
#include "ui_pagerx41settings.h"
#include "ui_pagesettings.h"
#include "ui_pagesix.h"
#include "ui_pagestart.h"
#include "ui_pageupgrade.h"

#include <array>

class QWidget;

// Every form of the main window under one roof, so code reaches any widget as
// ui->name whichever form it was drawn in. The frame form holds the title bar,
// the device panel and the page stack; each page is a form of its own.
class MainDialogUi : public Ui::MainFrame,
                     public Ui::HomePage,
                     public Ui::UpgradePage,
                     public Ui::DispPage,
                     public Ui::SettingsPage,
                     public Ui::FourPage,
                     public Ui::FivePage,
                     public Ui::SixPage,
                     public Ui::Rx41HomePage,
                     public Ui::StartPage,
                     public Ui::Rx41SettingsPage
{
public:
    static constexpr int PageCount = 10;

    // Builds the frame inside `container` and the ten pages in stack order.
    void setupUi(QWidget *container);
    // Sets every text the forms define again, in the current language.
    void retranslateUi();

    QWidget *widgetMain = nullptr;
    std::array<QWidget *, PageCount> pages{};
};
