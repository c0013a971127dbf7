#include "firmwareimage.h"

#include <QFile>
#include <QFileInfo>

FirmwareImage::LoadResult FirmwareImage::load(const QString &path, qint64 maxSize)
{
    LoadResult result;
    result.path = QFileInfo(path).absoluteFilePath();

    const auto openFailed = [&result]() {
        result.status = Status::OpenFailed;
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
        return result;
    }
    if (size == 0) {
        result.status = Status::Empty;
        return result;
    }

    // Read one byte more than allowed: a file that grew after the size check,
    // or one that cannot be read whole, must not pass as a good image.
    result.data = file.read(maxSize + 1);
    if (result.data.size() != size || file.error() != QFileDevice::NoError)
        return openFailed();

    result.status = Status::Ok;
    return result;
}
