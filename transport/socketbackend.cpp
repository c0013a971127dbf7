#include "socketbackend.h"

#include "logging.h"
#include "threadhooks.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace hid {

namespace {

// The instrument sends its identity at once; a silent peer is not an instrument.
constexpr int IdentityTimeoutMs = 2000;

int connectTo(const QString &path)
{
    const QByteArray native = path.toLocal8Bit();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (native.isEmpty() || size_t(native.size()) >= sizeof(addr.sun_path))
        return -1;
    std::memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool readIdentity(int fd, const QString &path, DeviceInfo *info)
{
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, IdentityTimeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0)
        return false;
    std::vector<char> buffer(4096);
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0)
        return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(buffer.data(), int(n)), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    info->path = path;
    info->vendorId = static_cast<unsigned short>(o.value(QLatin1String("vendor_id")).toInt());
    info->productId = static_cast<unsigned short>(o.value(QLatin1String("product_id")).toInt());
    info->manufacturer = o.value(QLatin1String("manufacturer")).toString();
    info->product = o.value(QLatin1String("product")).toString();
    info->serialNumber = o.value(QLatin1String("serial")).toString();
    return true;
}

bool matches(const DeviceInfo &info, unsigned short vendorId, unsigned short productId)
{
    // As in hidapi, a zero id matches any.
    return (vendorId == 0 || info.vendorId == vendorId) &&
           (productId == 0 || info.productId == productId);
}

class SocketHandle : public Handle
{
public:
    SocketHandle(int fd, const DeviceInfo &info) : m_fd(fd), m_info(info)
    {
        m_reader = std::thread([this] {
            Logging::nameThisThread("usb-socket-read");
            drain();
        });
    }

    ~SocketHandle() override
    {
        // Wakes the reader's blocking recv with end of file.
        ::shutdown(m_fd, SHUT_RDWR);
        m_reader.join();
        ::close(m_fd);
    }

    int read(unsigned char *data, size_t length, int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto ready = [this] { return !m_queue.empty() || m_gone; };
        if (timeoutMs < 0)
            m_wake.wait(lock, ready);
        else if (timeoutMs > 0)
            m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        if (!m_queue.empty()) {
            const std::vector<unsigned char> report = std::move(m_queue.front());
            m_queue.pop_front();
            const size_t n = std::min(length, report.size());
            if (n)
                std::memcpy(data, report.data(), n);
            return int(n);
        }
        return m_gone ? -1 : 0;
    }

    int write(const unsigned char *data, size_t length) override
    {
        ssize_t n;
        do {
            n = ::send(m_fd, data, length, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n < 0 ? -1 : int(n);
    }

    QString manufacturer() override { return m_info.manufacturer; }
    QString product() override { return m_info.product; }
    QString serialNumber() override { return m_info.serialNumber; }

private:
    void drain()
    {
        ThreadHooks::runThreadStartHook();
        std::vector<unsigned char> buffer(1024);
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR)
                continue;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n <= 0) {
                m_gone = true;
                m_wake.notify_all();
                return;
            }
            // Like hidraw: a full queue drops the newest report.
            if (m_queue.size() < size_t(QueueLimit)) {
                m_queue.emplace_back(buffer.begin(),
                                     buffer.begin() + std::min<ssize_t>(n, ReportSize));
                m_wake.notify_all();
            }
        }
    }

    const int m_fd;
    const DeviceInfo m_info;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<unsigned char>> m_queue;
    bool m_gone = false;
    std::thread m_reader;
};

class SocketBackend : public Backend
{
public:
    explicit SocketBackend(const QString &path) : m_path(path) {}

    QList<DeviceInfo> enumerate(unsigned short vendorId, unsigned short productId) override
    {
        QList<DeviceInfo> result;
        const int fd = connectTo(m_path);
        if (fd < 0)
            return result;
        DeviceInfo info;
        if (readIdentity(fd, m_path, &info) && matches(info, vendorId, productId))
            result.append(info);
        ::close(fd);
        return result;
    }

    std::unique_ptr<Handle> open(unsigned short vendorId, unsigned short productId,
                                 const QString &serialNumber) override
    {
        const int fd = connectTo(m_path);
        if (fd < 0)
            return nullptr;
        DeviceInfo info;
        if (!readIdentity(fd, m_path, &info) || !matches(info, vendorId, productId) ||
            (!serialNumber.isEmpty() && serialNumber != info.serialNumber)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<SocketHandle>(fd, info);
    }

private:
    const QString m_path;
};

} // namespace

std::unique_ptr<Backend> makeSocketBackend(const QString &path)
{
    return std::make_unique<SocketBackend>(path);
}

} // namespace hid
