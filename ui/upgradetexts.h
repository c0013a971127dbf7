#pragma once

#include "firmwareupgrade.h"

#include <QObject>
#include <QString>

// What the upgrade page says about a FirmwareUpgrade: the log lines, the
// progress bar's format, the start button's text and the warning boxes, in
// the window's language.
class UpgradeTexts : public QObject
{
    Q_OBJECT
public:
    explicit UpgradeTexts(FirmwareUpgrade *upgrade, QObject *parent = nullptr);

    // The progress bar's text: 当前进度为：37.5%
    static QString progressFormat(const QString &percent);
    // The speed line for n bytes in the given whole seconds.
    static QString speedLine(qint64 bytes, qint64 seconds);
    // The warning box of a failed upgrade: title and text.
    static QPair<QString, QString> failureBox(FirmwareUpgrade::Outcome outcome);

signals:
    void logCleared();
    void logLine(const QString &line);
    // Bar value 0..100 and its text format (empty: leave the format alone).
    void progressChanged(int value, const QString &format);
    // enabled: the button may be pressed again; the window also needs an
    // open link and a loaded image.
    void startButtonChanged(const QString &text, bool enabled);
    // A modal warning box with one OK button.
    void warning(const QString &title, const QString &text);

private:
    void finished(FirmwareUpgrade::Outcome outcome);
};

#include "firmwareimage.h"

// What the upgrade page says about loading an image.
namespace ImageTexts {

struct Described
{
    QString sizeText; // the size label, only when loaded
    // On failure: the warning box to show and the line to log.
    QString boxTitle;
    QString boxText;
    QString logLine;
};
Described describe(const FirmwareImage::LoadResult &result);

// 固件大小:1024字节 up to 1024 bytes; 固件大小:1.0KB   1025字节 above.
QString sizeLabel(qint64 size);

// Texts of the open-file step, in the order the window uses them.
QString openingLogLine();  // "打开文件..."
QString dialogCaption();   // "打开固件文件"
QString dialogFilter();    // "BIN文件(*.bin)"
QString startButtonText(); // "开始下载"
QString loadedLogLine();   // "读取文件完成..."

} // namespace ImageTexts
