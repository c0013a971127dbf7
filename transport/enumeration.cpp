#include "enumeration.h"

#include "hidbackend.h"
#include "logging.h"

Enumeration enumerateInstruments(unsigned short vendorId, unsigned short productId)
{
    Enumeration result;
    // The backend hands back copies, so nothing of the library's list is kept.
    const QList<hid::DeviceInfo> devices = hid::backend().enumerate(vendorId, productId);
    for (const hid::DeviceInfo &d : devices) {
        if (d.vendorId != vendorId || d.productId != productId)
            continue;
        result.serials = QStringList{d.serialNumber};
        ++result.count;
        qCDebug(lcLink) << "tick1:" << result.count;
    }
    qCDebug(lcLink) << "tick2:" << result.count;
    return result;
}
