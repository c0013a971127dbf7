#include "framesender.h"

#include "commandframe.h"
#include "hidbackend.h"

#include <QDebug>

int sendFrame(hid::Handle *handle, const QByteArray &frame)
{
    if (!handle)
        return -1;
    const QByteArray report = CommandFrame::toReport(frame);
    qDebug() << "send_data" << frame.size();
    const int res = handle->write(reinterpret_cast<const unsigned char *>(report.constData()),
                                  size_t(report.size()));
    qDebug() << "send_data res:" << res;
    return res;
}
