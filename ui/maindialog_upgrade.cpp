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

void MainDialog::buildUpgrade()
{
    m_openFile = [](QWidget *parent, const QString &caption, const QString &dir,
                    const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    };
    m_upgrade = new FirmwareUpgrade(this);
    m_session.attachUpgrade(m_upgrade);
    auto *texts = new UpgradeTexts(m_upgrade, this);
    connect(texts, &UpgradeTexts::logCleared, ui->upgrade_text_log, &QTextEdit::clear);
    connect(texts, &UpgradeTexts::logLine, ui->upgrade_text_log, &QTextEdit::append);
    connect(texts, &UpgradeTexts::progressChanged, this, [this](int value, const QString &format) {
        if (!format.isEmpty())
            ui->upgrade_progressBar_fw->setFormat(format);
        ui->upgrade_progressBar_fw->setValue(value);
    });
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
    const QString last = Setting().read(QString::fromLatin1(FirmwareImage::SettingsKey));
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
    Setting().write(QString::fromLatin1(FirmwareImage::SettingsKey), image.path);
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
