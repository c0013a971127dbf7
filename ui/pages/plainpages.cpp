#include "plainpages.h"

#include "pageglyphs.h"
#include "readingsview.h"
#include "ui_pagefive.h"
#include "ui_pagefour.h"
#include "ui_pagesix.h"
#include "ui_pagestart.h"

// ---- start -------------------------------------------------------------------

StartPage::StartPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::StartPage>())
{
    ui->setupUi(this);
}

StartPage::~StartPage() = default;

void StartPage::retranslate()
{
    ui->retranslateUi(this);
}

// ---- four --------------------------------------------------------------------

FourPage::FourPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::FourPage>())
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->four_btnReturn);
}

FourPage::~FourPage() = default;

void FourPage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->four_btnReturn);
}

void FourPage::on_four_btnReturn_clicked()
{
    emit returnClicked();
}

// ---- five --------------------------------------------------------------------

FivePage::FivePage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::FivePage>())
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->five_btnReturn);
}

FivePage::~FivePage() = default;

void FivePage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->five_btnReturn);
}

void FivePage::on_five_btnReturn_clicked()
{
    emit returnClicked();
}

// ---- six ---------------------------------------------------------------------

SixPage::SixPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::SixPage>())
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->six_btnReturn);
}

SixPage::~SixPage() = default;

void SixPage::open(const QString &title)
{
    ui->six_labTitle->setText(title);
    PageGlyphs::setReturn(ui->six_btnReturn);
}

void SixPage::setTitle(const QString &title)
{
    ReadingsView::setIfChanged(ui->six_labTitle, title);
}

void SixPage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->six_btnReturn);
}

void SixPage::on_six_btnReturn_clicked()
{
    emit returnClicked();
}
