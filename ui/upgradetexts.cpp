#include "upgradetexts.h"

#include <QCoreApplication>

// The texts keep the contexts "FirmwareUpgrade" and "FirmwareImage" they were
// first translated in. Context and text are written out at each call, as
// lupdate only collects literals: behind a wrapper taking a const char * they
// would turn obsolete in the .ts files.

namespace {

// Shown while the upgrade runs.
QString downloadingText()
{
    return QCoreApplication::translate("FirmwareUpgrade", "正在下载");
}

} // namespace

UpgradeTexts::UpgradeTexts(FirmwareUpgrade *upgrade, QObject *parent) : QObject(parent)
{
    using U = FirmwareUpgrade;
    connect(upgrade, &U::started, this,
            [this] { emit startButtonChanged(downloadingText(), false); });
    connect(upgrade, &U::handshakeSent, this, [this] {
        emit startButtonChanged(downloadingText(), false);
        emit logCleared();
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "开始连接设备..."));
    });
    connect(upgrade, &U::transferStarted, this, [this] {
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "握手成功..."));
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "开始传输固件..."));
    });
    connect(upgrade, &U::progressChanged, this, [this](int value, const QString &percent) {
        emit progressChanged(value, percent.isEmpty() ? QString() : progressFormat(percent));
    });
    connect(upgrade, &U::transferComplete, this, [this](qint64 bytes, qint64 seconds) {
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "传输完成..."));
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "传输耗时%1秒").arg(seconds));
        emit logLine(speedLine(bytes, seconds));
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "请等待设备烧写完成..."));
    });
    connect(upgrade, &U::burnComplete, this, [this](qint64 seconds) {
        emit logLine(
            QCoreApplication::translate("FirmwareUpgrade", "下载烧写过程耗时%1秒").arg(seconds));
        emit progressChanged(100, progressFormat(QStringLiteral("100.0")));
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "烧写完成..."));
        emit logLine(QCoreApplication::translate("FirmwareUpgrade", "本次下载结束"));
        // Stays disabled until an image is loaded again.
        emit startButtonChanged(QCoreApplication::translate("FirmwareUpgrade", "开始下载"), false);
    });
    connect(upgrade, &U::finished, this, &UpgradeTexts::finished);
}

QString UpgradeTexts::progressFormat(const QString &percent)
{
    return QCoreApplication::translate("FirmwareUpgrade", "当前进度为：%1%").arg(percent);
}

QString UpgradeTexts::speedLine(qint64 bytes, qint64 seconds)
{
    // Within one second there is no rate to divide out: show the bytes instead.
    if (seconds <= 0)
        return QCoreApplication::translate("FirmwareUpgrade", "%1字节/<1秒").arg(bytes);
    const qint64 speed = bytes / seconds;
    if (speed <= 1024)
        return QCoreApplication::translate("FirmwareUpgrade", "%1字节/秒").arg(speed);
    return QCoreApplication::translate("FirmwareUpgrade", "%1KB/秒")
        .arg(QString::number(double(speed) / 1024.0, 'f', 2));
}

QPair<QString, QString> UpgradeTexts::failureBox(FirmwareUpgrade::Outcome outcome)
{
    using O = FirmwareUpgrade::Outcome;
    switch (outcome) {
    case O::Failed:
        return {QStringLiteral("error"),
                QCoreApplication::translate("FirmwareUpgrade", "更新失败")};
    case O::TimedOut:
        return {QCoreApplication::translate("FirmwareUpgrade", "错误"),
                QCoreApplication::translate("FirmwareUpgrade", "USB更新失败,超时")};
    case O::SendError:
        return {QCoreApplication::translate("FirmwareUpgrade", "错误"),
                QCoreApplication::translate("FirmwareUpgrade", "USB发送数据异常")};
    case O::EndedEarly:
        return {QCoreApplication::translate("FirmwareUpgrade", "错误"),
                QCoreApplication::translate("FirmwareUpgrade", "设备提前结束了升级")};
    case O::Done:
    case O::None:
        break;
    }
    return {};
}

void UpgradeTexts::finished(FirmwareUpgrade::Outcome outcome)
{
    const QPair<QString, QString> box = failureBox(outcome);
    if (box.second.isEmpty())
        return;
    // The page is ready for another try with the same image before the box
    // asks for attention.
    emit logLine(box.second);
    emit startButtonChanged(QCoreApplication::translate("FirmwareUpgrade", "开始下载"), true);
    emit warning(box.first, box.second);
}

namespace ImageTexts {

Described describe(const FirmwareImage::LoadResult &result)
{
    using S = FirmwareImage::Status;
    Described d;
    switch (result.status) {
    case S::Ok:
        d.sizeText = sizeLabel(result.data.size());
        break;
    case S::OpenFailed:
    case S::NotRegular:
        d.boxTitle = QStringLiteral("error");
        d.boxText = QCoreApplication::translate("FirmwareImage", "打开文件失败");
        d.logLine = QCoreApplication::translate("FirmwareImage", "打开文件失败");
        break;
    case S::TooLarge:
        d.boxTitle = QCoreApplication::translate("FirmwareImage", "错误");
        d.boxText = QCoreApplication::translate("FirmwareImage", "固件过大,请选择正确的固件");
        d.logLine = d.boxText;
        break;
    case S::Empty:
        d.boxTitle = QCoreApplication::translate("FirmwareImage", "错误");
        d.boxText = QCoreApplication::translate("FirmwareImage", "空的固件");
        d.logLine = QCoreApplication::translate("FirmwareImage", "固件是空的");
        break;
    }
    return d;
}

QString sizeLabel(qint64 size)
{
    if (size > 1024)
        return QCoreApplication::translate("FirmwareImage", "固件大小:%1KB   %2字节")
            .arg(QString::number(double(size) / 1024.0, 'f', 1))
            .arg(size);
    return QCoreApplication::translate("FirmwareImage", "固件大小:%1字节").arg(size);
}

QString openingLogLine()
{
    return QCoreApplication::translate("FirmwareImage", "打开文件...");
}

QString dialogCaption()
{
    return QCoreApplication::translate("FirmwareImage", "打开固件文件");
}

QString dialogFilter()
{
    return QCoreApplication::translate("FirmwareImage", "BIN文件(*.bin)");
}

QString startButtonText()
{
    return QCoreApplication::translate("FirmwareUpgrade", "开始下载");
}

QString loadedLogLine()
{
    return QCoreApplication::translate("FirmwareImage", "读取文件完成...");
}

} // namespace ImageTexts
