// The firmware upgrade page: loading the image and applying what the upgrade
// state machine reports. The transfer itself lives in FirmwareUpgrade.
#include "devicelink.h"
#include "uilog.h"
#include "firmwareimage.h"
#include "firmwareupgrade.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "setting.h"
#include "upgradetexts.h"

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
    m_session.attachUpgrade(m_upgrade);
    auto *texts = new UpgradeTexts(m_upgrade, this);
    auto *pacer = new ProgressPacer(ui->upgrade_progressBar_fw, this);
    connect(texts, &UpgradeTexts::progressChanged, pacer, &ProgressPacer::report);
    // Connected first, so the bar is up to date when the line or box appears.
    connect(texts, &UpgradeTexts::logCleared, pacer, &ProgressPacer::flush);
    connect(m_upgrade, &FirmwareUpgrade::finished, pacer, &ProgressPacer::flush);
    connect(texts, &UpgradeTexts::logLine, pacer, &ProgressPacer::flush);
    connect(texts, &UpgradeTexts::warning, pacer, &ProgressPacer::flush);
    connect(texts, &UpgradeTexts::logCleared, ui->upgrade_text_log, &QTextEdit::clear);
    connect(texts, &UpgradeTexts::logLine, ui->upgrade_text_log, &QTextEdit::append);
    connect(texts, &UpgradeTexts::startButtonChanged, this,
            [this](const QString &text, bool enabled) {
                ui->upgrade_pushButton_start->setText(text);
                // After a failure the same image can be tried again at once.
                ui->upgrade_pushButton_start->setEnabled(enabled && linkUp() &&
                                                         !firmwareData.isEmpty());
            });
    connect(texts, &UpgradeTexts::warning, this, &MainDialog::warn);
    connect(this, &MainDialog::aboutToClose, m_upgrade, &FirmwareUpgrade::cancel);
}

void MainDialog::on_upgrade_pushButton_openfile_clicked()
{
    ui->upgrade_text_log->append(ImageTexts::openingLogLine());
    const QString last = Setting().read(QString::fromLatin1(FirmwareImage::settingsKey));
    const QString name =
        m_openFile(this, ImageTexts::dialogCaption(), last, ImageTexts::dialogFilter());
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
    Setting().write(QString::fromLatin1(FirmwareImage::settingsKey), image.path);
    firmwareData = image.data;
    ui->upgrade_label_fwsizevalue->setText(said.sizeText);
    ui->upgrade_pushButton_start->setText(ImageTexts::startButtonText());
    ui->upgrade_text_log->append(ImageTexts::loadedLogLine());
    if (linkUp())
        ui->upgrade_pushButton_start->setEnabled(true);
}

void MainDialog::on_upgrade_pushButton_start_clicked()
{
    m_upgrade->start(firmwareData);
}
