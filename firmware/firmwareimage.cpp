#include "firmwareimage.h"

#include <QFile>
#include <QFileInfo>

FirmwareImage::LoadResult FirmwareImage::load(const QString &path, qint64 maxSize)
{
    LoadResult result;
    result.path = QFileInfo(path).absoluteFilePath();

    const auto openFailed = [&result]() {
        result.status = Status::OpenFailed;
        result.boxTitle = QStringLiteral("error");
        result.boxText = tr("打开文件失败");
        result.logLine = tr("打开文件失败");
        result.data.clear();
        return result;
    };

    // Opening a named pipe would wait for a writer; a device has no size.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        openFailed();
        result.status = Status::NotRegular;
        return result;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return openFailed();

    const qint64 size = file.size();
    if (size > maxSize) {
        result.status = Status::TooLarge;
        result.boxTitle = tr("错误");
        result.boxText = tr("固件过大,请选择正确的固件");
        result.logLine = result.boxText;
        return result;
    }
    if (size == 0) {
        result.status = Status::Empty;
        result.boxTitle = tr("错误");
        result.boxText = tr("空的固件");
        result.logLine = tr("固件是空的");
        return result;
    }

    // Read one byte more than allowed: a file that grew after the size check,
    // or one that cannot be read whole, must not pass as a good image.
    result.data = file.read(maxSize + 1);
    if (result.data.size() != size || file.error() != QFileDevice::NoError)
        return openFailed();

    result.status = Status::Ok;
    result.sizeText = sizeLabel(size);
    return result;
}

QString FirmwareImage::sizeLabel(qint64 size)
{
    // The pieces stay Chinese in both languages.
    if (size > 1024) {
        return QStringLiteral("固件大小:") + QString::number(double(size) / 1024.0, 'f', 1) +
               QStringLiteral("KB   ") + QString::number(size) + QStringLiteral("字节");
    }
    return QStringLiteral("固件大小:") + QString::number(size) + QStringLiteral("字节");
}

QString FirmwareImage::openingLogLine()
{
    return tr("打开文件...");
}

QString FirmwareImage::dialogCaption()
{
    return tr("打开固件文件");
}

QString FirmwareImage::dialogFilter()
{
    return tr("BIN文件(*.bin)");
}

QString FirmwareImage::startButtonText()
{
    return QStringLiteral("开始下载");
}

QString FirmwareImage::loadedLogLine()
{
    return QStringLiteral("读取文件完成...");
}
