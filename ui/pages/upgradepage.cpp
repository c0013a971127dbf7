#include "upgradepage.h"

#include "firmwareimage.h"
#include "firmwareupgrade.h"
#include "pageglyphs.h"
#include "setting.h"
#include "ui_pageupgrade.h"
#include "uilog.h"
#include "upgradetexts.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QTimer>

namespace {

// The upgrade reports progress with every packet, thousands of times a
// second against a fast instrument, and each new text repaints the bar. The
// bar follows at most 25 times a second (the first report at once), and shows
// the latest report before every log line, warning and the end.
class ProgressPacer : public QObject
{
public:
    ProgressPacer(QProgressBar *bar, QObject *parent) : QObject(parent), m_bar(bar)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(40);
        connect(&m_timer, &QTimer::timeout, this, &ProgressPacer::flush);
    }
    // An empty format leaves the bar's format alone.
    void report(int value, const QString &format)
    {
        m_value = value;
        if (!format.isEmpty())
            m_format = format;
        m_pending = true;
        if (!m_timer.isActive()) {
            flush();
            m_timer.start();
        }
    }
    void flush()
    {
        if (!m_pending)
            return;
        m_pending = false;
        if (!m_format.isEmpty())
            m_bar->setFormat(m_format);
        m_format.clear();
        m_bar->setValue(m_value);
    }

private:
    QProgressBar *m_bar;
    QTimer m_timer;
    bool m_pending = false;
    int m_value = 0;
    QString m_format;
};

} // namespace

UpgradePage::UpgradePage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::UpgradePage>()), m_linkUp([] { return false; }),
      m_message(dialoghooks::defaultMessage()), m_openFile(dialoghooks::defaultOpenFile())
{
    ui->setupUi(this);
    PageGlyphs::setReturn(ui->upgrade_btnReturn);
}

UpgradePage::~UpgradePage() = default;

void UpgradePage::attach(FirmwareUpgrade *upgrade, std::function<bool()> linkUp)
{
    m_upgrade = upgrade;
    m_linkUp = std::move(linkUp);
    auto *texts = new UpgradeTexts(upgrade, this);
    auto *pacer = new ProgressPacer(ui->upgrade_progressBar_fw, this);
    connect(texts, &UpgradeTexts::progressChanged, pacer, &ProgressPacer::report);
    // Connected first, so the bar is up to date when the line or box appears.
    connect(texts, &UpgradeTexts::logCleared, pacer, &ProgressPacer::flush);
    connect(upgrade, &FirmwareUpgrade::finished, pacer, &ProgressPacer::flush);
    connect(texts, &UpgradeTexts::logLine, pacer, &ProgressPacer::flush);
    connect(texts, &UpgradeTexts::warning, pacer, &ProgressPacer::flush);
    connect(texts, &UpgradeTexts::logCleared, ui->upgrade_text_log, &QTextEdit::clear);
    connect(texts, &UpgradeTexts::logLine, ui->upgrade_text_log, &QTextEdit::append);
    connect(
        texts, &UpgradeTexts::startButtonChanged, this, [this](const QString &text, bool enabled) {
            ui->upgrade_pushButton_start->setText(text);
            // After a failure the same image can be tried again at once.
            ui->upgrade_pushButton_start->setEnabled(enabled && m_linkUp() && !m_image.isEmpty());
        });
    connect(texts, &UpgradeTexts::warning, this, &UpgradePage::warn);
}

void UpgradePage::warn(const QString &title, const QString &text)
{
    m_message(window(), QMessageBox::Warning, title, text);
}

void UpgradePage::open(const QString &title)
{
    ui->upgrade_labTitle->setText(title);
    PageGlyphs::setReturn(ui->upgrade_btnReturn);
    prepareProgressBar();
}

void UpgradePage::prepareProgressBar()
{
    QProgressBar *bar = ui->upgrade_progressBar_fw;
    bar->setRange(0, 100);
    bar->setMinimum(0);
    bar->setMaximum(100);
    bar->setValue(0);
    bar->setOrientation(Qt::Horizontal);
    bar->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    bar->setFormat(QStringLiteral("loading"));
    bar->setTextVisible(true);
}

void UpgradePage::retranslate()
{
    ui->retranslateUi(this);
    PageGlyphs::setReturn(ui->upgrade_btnReturn);
}

void UpgradePage::on_upgrade_btnReturn_clicked()
{
    emit returnClicked();
}

// ---- the link ----------------------------------------------------------------

void UpgradePage::showDeviceName(const QString &name)
{
    ui->upgrade_label_devvalue->setText(name);
}

void UpgradePage::showLinkState(bool up, const QString &deviceName, bool log)
{
    // The picture follows the link whichever page shows, or the upgrade page
    // would show a link that came up on another page as lost.
    ui->upgrade_label_connect->setStyleSheet(
        up ? QStringLiteral("border-image:url(:/sys/rs/rs/usb_connect.png) 0 0 0 0 stretch "
                            "stretch;")
           : QStringLiteral("border-image:url(:/sys/rs/rs/usb_disconnect.png) 0 0 0 0 stretch "
                            "stretch;"));
    if (!log)
        return;
    // The link's texts keep the translation context they were written in,
    // spelt out at each call so lupdate collects them.
    if (up) {
        ui->upgrade_text_log->append(QCoreApplication::translate("DeviceLink", "设备已连接"));
        ui->upgrade_text_log->append(QCoreApplication::translate("DeviceLink", "设备名称:") +
                                     deviceName);
    } else {
        ui->upgrade_text_log->append(QCoreApplication::translate("DeviceLink", "设备已断开"));
    }
}

// ---- the image and the upgrade -------------------------------------------------

void UpgradePage::on_upgrade_pushButton_openfile_clicked()
{
    ui->upgrade_text_log->append(ImageTexts::openingLogLine());
    const QString last = Setting().read(QString::fromLatin1(FirmwareImage::SettingsKey));
    const QString name =
        m_openFile(window(), ImageTexts::dialogCaption(), last, ImageTexts::dialogFilter());
    qCDebug(lcUi) << "文件名:  " << name;
    if (name.isEmpty())
        return;

    const FirmwareImage::LoadResult image = FirmwareImage::load(name);
    const ImageTexts::Described said = ImageTexts::describe(image);
    if (!image.ok()) {
        warn(said.boxTitle, said.boxText);
        ui->upgrade_text_log->append(said.logLine);
        return;
    }
    ui->upgrade_lineEdit_filename->setText(image.path);
    Setting().write(QString::fromLatin1(FirmwareImage::SettingsKey), image.path);
    m_image = image.data;
    ui->upgrade_label_fwsizevalue->setText(said.sizeText);
    ui->upgrade_pushButton_start->setText(ImageTexts::startButtonText());
    ui->upgrade_text_log->append(ImageTexts::loadedLogLine());
    if (m_linkUp())
        ui->upgrade_pushButton_start->setEnabled(true);
}

void UpgradePage::on_upgrade_pushButton_start_clicked()
{
    if (m_upgrade)
        m_upgrade->start(m_image);
}
