#include "hidapibackend.h"

#include <QMutex>
#include <hidapi/hidapi.h>
#include <vector>

namespace hid {

namespace {

QString fromWide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

// hidapi fills at most maxlen wide characters and terminates them; a buffer of
// 64 matches what the instrument's strings need.
template <typename Getter> QString readString(Getter getter)
{
    wchar_t buffer[65] = {};
    if (getter(buffer, 64) < 0)
        return QString();
    buffer[64] = L'\0';
    return QString::fromWCharArray(buffer);
}

// hidapi 0.13 keeps per-device state (its error text) that hid_read_timeout
// and hid_write both replace without a lock, so one hid_device must never be
// in two calls at once. The handle therefore holds two devices on the same
// hidraw node: one only reads (and answers the identity strings), the other
// only writes. hidraw gives each open its own report queue and sends a write
// from any open to the instrument, so a write can go out while another thread
// waits in a read, and nothing of either device is shared between the two.
// The writing device's queue is never read; the kernel drops its reports
// once 64 wait, as for any open nobody reads.
class HidapiHandle : public Handle
{
public:
    HidapiHandle(hid_device *reader, hid_device *writer) : m_device(reader), m_writer(writer) {}
    ~HidapiHandle() override
    {
        hid_close(m_writer);
        hid_close(m_device);
    }

    int read(unsigned char *data, size_t length, int timeoutMs) override
    {
        return hid_read_timeout(m_device, data, length, timeoutMs);
    }
    int write(const unsigned char *data, size_t length) override
    {
        QMutexLocker lock(&m_writeMutex);
        return hid_write(m_writer, data, length);
    }
    QString manufacturer() override
    {
        return readString(
            [this](wchar_t *b, size_t n) { return hid_get_manufacturer_string(m_device, b, n); });
    }
    QString product() override
    {
        return readString(
            [this](wchar_t *b, size_t n) { return hid_get_product_string(m_device, b, n); });
    }
    QString serialNumber() override
    {
        return readString(
            [this](wchar_t *b, size_t n) { return hid_get_serial_number_string(m_device, b, n); });
    }

private:
    hid_device *m_device;
    hid_device *m_writer;
    QMutex m_writeMutex;
};

class HidapiBackend : public Backend
{
public:
    HidapiBackend() { hid_init(); }
    ~HidapiBackend() override { hid_exit(); }

    QList<DeviceInfo> enumerate(unsigned short vendorId, unsigned short productId) override
    {
        // hidapi keeps one global error text that enumerate and open free
        // unguarded; the link thread and the window open devices concurrently.
        QMutexLocker lock(&m_mutex);
        QList<DeviceInfo> result;
        hid_device_info *list = hid_enumerate(vendorId, productId);
        for (hid_device_info *d = list; d; d = d->next) {
            DeviceInfo info;
            info.path = QString::fromLocal8Bit(d->path);
            info.vendorId = d->vendor_id;
            info.productId = d->product_id;
            info.serialNumber = fromWide(d->serial_number);
            info.manufacturer = fromWide(d->manufacturer_string);
            info.product = fromWide(d->product_string);
            result.append(info);
        }
        // The strings are copied above, so the library's list can go at once.
        hid_free_enumeration(list);
        return result;
    }

    std::unique_ptr<Handle> open(unsigned short vendorId, unsigned short productId,
                                 const QString &serialNumber) override
    {
        QMutexLocker lock(&m_mutex);
        hid_device *device = nullptr;
        if (serialNumber.isEmpty()) {
            device = hid_open(vendorId, productId, nullptr);
        } else {
            std::vector<wchar_t> serial(size_t(serialNumber.size()) * 2 + 1, L'\0');
            serialNumber.toWCharArray(serial.data());
            device = hid_open(vendorId, productId, serial.data());
        }
        if (!device)
            return nullptr;
        // The writing device opens the very node the reading one has.
        const hid_device_info *info = hid_get_device_info(device);
        hid_device *writer = info && info->path ? hid_open_path(info->path) : nullptr;
        if (!writer) {
            hid_close(device);
            return nullptr;
        }
        return std::make_unique<HidapiHandle>(device, writer);
    }

private:
    QMutex m_mutex;
};

} // namespace

std::unique_ptr<Backend> makeHidapiBackend()
{
    return std::make_unique<HidapiBackend>();
}

} // namespace hid
