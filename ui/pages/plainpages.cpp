#include "plainpages.h"

#include "pageglyphs.h"
#include "readingsview.h"
#include "ui_pagefive.h"
#include "ui_pagefour.h"
#include "ui_pagesix.h"
#include "ui_pagestart.h"

#include <QLabel>

// ---- start -------------------------------------------------------------------

StartPage::StartPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::StartPage>())
{
    ui->setupUi(this);
#ifdef Q_OS_LINUX
    // Without the rule only root may open the instrument's hidraw node, and
    // the program waits here for ever.
    m_udev = new QLabel(this);
    m_udev->setObjectName(QStringLiteral("start_label_udev"));
    m_udev->setAlignment(Qt::AlignCenter);
    m_udev->setWordWrap(true);
    m_udev->setTextFormat(Qt::RichText);
    m_udev->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_udev->setStyleSheet(QStringLiteral("color: rgb(220, 220, 220);"));
    ui->start_layout->insertWidget(3, m_udev);
    setUdevText();
#endif
}

StartPage::~StartPage() = default;

void StartPage::retranslate()
{
    ui->retranslateUi(this);
    setUdevText();
}

void StartPage::setUdevText()
{
    if (!m_udev)
        return;
    // The commands of the README; the Debian package runs them itself.
    m_udev->setText(
        tr("在 Linux 上，真实仪器需要安装 udev 规则后才能访问（Debian 软件包会自动安装）：") +
        QStringLiteral("<pre>sudo cp packaging/udev/70-usb-tester.rules "
                       "/lib/udev/rules.d/\n"
                       "sudo udevadm control --reload-rules\n"
                       "sudo udevadm trigger --subsystem-match=hidraw</pre>") +
        tr("然后重新插拔仪器。使用 --simulate 启动的模拟仪器不需要此规则。"));
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
