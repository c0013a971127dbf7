#pragma once

#include <QList>
#include <QString>
#include <cstddef>
#include <memory>

// The one seam between the program and an instrument. It mirrors the hidapi
// calls the program makes, so a real device (hidapi, hidraw on Linux) and a
// virtual one (a Unix socket) behave the same to every caller:
//  - every open handle receives its own copy of every input report, in order;
//  - a handle queues at most 64 reports and drops new ones while full;
//  - read gives 64 for a report, 0 when none came before the timeout,
//    -1 once the instrument is gone; write gives the bytes written or -1;
//  - one thread may write on a handle while another waits in its read, so a
//    report goes out at once; two reads, or two writes, never overlap, and the
//    identity strings are asked before a second thread uses the handle.
namespace hid {

constexpr int ReportSize = 64;
constexpr int QueueLimit = 64;
constexpr unsigned short InstrumentVendorId = 0x0483;
constexpr unsigned short InstrumentProductId = 0x5750;

struct DeviceInfo
{
    QString path;
    unsigned short vendorId = 0;
    unsigned short productId = 0;
    QString serialNumber;
    QString manufacturer;
    QString product;
};

class Handle
{
public:
    virtual ~Handle() = default;
    // timeoutMs 0 returns at once; -1 waits until a report comes or the device goes.
    virtual int read(unsigned char *data, size_t length, int timeoutMs) = 0;
    virtual int write(const unsigned char *data, size_t length) = 0;
    virtual QString manufacturer() = 0;
    virtual QString product() = 0;
    virtual QString serialNumber() = 0;
};

class Backend
{
public:
    virtual ~Backend() = default;
    virtual QList<DeviceInfo> enumerate(unsigned short vendorId, unsigned short productId) = 0;
    // An empty serial number opens the first matching device. Null when none opens.
    virtual std::unique_ptr<Handle> open(unsigned short vendorId, unsigned short productId,
                                         const QString &serialNumber = QString()) = 0;
};

// The backend every part of the program uses, chosen once at start-up from
// the command line. Until one is set it is the hidapi backend.
Backend &backend();
void setBackend(std::unique_ptr<Backend> backend);

} // namespace hid
