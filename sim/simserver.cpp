#include "simserver.h"

#include "logging.h"
#include "threadhooks.h"

#include <QElapsedTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool sockaddrFor(const QString &path, sockaddr_un *addr)
{
    const QByteArray native = path.toLocal8Bit();
    *addr = sockaddr_un{};
    addr->sun_family = AF_UNIX;
    if (native.isEmpty() || size_t(native.size()) >= sizeof(addr->sun_path))
        return false;
    std::memcpy(addr->sun_path, native.constData(), size_t(native.size()));
    return true;
}

} // namespace

SimServer::SimServer(const SimSetup &setup, double speed) : m_instrument(setup), m_speed(speed)
{
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

SimServer::~SimServer()
{
    close();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

QString SimServer::path() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

bool SimServer::bindLocked(QString *error)
{
    sockaddr_un addr;
    if (!sockaddrFor(m_path, &addr)) {
        if (error)
            *error = QStringLiteral("socket path too long or empty: %1").arg(m_path);
        return false;
    }
    // A socket file left by an earlier run (or by unplugging) is replaced.
    ::unlink(addr.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 16) != 0) {
        if (error)
            *error = QStringLiteral("cannot listen on %1: %2")
                         .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_listenFd = fd;
    ++m_generation;
    return true;
}

bool SimServer::listen(const QString &path, QString *error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable()) {
        if (error)
            *error = QStringLiteral("already listening");
        return false;
    }
    m_path = path;
    if (!bindLocked(error))
        return false;
    m_plugged = true;
    m_stop = false;
    m_thread = std::thread([this] {
        Logging::nameThisThread("sim-server");
        loop();
    });
    return true;
}

void SimServer::close()
{
    if (m_thread.joinable()) {
        m_stop = true;
        wake();
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    closeClientsLocked();
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    sockaddr_un addr;
    if (!m_path.isEmpty() && sockaddrFor(m_path, &addr))
        ::unlink(addr.sun_path);
    m_path.clear();
}

void SimServer::hangUpNewest()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_clients.empty())
        return;
    ::close(m_clients.back().fd);
    m_clients.pop_back();
    ++m_generation;
    wake();
}

void SimServer::closeClientsLocked()
{
    for (Client &c : m_clients)
        ::close(c.fd);
    m_clients.clear();
    ++m_generation;
}

void SimServer::wake()
{
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    }
}

void SimServer::unplug()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_plugged)
        return;
    m_plugged = false;
    closeClientsLocked();
    // Without a listener a connect is refused: no instrument.
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    m_pending.clear();
    wake();
}

void SimServer::replug()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_plugged || m_path.isEmpty())
        return;
    if (bindLocked(nullptr))
        m_plugged = true;
    wake();
}

bool SimServer::isPlugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged;
}

void SimServer::setReplyDelay(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replyDelayMs = qMax(0, ms);
}

void SimServer::setDropReplies(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dropReplies = count;
}

void SimServer::failWrites()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Shutting our reading side makes the peer's sends fail with EPIPE.
    for (Client &c : m_clients) {
        if (!c.writesFailed) {
            ::shutdown(c.fd, SHUT_RD);
            c.writesFailed = true;
        }
    }
    ++m_generation;
    wake();
}

void SimServer::advanceClock(qint64 ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    runClockLocked(ms);
    flushLocked();
}

qint64 SimServer::clockMs() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_instrument.nowMs();
}

void SimServer::setSpeed(double factor)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_speed = qMax(0.0, factor);
}

int SimServer::connectionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_clients.size());
}

int SimServer::reportsReceived() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reportsReceived;
}

QList<QByteArray> SimServer::receivedReports() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void SimServer::setUpgradeTarget(SimUpgradeTarget *target)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_instrument.setUpgradeTarget(target);
}

void SimServer::withInstrument(const std::function<void(SimInstrument &)> &fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    fn(m_instrument);
    flushLocked();
}

void SimServer::runClockLocked(qint64 ms)
{
    if (ms > 0)
        scheduleLocked(m_instrument.advance(ms));
}

void SimServer::scheduleLocked(const QList<QByteArray> &replies)
{
    for (const QByteArray &r : replies) {
        if (m_dropReplies != 0) {
            if (m_dropReplies > 0)
                --m_dropReplies;
            continue;
        }
        m_pending.push_back({m_instrument.nowMs() + m_replyDelayMs, r});
    }
}

void SimServer::flushLocked()
{
    const qint64 now = m_instrument.nowMs();
    std::vector<Pending> later;
    for (const Pending &p : m_pending) {
        if (p.dueMs > now) {
            later.push_back(p);
            continue;
        }
        for (const Client &c : m_clients) {
            // A peer that does not read loses the report, as a full hidraw queue does.
            [[maybe_unused]] const ssize_t n = ::send(
                c.fd, p.report.constData(), size_t(p.report.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        }
    }
    m_pending.swap(later);
}

void SimServer::acceptLocked()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const QByteArray id = m_instrument.identity();
        if (::send(fd, id.constData(), size_t(id.size()), MSG_NOSIGNAL) != id.size()) {
            ::close(fd);
            continue;
        }
        m_clients.push_back({fd, false});
    }
}

void SimServer::readClientLocked(Client &c, bool *closed)
{
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *closed = true;
            return;
        }
        ++m_reportsReceived;
        const QByteArray report(buffer, int(n));
        m_received.append(report);
        if (m_received.size() > ReceivedKept)
            m_received.removeFirst();
        scheduleLocked(m_instrument.receive(report));
    }
}

void SimServer::loop()
{
    ThreadHooks::runThreadStartHook();
    QElapsedTimer real;
    real.start();
    std::vector<pollfd> fds;
    for (;;) {
        unsigned generation;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            fds.clear();
            fds.push_back({m_wakeFd, POLLIN, 0});
            fds.push_back({m_listenFd, short(m_listenFd >= 0 ? POLLIN : 0), 0});
            for (const Client &c : m_clients)
                // A connection whose reading side is shut only waits for hang-up.
                fds.push_back({c.fd, short(c.writesFailed ? 0 : POLLIN), 0});
            generation = m_generation;
        }
        if (m_stop)
            return;
        ::poll(fds.data(), nfds_t(fds.size()), TickMs);
        if (m_stop)
            return;

        std::lock_guard<std::mutex> lock(m_mutex);
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &v, sizeof v);
        }
        const qint64 elapsed = real.restart();
        m_clockCarry += double(elapsed) * m_speed;
        const qint64 whole = qint64(m_clockCarry);
        m_clockCarry -= double(whole);
        runClockLocked(whole);

        if (generation == m_generation) {
            if (m_listenFd >= 0 && (fds[1].revents & POLLIN))
                acceptLocked();
            std::vector<Client> kept;
            for (size_t i = 0; i + 2 < fds.size() && i < m_clients.size(); ++i) {
                Client &c = m_clients[i];
                bool closed = (fds[i + 2].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
                if (!closed && (fds[i + 2].revents & POLLIN))
                    readClientLocked(c, &closed);
                if (closed)
                    ::close(c.fd);
                else
                    kept.push_back(c);
            }
            // Connections accepted just now were not polled yet.
            for (size_t i = fds.size() - 2; i < m_clients.size(); ++i)
                kept.push_back(m_clients[i]);
            m_clients.swap(kept);
        }
        flushLocked();
    }
}
