// The firmware upgrade page: loading the image and applying what the upgrade
// state machine reports. The transfer itself lives in FirmwareUpgrade.
#include "devicelink.h"
#include "firmwareimage.h"
#include "firmwareupgrade.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "setting.h"

#include <QDebug>
#include <QFileDialog>
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

void MainDialog::buildUpgrade()
{
    m_openFile = [](QWidget *parent, const QString &caption, const QString &dir,
                    const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    };
    m_upgrade = new FirmwareUpgrade(this);
    connect(m_upgrade, &FirmwareUpgrade::packetReady, this, [this](const QByteArray &packet) {
        if (m_link)
            m_link->usbThread()->write(packet);
    });
    connect(m_upgrade, &FirmwareUpgrade::entryFrameRequested, this, [this] {
        if (m_upgrade->takeEntryRequest())
            m_poll.enterUpgrade(m_mainHandle);
    });
    auto *pacer = new ProgressPacer(ui->upgrade_progressBar_fw, this);
    connect(m_upgrade, &FirmwareUpgrade::progressChanged, pacer, &ProgressPacer::report);
    // Connected first, so the bar is up to date when the line or box appears.
    connect(m_upgrade, &FirmwareUpgrade::logCleared, pacer, &ProgressPacer::flush);
    connect(m_upgrade, &FirmwareUpgrade::finished, pacer, &ProgressPacer::flush);
    connect(m_upgrade, &FirmwareUpgrade::logLine, pacer, &ProgressPacer::flush);
    connect(m_upgrade, &FirmwareUpgrade::warning, pacer, &ProgressPacer::flush);
    connect(m_upgrade, &FirmwareUpgrade::logCleared, ui->upgrade_text_log, &QTextEdit::clear);
    connect(m_upgrade, &FirmwareUpgrade::logLine, ui->upgrade_text_log, &QTextEdit::append);
    connect(m_upgrade, &FirmwareUpgrade::startButtonChanged, this,
            [this](const QString &text, bool enabled) {
                ui->upgrade_pushButton_start->setText(text);
                ui->upgrade_pushButton_start->setEnabled(enabled);
            });
    connect(m_upgrade, &FirmwareUpgrade::warning, this, &MainDialog::warn);
    connect(this, &MainDialog::aboutToClose, m_upgrade, &FirmwareUpgrade::cancel);
}

void MainDialog::on_upgrade_pushButton_openfile_clicked()
{
    ui->upgrade_text_log->append(FirmwareImage::openingLogLine());
    const QString last = Setting().read(QString::fromLatin1(FirmwareImage::settingsKey));
    const QString name =
        m_openFile(this, FirmwareImage::dialogCaption(), last, FirmwareImage::dialogFilter());
    qDebug() << "文件名:  " << name;
    if (name.isEmpty())
        return;

    const FirmwareImage::LoadResult image = FirmwareImage::load(name);
    if (!image.ok()) {
        warn(image.boxTitle, image.boxText);
        ui->upgrade_text_log->append(image.logLine);
        return;
    }
    ui->upgrade_lineEdit_filename->setText(image.path);
    Setting().write(QString::fromLatin1(FirmwareImage::settingsKey), image.path);
    firmwareData = image.data;
    ui->upgrade_label_fwsizevalue->setText(image.sizeText);
    ui->upgrade_pushButton_start->setText(FirmwareImage::startButtonText());
    ui->upgrade_text_log->append(FirmwareImage::loadedLogLine());
    if (linkUp())
        ui->upgrade_pushButton_start->setEnabled(true);
}

void MainDialog::on_upgrade_pushButton_start_clicked()
{
    m_upgrade->start(firmwareData);
}
