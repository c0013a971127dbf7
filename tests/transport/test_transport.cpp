// The link thread, the connection lifecycle and the socket backend against a
// simulated instrument on a private socket, as behind --device socket:PATH.
#include "devicelink.h"
#include "hidbackend.h"
#include "setting.h"
#include "simserver.h"
#include "socketbackend.h"
#include "usbthread.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

struct Sim
{
    Sim() : server(std::make_unique<SimServer>(SimSetup(), 1.0))
    {
        QString error;
        if (!server->listen(dir.filePath(QStringLiteral("i.sock")), &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(dir.filePath(QStringLiteral("i.sock"))));
    }
    ~Sim()
    {
        hid::setBackend(nullptr);
        server.reset();
    }
    QTemporaryDir dir;
    std::unique_ptr<SimServer> server;
};

QByteArray report(const char *hex)
{
    return QByteArray::fromHex(hex).leftJustified(hid::ReportSize, '\0');
}
QByteArray probe()
{
    return report("5505010400000000eeff");
}
const QByteArray ProbeAnswer("aa05010401000000eeff");

int write(hid::Handle *h, const QByteArray &r)
{
    return h->write(reinterpret_cast<const unsigned char *>(r.constData()), size_t(r.size()));
}
QByteArray read(hid::Handle *h, int timeoutMs = 2000)
{
    unsigned char buffer[hid::ReportSize];
    const int n = h->read(buffer, sizeof buffer, timeoutMs);
    return n > 0 ? QByteArray(reinterpret_cast<const char *>(buffer), n) : QByteArray();
}
std::unique_ptr<hid::Handle> open()
{
    return hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
}

// An instrument that never answers: a read holds until the test lets it go,
// whatever its timeout, and every write is kept.
class SilentHandle : public hid::Handle
{
public:
    int read(unsigned char *, size_t, int) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_reading = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
        m_reading = false;
        return 0;
    }
    int write(const unsigned char *data, size_t length) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_written.append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        return int(length);
    }
    QString manufacturer() override { return {}; }
    QString product() override { return QStringLiteral("silent"); }
    QString serialNumber() override { return {}; }

    bool waitUntilReading()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_reading; });
    }
    bool reading()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reading;
    }
    QList<QByteArray> written()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_written;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reading = false;
    bool m_released = false;
    QList<QByteArray> m_written;
};

class SilentBackend : public hid::Backend
{
public:
    QList<hid::DeviceInfo> enumerate(unsigned short, unsigned short) override { return {}; }
    std::unique_ptr<hid::Handle> open(unsigned short, unsigned short, const QString &) override
    {
        auto h = std::make_unique<SilentHandle>();
        handle = h.get();
        return h;
    }
    SilentHandle *handle = nullptr;
};

// A backend whose handles the test steers: a read can be held until the test
// lets it go, writes can fail or come out short, and every write is kept.
struct StagedHandle : hid::Handle
{
    QSemaphore inRead, release;
    std::atomic<bool> holdReads{false};
    std::atomic<int> heldReadResult{0};
    std::atomic<int> writeResult{hid::ReportSize};
    QMutex mutex;
    QList<QByteArray> written;

    int read(unsigned char *, size_t, int timeoutMs) override
    {
        if (holdReads) {
            inRead.release();
            release.tryAcquire(1, 5000);
            holdReads = false;
            return heldReadResult;
        }
        QThread::msleep(ulong(qBound(0, timeoutMs, 5)));
        return 0;
    }
    int write(const unsigned char *data, size_t length) override
    {
        QMutexLocker lock(&mutex);
        written.append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        return writeResult;
    }
    int writes()
    {
        QMutexLocker lock(&mutex);
        return written.size();
    }
    QString manufacturer() override { return {}; }
    QString product() override { return QStringLiteral("KV37 V1.0.0"); }
    QString serialNumber() override { return QStringLiteral("1"); }
};

// Keeps every handle it opened alive, so a test can look at one after the
// link has let it go; the link gets a stand-in that forwards to it.
struct StagedBackend : hid::Backend
{
    struct Forward : hid::Handle
    {
        explicit Forward(StagedHandle *h) : h(h) {}
        int read(unsigned char *d, size_t n, int t) override { return h->read(d, n, t); }
        int write(const unsigned char *d, size_t n) override { return h->write(d, n); }
        QString manufacturer() override { return h->manufacturer(); }
        QString product() override { return h->product(); }
        QString serialNumber() override { return h->serialNumber(); }
        StagedHandle *h;
    };

    bool holdFirstReads = false;

