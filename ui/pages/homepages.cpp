#include "homepages.h"

#include "homemenu.h"
#include "pageglyphs.h"
#include "ui_pagehome.h"
#include "ui_pagerx41home.h"

namespace {

template <class Page>
void decorate(Page *page, const QList<QToolButton *> &buttons, const QList<HomeMenu::Button> &menu)
{
    for (int i = 0; i < buttons.size(); ++i) {
        HomeMenu::decorate(buttons[i], menu.at(i));
        QObject::connect(buttons[i], &QToolButton::clicked, page, &Page::buttonClicked);
    }
}

void setTexts(const QList<QToolButton *> &buttons, const QList<HomeMenu::Button> &menu)
{
    for (int i = 0; i < buttons.size(); ++i)
        HomeMenu::setText(buttons[i], menu.at(i));
}

} // namespace

// ---- electronic load ---------------------------------------------------------

HomePage::HomePage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::HomePage>())
{
    ui->setupUi(this);
    PageGlyphs::setHome(ui->btnReturn);
    decorate(this, entries(), HomeMenu::loadMenu());
}

HomePage::~HomePage() = default;

QList<QToolButton *> HomePage::entries() const
{
    return {ui->tbtn1, ui->tbtn2, ui->tbtn3,  ui->tbtn4,  ui->tbtn5,  ui->tbtn6,  ui->tbtn7,
            ui->tbtn8, ui->tbtn9, ui->tbtn10, ui->tbtn11, ui->tbtn12, ui->tbtn13, ui->tbtn14};
}

void HomePage::setTitle(const QString &title)
{
    ui->labTitle->setText(title);
}

void HomePage::showHomeGlyph()
{
    PageGlyphs::setHome(ui->btnReturn);
}

void HomePage::retranslate()
{
    ui->retranslateUi(this);
    setTexts(entries(), HomeMenu::loadMenu());
    PageGlyphs::setHome(ui->btnReturn);
}

void HomePage::buttonClicked()
{
    if (auto *button = qobject_cast<QAbstractButton *>(sender()))
        emit entryClicked(button->text());
}

// ---- power tester ------------------------------------------------------------

Rx41HomePage::Rx41HomePage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::Rx41HomePage>())
{
    ui->setupUi(this);
    PageGlyphs::setHome(ui->RX41_btnReturn);
    decorate(this, entries(), HomeMenu::testerMenu());
}

Rx41HomePage::~Rx41HomePage() = default;

QList<QToolButton *> Rx41HomePage::entries() const
{
    return {ui->RX41_tbtn1, ui->RX41_tbtn2, ui->RX41_tbtn3, ui->RX41_tbtn4};
}

void Rx41HomePage::retranslate()
{
    ui->retranslateUi(this);
    setTexts(entries(), HomeMenu::testerMenu());
    PageGlyphs::setHome(ui->RX41_btnReturn);
}

void Rx41HomePage::buttonClicked()
{
    if (auto *button = qobject_cast<QAbstractButton *>(sender()))
        emit entryClicked(button->text());
}
