#pragma once

#include "dataexport.h"

#include <QByteArray>
#include <QWidget>
#include <functional>
#include <memory>

class FirmwareUpgrade;

namespace Ui {
class UpgradePage;
}

// The firmware upgrade page: picking and loading the image, starting the
// upgrade, and its log, progress bar and start button as the upgrade reports
// them (UpgradeTexts puts them into words). The transfer itself lives in
// FirmwareUpgrade; the page also shows the link's state and device name.
class UpgradePage : public QWidget
{
    Q_OBJECT
public:
    explicit UpgradePage(QWidget *parent = nullptr);
    ~UpgradePage() override;

    // The upgrade this page starts and shows; `linkUp` tells whether the
    // instrument's link is open (the start button needs it).
    void attach(FirmwareUpgrade *upgrade, std::function<bool()> linkUp);
    // Warning boxes and the open dialog, replaceable so tests need no modal dialog.
    void setMessageBox(dialoghooks::MessageFn fn) { m_message = std::move(fn); }
    void setOpenFileDialog(dialoghooks::SaveFileFn fn) { m_openFile = std::move(fn); }

    // Opened from a menu entry or the readings page: the title, the return
    // glyph and an empty progress bar.
    void open(const QString &title);
    // The link's picture always; the log lines only when `log` (the page shows).
    void showLinkState(bool up, const QString &deviceName, bool log);
    void showDeviceName(const QString &name);
    void retranslate();

signals:
    void returnClicked();

private slots:
    void on_upgrade_btnReturn_clicked();
    void on_upgrade_pushButton_openfile_clicked();
    void on_upgrade_pushButton_start_clicked();

private:
    void prepareProgressBar();
    void warn(const QString &title, const QString &text);

    std::unique_ptr<Ui::UpgradePage> ui;
    FirmwareUpgrade *m_upgrade = nullptr;
    std::function<bool()> m_linkUp;
    dialoghooks::MessageFn m_message;
    dialoghooks::SaveFileFn m_openFile;
    QByteArray m_image;
};
