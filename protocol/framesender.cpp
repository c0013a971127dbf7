#include "framesender.h"

#include "commandframe.h"
#include "hidbackend.h"
#include "logging.h"
#include "protocollog.h"

Q_LOGGING_CATEGORY(lcProtocol, "usbtester.protocol")

int sendFrame(hid::Handle *handle, const QByteArray &frame)
{
    if (!handle)
        return -1;
    const QByteArray report = CommandFrame::toReport(frame);
    qCDebug(lcLinkBytes) << "send_data" << frame.size();
    const int res = handle->write(reinterpret_cast<const unsigned char *>(report.constData()),
                                  size_t(report.size()));
    qCDebug(lcLinkBytes) << "send_data res:" << res;
    return res;
}