    QList<hid::DeviceInfo> enumerate(unsigned short, unsigned short) override { return {}; }
    std::unique_ptr<hid::Handle> open(unsigned short, unsigned short, const QString &) override
    {
        QMutexLocker lock(&mutex);
        m_opened.push_back(std::make_unique<StagedHandle>());
        m_opened.back()->holdReads = holdFirstReads && m_opened.size() == 1;
        return std::make_unique<Forward>(m_opened.back().get());
    }
    QList<StagedHandle *> opened()
    {
        QMutexLocker lock(&mutex);
        QList<StagedHandle *> out;
        for (const auto &h : m_opened)
            out.append(h.get());
        return out;
    }

private:
    QMutex mutex;
    std::vector<std::unique_ptr<StagedHandle>> m_opened;
};

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT
    QTemporaryDir m_cwd;

private slots:
    void initTestCase() { QVERIFY(m_cwd.isValid() && QDir::setCurrent(m_cwd.path())); }

    void plugInConnectsOnceWithProductString()
    {
        Sim sim;
        sim.server->unplug();
        USBThread t;
        QSignalSpy connects(&t, &USBThread::usb_connect);
        QSignalSpy errors(&t, &USBThread::usb_send_error);
        QVERIFY(!t.open());
        t.start();
        t.write(QByteArray(10, '\x01')); // written while closed: nothing, now or later
        QTest::qWait(700);
        QCOMPARE(connects.count(), 0);
        QElapsedTimer since;
        sim.server->replug();
        since.start();
        QTRY_VERIFY_WITH_TIMEOUT(connects.count() > 0, 3000);
        // Retries are 500 ms apart; allow for a loaded machine.
        QVERIFY2(since.elapsed() < 1500, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(connects.count(), 1);
        QCOMPARE(connects[0][0].toString(), QStringLiteral("KV37 V1.0.0"));
        QTest::qWait(200);
        QCOMPARE(sim.server->reportsReceived(), 0);
        QCOMPARE(errors.count(), 0);
        t.stop();
        QVERIFY(t.wait(2000));
    }
    void unplugOnceReplugWithNewMainHandle()
    {
        Sim sim;
        DeviceLink link;
        QSignalSpy connects(link.usbThread(), &USBThread::usb_connect);
        QSignalSpy losses(link.usbThread(), &USBThread::usb_disconnect);
        QSignalSpy opened(&link, &DeviceLink::mainHandleOpened);
        link.start();
        QCOMPARE(opened.count(), 1);
        sim.server->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(losses.count() > 0, 2000);
        QTest::qWait(1200); // retries while absent must not report again
        QCOMPARE(losses.count(), 1);
        unsigned char buffer[64];
        QCOMPARE(link.mainHandle()->read(buffer, 64, 0), -1); // the stale handle fails
        sim.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 2, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 2, 3000);
        QCOMPARE(losses.count(), 1);
        QCOMPARE(write(link.mainHandle(), probe()), 64);
        QCOMPARE(read(link.mainHandle()).left(10).toHex(), ProbeAnswer);
    }
    void writeSendsHeaderAndFirst63Bytes()
    {
        Sim sim;
        USBThread t;
        QSignalSpy errors(&t, &USBThread::usb_send_error);
        QVERIFY(t.open());
        t.start();
        QByteArray data;
        for (int i = 1; i <= 64; ++i)
            data += char(i);
        t.write(data);
        QTRY_COMPARE_WITH_TIMEOUT(sim.server->receivedReports().size(), 1, 2000);
        QCOMPARE(sim.server->receivedReports().first(), QByteArray(1, char(0x55)) + data.left(63));
        // Short data is padded with zeros.
        t.write(reinterpret_cast<const unsigned char *>("\x05\x09"), 2);
        QTRY_COMPARE_WITH_TIMEOUT(sim.server->receivedReports().size(), 2, 2000);
        QCOMPARE(sim.server->receivedReports().last(),
                 QByteArray("\x55\x05\x09", 3) + QByteArray(61, '\0'));
        QCOMPARE(errors.count(), 0);
        // A failed write is reported once and is the loss of the instrument;
        // the link comes back on a new connection (the old one keeps failing).
        QSignalSpy losses(&t, &USBThread::usb_disconnect);
        QSignalSpy connects(&t, &USBThread::usb_connect);
        sim.server->failWrites();
        t.write(QByteArray(58, '\x11'));
        QTRY_VERIFY_WITH_TIMEOUT(errors.count() > 0, 2000);
        QCOMPARE(errors.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(losses.count(), 1, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 1, 3000);
        QVERIFY(t.isLinkOpen());
        t.write(QByteArray(58, '\x12'));
        QTRY_COMPARE_WITH_TIMEOUT(sim.server->receivedReports().last().at(1), '\x12', 2000);
        QCOMPARE(errors.count(), 1);
        t.stop();
        QVERIFY(t.wait(2000));
    }
    void writeGoesOutWhileTheLoopWaitsInItsRead()
    {
        auto backend = std::make_unique<SilentBackend>();
        SilentBackend *silent = backend.get();
        hid::setBackend(std::move(backend));
        {
            USBThread t;
            QSignalSpy errors(&t, &USBThread::usb_send_error);
            QVERIFY(t.open());
            t.start();
            QVERIFY(silent->handle->waitUntilReading());
            // Lets the loop go on however the test ends, so the thread can stop.
            const std::unique_ptr<SilentHandle, void (*)(SilentHandle *)> letGo(
                silent->handle, [](SilentHandle *h) { h->release(); });
            t.write(QByteArray("\xcc\x40\x07\x00", 4));
            QCOMPARE(silent->handle->written(),
                     QList<QByteArray>{QByteArray("\x55\xcc\x40\x07", 4) + QByteArray(60, '\0')});
            QVERIFY(silent->handle->reading()); // the read still holds
            silent->handle->release();
            t.stop();
            QVERIFY(t.wait(2000));
            QCOMPARE(errors.count(), 0);
        }
        hid::setBackend(nullptr);
    }
    // Reports meant for a lost instrument never reach the next connection:
    // writes go out at once, and those queued by the old between-reads link
    // (kept as the benchmarks' baseline) die with the link. A refused write
    // is the loss too; a short one is a send error.
    void queuedWritesDieWithTheLink()
    {
        auto owned = std::make_unique<StagedBackend>();
        StagedBackend *backend = owned.get();
        backend->holdFirstReads = true;
        hid::setBackend(std::move(owned));
        {
            qputenv(USBThread::WritesBetweenReadsVariable, "1");
            USBThread t;
            qunsetenv(USBThread::WritesBetweenReadsVariable);
            QVERIFY(t.writesBetweenReads());
            QSignalSpy losses(&t, &USBThread::usb_disconnect);
            QSignalSpy connects(&t, &USBThread::usb_connect);
            QVERIFY(t.open());
            t.start();
            StagedHandle *first = backend->opened().at(0);
            QVERIFY(first->inRead.tryAcquire(1, 2000)); // the thread sits in its read
            for (char c : {'\x01', '\x02', '\x03'})
                t.write(QByteArray(58, c));
            first->heldReadResult = -1; // and the instrument goes meanwhile
            first->release.release();
            QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 2, 3000); // open() made the first
            QCOMPARE(losses.count(), 1);
            QTest::qWait(100);
            QCOMPARE(first->writes() + backend->opened().at(1)->writes(), 0);
            t.stop();
            QVERIFY(t.wait(2000));
        }
        {
            USBThread t;
            QVERIFY(!t.writesBetweenReads());
            QSignalSpy errors(&t, &USBThread::usb_send_error);
            QSignalSpy losses(&t, &USBThread::usb_disconnect);
            QSignalSpy connects(&t, &USBThread::usb_connect);
            QVERIFY(t.open());
            t.start();
            StagedHandle *second = backend->opened().last();
            second->writeResult = -1;
            t.write(QByteArray(58, '\x04'));
            t.write(QByteArray(58, '\x05'));
            QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 2, 3000);
            QCOMPARE(losses.count(), 1);
            QCOMPARE(errors.count(), 1);
            QCOMPARE(second->writes(), 1); // the first was refused, the other never sent
            StagedHandle *third = backend->opened().last();
            QVERIFY(third != second);
            QTest::qWait(100);
            QCOMPARE(third->writes(), 0);

            third->writeResult = 10; // cut short: reported, and the link stays
            t.write(QByteArray(58, '\x06'));
            QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, 2000);
            QTest::qWait(100);
            QCOMPARE(losses.count(), 1);
            QVERIFY(t.isLinkOpen());
            t.stop();
            QVERIFY(t.wait(2000));
        }
        hid::setBackend(nullptr);
    }
    // The window's own handle failing alone (closed by the instrument, or its
    // writes refused) is the loss of the instrument too: one linkLost, then the
    // usual reconnection with a new main handle that works.
    void mainHandleFailureIsLoss()
    {
        Sim sim;
        DeviceLink link;
        QSignalSpy lost(&link, &DeviceLink::linkLost);
        QSignalSpy opened(&link, &DeviceLink::mainHandleOpened);
        link.start();
        QCOMPARE(opened.count(), 1);
        for (int round = 1; round <= 2; ++round) {
            if (round == 1)
                sim.server->hangUpNewest(); // the main handle was opened last
            else
                sim.server->failWrites();
            hid::Handle *h = link.mainHandle();
            QTest::qWait(100);
            unsigned char buffer[64];
            if (round == 1)
                QCOMPARE(h->read(buffer, sizeof buffer, 0), -1);
            else
                QVERIFY(write(h, probe()) < 0);
            QTRY_COMPARE_WITH_TIMEOUT(lost.count(), round, 2000);
            QTRY_COMPARE_WITH_TIMEOUT(opened.count(), round + 1, 3000);
            QTest::qWait(700);
            QCOMPARE(lost.count(), round); // once per failure, not once per failed call
            QCOMPARE(write(link.mainHandle(), probe()), 64);
            QCOMPARE(read(link.mainHandle()).left(10).toHex(), ProbeAnswer);
        }
    }
    void reportIdKey()
    {
        const SettingsAccess file{
            [](const QString &k) { return Setting().read(k); },
            [](const QString &k, const QString &v) { Setting().write(k, v); }};
        {
            USBThread t(nullptr, file);
            QCOMPARE(Setting().read(QStringLiteral("report_id")), QStringLiteral("85"));
            QCOMPARE(t.reportId(), 85);
        }
        Setting().write(QStringLiteral("report_id"), QStringLiteral("12"));
        USBThread t(nullptr, file);
        QCOMPARE(t.reportId(), 12);
        QCOMPARE(Setting().read(QStringLiteral("report_id")), QStringLiteral("12"));
    }
    void stopReturnsPromptlyOpenOrClosed()
    {
        Sim sim;
        for (bool present : {true, false}) {
            if (!present)
                sim.server->unplug();
            USBThread t;
            QCOMPARE(t.open(), present);
            t.start();
            QTest::qWait(100);
            t.stop();
            QVERIFY(t.wait(1000));
        }
    }
    void scanPacing()
    {
        DeviceLink link;
        QElapsedTimer clock;
        // Stamped on the pacing thread itself, so a busy receiver cannot skew them.
        QMutex mutex;
        QList<QPair<QString, qint64>> events;
        QList<int> addresses;
        auto stamp = [&](const QString &what, int address = 0) {
            QMutexLocker lock(&mutex);
            events << qMakePair(what, clock.elapsed());
            if (address)
                addresses << address;
        };
        my_thread *scan = link.scanWorker();
        connect(
            scan, &my_thread::ThreadSendData_Signal, this,
            [&](qint16 a) { stamp(QStringLiteral("probe"), a); }, Qt::DirectConnection);
        connect(
            scan, &my_thread::ThreadRecvData_Signal, this, [&] { stamp(QStringLiteral("read")); },
            Qt::DirectConnection);
        connect(
            scan, &my_thread::ThreadShowData_Signal, this, [&] { stamp(QStringLiteral("show")); },
            Qt::DirectConnection);
        clock.start();
        QVERIFY(link.startScan());
        QVERIFY(!link.startScan()); // a second start while it runs does nothing
        QVERIFY(scan->wait(8000));
        QCOMPARE(addresses, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QCOMPARE(events.size(), 21);
        QVERIFY2(events[0].second >= 990, qPrintable(QString::number(events[0].second)));
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(events[2 * i].first, QStringLiteral("probe"));
            QCOMPARE(events[2 * i + 1].first, QStringLiteral("read"));
            const qint64 gap = events[2 * i + 1].second - events[2 * i].second;
            QVERIFY2(gap >= 140 && gap < 600, qPrintable(QString::number(gap)));
        }
        QCOMPARE(events.last().first, QStringLiteral("show"));
    }
    void everyHandleGetsEveryReportInOrder()
    {
        Sim sim;
        auto a = open(), b = open();
        QVERIFY(a && b);
        QCOMPARE(write(a.get(), probe()), hid::ReportSize);
        QCOMPARE(write(a.get(), report("550501030b008ceeff")), hid::ReportSize);
        for (hid::Handle *h : {a.get(), b.get()}) {
            const QByteArray first = read(h);
            QCOMPARE(first.size(), hid::ReportSize);
            QCOMPARE(first.left(10).toHex(), ProbeAnswer);
            QCOMPARE(quint8(read(h)[3]), quint8(0x03));
        }
        unsigned char buffer[64];
        QCOMPARE(a->read(buffer, sizeof buffer, 20), 0); // nothing more waits
    }
    void fullQueueDropsNewReports()
    {
        Sim sim;
        auto reader = open(), writer = open();
        for (int i = 0; i < hid::QueueLimit + 16; ++i) {
            // Two kinds of reply, so the survivors show which were kept.
            const QByteArray r = i < hid::QueueLimit ? probe() : report("550501050b008ceeff");
            QCOMPARE(write(writer.get(), r), hid::ReportSize);
            while (sim.server->reportsReceived() <
                   i + 1) // each reply lands before the next request
                QThread::msleep(1);
        }
        QTest::qWait(200);
        int count = 0;
        for (QByteArray r = read(reader.get(), 50); !r.isEmpty();
             r = read(reader.get(), 50), ++count)
            QCOMPARE(quint8(r[3]), quint8(0x04));
        QCOMPARE(count, hid::QueueLimit);
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "test_transport.moc"
