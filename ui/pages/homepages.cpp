#include "homepages.h"

#include "homemenu.h"
#include "pageglyphs.h"
#include "ui_pagehome.h"
#include "ui_pagerx41home.h"

#include <functional>

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

// The entries every family has, made like the form's buttons.
template <class Page>
QList<QToolButton *> addCommonEntries(Page *page, const QString &prefix,
                                      const std::function<void(QToolButton *, int)> &place)
{
    QList<QToolButton *> buttons;
    const QList<HomeMenu::Button> &common = HomeMenu::commonEntries();
    for (int i = 0; i < common.size(); ++i) {
        auto *b = new QToolButton(page);
        b->setObjectName(prefix + QString::number(i + 1));
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        place(b, i);
        buttons << b;
    }
    decorate(page, buttons, common);
    return buttons;
}

} // namespace

// ---- electronic load ---------------------------------------------------------

HomePage::HomePage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::HomePage>())
{
    ui->setupUi(this);
    PageGlyphs::setHome(ui->btnReturn);
    decorate(this, entries(), HomeMenu::loadMenu());
    // After the fourteenth entry, in the grid's last row.
    m_common = addCommonEntries(this, QStringLiteral("home_common"), [this](QToolButton *b, int i) {
        ui->home_grid->addWidget(b, 2, 4 + i);
    });
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
    setTexts(m_common, HomeMenu::commonEntries());
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
    // After the fourth entry, in the same row.
    m_common =
        addCommonEntries(this, QStringLiteral("RX41_home_common"), [this](QToolButton *b, int i) {
            ui->rx41home_row->insertWidget(ui->rx41home_row->indexOf(ui->RX41_tbtn4) + 1 + i, b);
        });
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
    setTexts(m_common, HomeMenu::commonEntries());
    PageGlyphs::setHome(ui->RX41_btnReturn);
}

void Rx41HomePage::buttonClicked()
{
    if (auto *button = qobject_cast<QAbstractButton *>(sender()))
        emit entryClicked(button->text());
}
