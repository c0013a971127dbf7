#include "maindialog.h"

#include "mainframe.h"
#include "pages/disppage.h"
#include "pages/programpage.h"
#include "runtracker.h"
#include "uilog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTranslator>
#include <QVBoxLayout>

namespace {

// The outer band that belongs to the window itself: the frameless resize
// handles live there, so no child may cover it.
constexpr int EdgeBand = 2;

// No platform frame, but the system menu and the minimise and maximise
// actions stay. No window-type bits: a dialog without a parent is a window.
constexpr Qt::WindowFlags WindowLook = Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                                       Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
static_assert(int(WindowLook) == 0xE800, "the flags the window has always had");

} // namespace

MainDialog::MainDialog(InstrumentSession &session, QWidget *parent)
    : QDialog(parent), m_frame(this), m_translator(new QTranslator(this)),
      m_qtTranslator(new QTranslator(this)), m_session(session)
{
    setObjectName(QStringLiteral("MainDialog"));
    resize(1232, 900);
    setMouseTracking(true);

    // The language first, so the frame and the pages are made in it.
    loadLanguage();
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(EdgeBand, EdgeBand, EdgeBand, EdgeBand);
    outer->setSpacing(0);
    m_mainFrame = new MainFrame(this);
    outer->addWidget(m_mainFrame);
    m_pages.build(*m_mainFrame, m_session);
    setCurrentPage(PageStart);

    setWindowTitle(tr("ORVANE_USB_TESTER"));
    setWindowFlags(WindowLook);
    setAttribute(Qt::WA_TranslucentBackground);
    m_mainFrame->installEventFilter(this);

    m_message = dialoghooks::defaultMessage();
    m_ask = dialoghooks::defaultAsk();
    buildChart();
    buildHistory();
    m_pages.buildProgram(*m_mainFrame, m_session);
    connectProgram();
    buildUpgrade();
    connect(&m_mainFrame->devices(), &DeviceList::TickShow_Signal, this,
            &MainDialog::TickShow_Slot);
    connectNavigation();

    // The window's minimum size is settled now, before it has a platform
    // window, so showing it does not have to push a new one to the system.
    ensurePolished();
    layout()->activate();

    // A laptop's screen is smaller than the designed size: the window opens
    // within the area the desktop leaves it, centred there.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(initialSize(size(), minimumSize().expandedTo(minimumSizeHint()), available.size()));
        move(available.center() - rect().center());
    }

    // Last: the first connection attempt may run the connect path at once,
    // and that path uses the chart and the device list.
    buildLink();
}

QSize MainDialog::initialSize(const QSize &designed, const QSize &minimum, const QSize &available)
{
    return designed.boundedTo(available).expandedTo(minimum);
}

MainDialog::~MainDialog()
{
    // A test program never outlives the window with the load running.
    m_pages.program->shutdown();
    // The link thread and the scan worker stop before anything they report to goes.
    m_session.close();
}

void MainDialog::retranslate()
{
    setWindowTitle(tr("ORVANE_USB_TESTER"));
    m_mainFrame->retranslate();
    m_pages.retranslate();
}

int MainDialog::currentPage() const
{
    return m_mainFrame->currentPage();
}

void MainDialog::setCurrentPage(int page)
{
    m_mainFrame->setCurrentPage(page);
}

const DeviceList &MainDialog::deviceList() const
{
    return m_mainFrame->devices();
}

void MainDialog::setRunButtonTexts(bool running)
{
    m_pages.disp->setRunButtonTexts(running);
}

void MainDialog::runButtonRefresh()
{
    m_pages.disp->refreshRunButton();
}

CDPopTips *MainDialog::popTips()
{
    return m_pages.disp->popTips();
}

// ---- frame -----------------------------------------------------------------

void MainDialog::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        if (!confirmClose()) {
            event->ignore();
            return;
        }
        m_closing = true;
        // A test program ends first, its load stopped and its run closed; then
        // the run the record holds ends with the window, and is on disk first.
        m_pages.program->shutdown();
        if (m_runs)
            m_runs->windowClosed();
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

bool MainDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainFrame && event->type() == QEvent::Enter)
        m_frame.leftEdge();
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
