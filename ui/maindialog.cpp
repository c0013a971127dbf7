#include "maindialog.h"
#include "uilog.h"

#include "devicelink.h"
#include "iconhelper.h"
#include "maindialogui.h"
#include "setting.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QTranslator>
#include <QVBoxLayout>

namespace {

// The outer band that belongs to the window itself: the frameless resize
// handles live there, so no child may cover it.
constexpr int EdgeBand = 2;

// Largest and smallest pixel size of the big readings.
constexpr qreal ReadingMaxPx = 60;
constexpr qreal ReadingMinPx = 16;

} // namespace

MainDialog::MainDialog(InstrumentSession &session, QWidget *parent)
    : QDialog(parent), ui(new MainDialogUi), m_frame(this), m_translator(new QTranslator(this)),
      m_session(session)
{
    setObjectName(QStringLiteral("MainDialog"));
    resize(1232, 900);
    setMouseTracking(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(EdgeBand, EdgeBand, EdgeBand, EdgeBand);
    outer->setSpacing(0);
    auto *container = new QWidget(this);
    outer->addWidget(container);
    ui->setupUi(container);
    ui->disp_stackedWidget->setCurrentIndex(PageStart);

    initForm();

    ui->disp_btn_menu->setIcon(
        QIcon(QPixmap(QStringLiteral(":/sys/rs/rs/menu.png"))
                  .scaled(200, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    ui->label_main_icon->setStyleSheet(
        QStringLiteral("border-image: url(:/sys/rs/rs/icon01_130x20.png);"));
    buildHomeMenus();

    ui->widgetMain->installEventFilter(this);
    ui->disp_frame_readings->installEventFilter(this);

    m_message = dialoghooks::defaultMessage();
    buildChart();
    buildUpgrade();
    connect(&m_devices, &DeviceList::TickShow_Signal, this, &MainDialog::TickShow_Slot);

    // All forms are in place: connect the pages' widgets to this window's slots.
    QMetaObject::connectSlotsByName(this);

    // The window's minimum size is settled now, before it has a platform
    // window, so showing it does not have to push a new one to the system.
    ensurePolished();
    layout()->activate();

    // Last: the first connection attempt may run the connect path at once,
    // and that path uses the chart and the device list.
    buildLink();
}

MainDialog::~MainDialog()
{
    // The link thread and the scan worker stop before anything they report to goes.
    m_session.close();
    delete ui;
}

void MainDialog::initForm()
{
    if (Setting().read(QStringLiteral("Language")) == QLatin1String("English")) {
        if (m_translator->load(QStringLiteral(":/Language/lib_en.qm")))
            QCoreApplication::installTranslator(m_translator);
    } else {
        QCoreApplication::removeTranslator(m_translator);
    }
    setWindowTitle(tr("ORVANE_USB_TESTER"));
    ui->retranslateUi();

    setWindowFlags(Qt::WindowFlags(0xE800));
    setAttribute(Qt::WA_TranslucentBackground);
    setGlyphs();

    ui->widgetTitle->installEventFilter(this);
    ui->widgetTitle->setProperty("form", QStringLiteral("title"));
}

void MainDialog::setGlyphs()
{
    IconHelper *icons = IconHelper::Instance();
    icons->setIcon(ui->btnMenu_Menu, QChar(Glyph::Menu), 9);
    icons->setIcon(ui->btnMenu_Min, QChar(Glyph::Minimize), 9);
    icons->setIcon(ui->btnMenu_Max, QChar(Glyph::Maximize), 9);
    icons->setIcon(ui->btnMenu_Close, QChar(Glyph::Close), 9);
    icons->setIcon(ui->btnReturn, QChar(Glyph::Home), 16);
    icons->setIcon(ui->RX41_btnReturn, QChar(Glyph::Home), 16);
    const QList<QPushButton *> returns = {
        ui->disp_btnReturn, ui->upgrade_btnReturn, ui->settings_btnReturn,     ui->four_btnReturn,
        ui->five_btnReturn, ui->six_btnReturn,     ui->RX41_settings_btnReturn};
    for (QPushButton *b : returns)
        icons->setIcon(b, QChar(Glyph::Return), 16);
}

void MainDialog::buildHomeMenus()
{
    const QList<QToolButton *> load = {ui->tbtn1,  ui->tbtn2,  ui->tbtn3, ui->tbtn4, ui->tbtn5,
                                       ui->tbtn6,  ui->tbtn7,  ui->tbtn8, ui->tbtn9, ui->tbtn10,
                                       ui->tbtn11, ui->tbtn12, ui->tbtn13};
    const QList<QToolButton *> tester = {ui->RX41_tbtn1, ui->RX41_tbtn2, ui->RX41_tbtn3,
                                         ui->RX41_tbtn4};
    for (int i = 0; i < load.size(); ++i) {
        HomeMenu::decorate(load[i], HomeMenu::loadMenu().at(i));
        connect(load[i], &QToolButton::clicked, this, &MainDialog::buttonClicked);
    }
    for (int i = 0; i < tester.size(); ++i) {
        HomeMenu::decorate(tester[i], HomeMenu::testerMenu().at(i));
        connect(tester[i], &QToolButton::clicked, this, &MainDialog::buttonClicked);
    }
}

void MainDialog::retranslate()
{
    setWindowTitle(tr("ORVANE_USB_TESTER"));
    ui->retranslateUi();
    const QList<QToolButton *> load = {ui->tbtn1,  ui->tbtn2,  ui->tbtn3, ui->tbtn4, ui->tbtn5,
                                       ui->tbtn6,  ui->tbtn7,  ui->tbtn8, ui->tbtn9, ui->tbtn10,
                                       ui->tbtn11, ui->tbtn12, ui->tbtn13};
    for (int i = 0; i < load.size(); ++i)
        HomeMenu::setText(load[i], HomeMenu::loadMenu().at(i));
    const QList<QToolButton *> tester = {ui->RX41_tbtn1, ui->RX41_tbtn2, ui->RX41_tbtn3,
                                         ui->RX41_tbtn4};
    for (int i = 0; i < tester.size(); ++i)
        HomeMenu::setText(tester[i], HomeMenu::testerMenu().at(i));
    ui->device_treeWidget->setHeaderLabel(tr("设备列表"));
    setGlyphs();
    fitReadings();
}

int MainDialog::currentPage() const
{
    return ui->disp_stackedWidget->currentIndex();
}

void MainDialog::setCurrentPage(int page)
{
    ui->disp_stackedWidget->setCurrentIndex(page);
}

// ---- title bar -------------------------------------------------------------

void MainDialog::on_btnMenu_Min_clicked()
{
    showMinimized();
}

void MainDialog::on_btnMenu_Max_clicked()
{
    m_frame.toggleMaximized();
}

void MainDialog::on_btnMenu_Close_clicked()
{
    close();
}

void MainDialog::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        m_closing = true;
        emit aboutToClose();
    }
    QDialog::closeEvent(event);
}

void MainDialog::keyPressEvent(QKeyEvent *event)
{
    // A dialog would close on Escape and press its default button on Return,
    // so Return in a value edit could trigger whatever button was focused
    // last. The main window takes neither.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

// ---- chart title -----------------------------------------------------------

void MainDialog::on_disp_btn_title_clicked()
{
    bool ok = false;
    const QString title = QInputDialog::getText(this, tr("标题变更对话框"), tr("请输入标题:"),
                                                QLineEdit::Normal, ui->disp_btn_title->text(), &ok);
    if (ok)
        ui->disp_btn_title->setText(title);
}

// ---- frame -----------------------------------------------------------------

bool MainDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->widgetTitle && event->type() == QEvent::MouseButtonDblClick) {
        on_btnMenu_Max_clicked();
        qCDebug(lcUi) << "双击事件：+";
        return true;
    }
    if (watched == ui->widgetMain && event->type() == QEvent::Enter)
        m_frame.leftEdge();
    if (watched == ui->disp_frame_readings && event->type() == QEvent::Resize)
        fitReadings();
    return QDialog::eventFilter(watched, event);
}

void MainDialog::mousePressEvent(QMouseEvent *event)
{
    m_frame.mousePress(event);
    QDialog::mousePressEvent(event);
}

void MainDialog::mouseMoveEvent(QMouseEvent *event)
{
    m_frame.mouseMove(event);
    QDialog::mouseMoveEvent(event);
}

void MainDialog::mouseReleaseEvent(QMouseEvent *event)
{
    m_frame.mouseRelease(event);
    QDialog::mouseReleaseEvent(event);
}

void MainDialog::paintEvent(QPaintEvent *)
{
    // The background is translucent; paint the window's own face and the band.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(QColor(0x24, 0x24, 0x24));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MainDialog::fitReadings()
{
    // The readings take the largest size at which the widest text fits its
    // cell, so they stay large on a big window and whole on a small one.
    const QList<QLabel *> values = {ui->disp_label_VOL, ui->disp_label_CUR, ui->disp_label_POW,
                                    ui->disp_label_RES, ui->disp_label_ELE, ui->disp_label_CAP};
    const QList<QLabel *> units = {ui->disp_label_V, ui->disp_label_A,  ui->disp_label_W,
                                   ui->disp_label_O, ui->disp_label_WH, ui->disp_label_mAh};
    QFont probe = values.first()->font();
    probe.setPixelSize(100);
    const QFontMetricsF metrics(probe);
    // Eight characters: seven digits and a sign.
    const qreal sample = metrics.horizontalAdvance(QStringLiteral("-0000.00"));
    qreal px = ReadingMaxPx;
    for (const QLabel *label : values)
        px = qMin(px, 100.0 * label->contentsRect().width() / sample);
    px = qBound(ReadingMinPx, px, ReadingMaxPx);
    for (QLabel *label : values) {
        QFont f = label->font();
        f.setPixelSize(int(px));
        label->setFont(f);
    }
    for (QLabel *label : units) {
        QFont f = label->font();
        f.setPixelSize(int(qBound(12.0, px * 0.45, 26.0)));
        label->setFont(f);
    }
}
