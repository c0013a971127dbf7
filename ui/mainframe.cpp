#include "mainframe.h"

#include "iconhelper.h"
#include "ui_mainframe.h"
#include "uilog.h"

#include <QCursor>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QMovie>
#include <QPixmap>

MainFrame::MainFrame(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::MainFrame>())
{
    ui->setupUi(this);
    ui->label_main_icon->setStyleSheet(
        QStringLiteral("border-image: url(:/sys/rs/rs/icon01_130x20.png);"));
    ui->widgetTitle->installEventFilter(this);
    ui->widgetTitle->setProperty("form", QStringLiteral("title"));
    setGlyphs();
}

MainFrame::~MainFrame() = default;

int MainFrame::addPage(QWidget *page)
{
    return ui->disp_stackedWidget->addWidget(page);
}

int MainFrame::currentPage() const
{
    return ui->disp_stackedWidget->currentIndex();
}

void MainFrame::setCurrentPage(int index)
{
    ui->disp_stackedWidget->setCurrentIndex(index);
}

void MainFrame::retranslate()
{
    ui->retranslateUi(this);
    ui->device_treeWidget->setHeaderLabel(tr("设备列表"));
    setGlyphs();
    showNoneFound(m_noneFound);
}

void MainFrame::setGlyphs()
{
    IconHelper *icons = IconHelper::Instance();
    icons->setIcon(ui->btnMenu_Menu, QChar(Glyph::Menu), 9);
    icons->setIcon(ui->btnMenu_Min, QChar(Glyph::Minimize), 9);
    icons->setIcon(ui->btnMenu_Max, QChar(Glyph::Maximize), 9);
    icons->setIcon(ui->btnMenu_Close, QChar(Glyph::Close), 9);
}

bool MainFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->widgetTitle && event->type() == QEvent::MouseButtonDblClick) {
        emit maximizeRequested();
        qCDebug(lcUi) << "双击事件：+";
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- title bar -------------------------------------------------------------

void MainFrame::on_btnMenu_Menu_clicked()
{
    // Built anew on each click, so its entries follow the current language.
    QMenu menu(ui->btnMenu_Menu);
    menu.setObjectName(QStringLiteral("languageMenu"));
    QAction *chinese =
        menu.addAction(QIcon(QPixmap(QStringLiteral(":/sys/rs/rs/cn_en.png"))
                                 .scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation)),
                       tr("简体中文"));
    QAction *english = menu.addAction(tr("English"));
    connect(chinese, &QAction::triggered, this, [this] { emit languageChosen(false); });
    connect(english, &QAction::triggered, this, [this] { emit languageChosen(true); });
    // The menu opens at the pointer, not under the button, so the button
    // itself carries no menu (it would pop up a second one) and no arrow.
    ui->btnMenu_Menu->setStyleSheet(QStringLiteral("QPushButton::menu-indicator{image:none}"));
    menu.exec(QCursor::pos());
}

void MainFrame::on_btnMenu_Min_clicked()
{
    emit minimizeRequested();
}

void MainFrame::on_btnMenu_Max_clicked()
{
    emit maximizeRequested();
}

void MainFrame::on_btnMenu_Close_clicked()
{
    emit closeRequested();
}

// ---- device panel ----------------------------------------------------------

void MainFrame::on_btn_search_clicked()
{
    emit searchRequested();
}

void MainFrame::clearDevices()
{
    m_devices.clear(ui->device_treeWidget);
}

void MainFrame::showDevices(const DeviceListPlan &plan)
{
    m_devices.populate(ui->device_treeWidget, plan);
}

void MainFrame::showSearching()
{
    if (!m_searching) {
        m_searching =
            new QMovie(QStringLiteral(":/sys/rs/rs/img/searching.gif"), QByteArray(), this);
        m_searching->setScaledSize(ui->label_searching->size());
    }
    ui->label_searching->setMovie(m_searching);
    ui->label_searching->setToolTip(tr("正在扫描总线设备"));
    m_searching->start();
}

void MainFrame::hideSearching()
{
    if (m_searching)
        m_searching->stop();
    ui->label_searching->setMovie(nullptr);
    ui->label_searching->clear();
    ui->label_searching->setToolTip(QString());
}

void MainFrame::showNoneFound(bool none)
{
    m_noneFound = none;
    ui->label_left_tips_2->setText(none ? tr("未找到仪器。") : QString());
    ui->label_left_tips_2->setToolTip(none ? tr("请检查数据线和仪器电源，然后再次搜索。")
                                           : QString());
}
