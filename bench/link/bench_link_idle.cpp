// CPU a connected program uses while the user only watches, as a share of
// one core over the wall time: the whole window (shown on the offscreen
// platform, readings page, polls and repaints) connected to a simulated
// instrument and idle; the same window during a run with a week of samples
// (604,800) held and one more drawn every second; and, for comparison, the
// link thread alone and a link loop that polls without pausing. Each
// instrument runs in a child process, so only the program side is counted.
#include "devicelink.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "realtimechart.h"
#include "simserver.h"
#include "simsetup.h"
#include "socketbackend.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double IdleTargetPercent = 2.0;
constexpr double WeekTargetPercent = 5.0;
constexpr qint64 Week = 604800;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The link loop as first described: non-blocking reads one after another,
// a liveness probe every 500 ms when nothing is waiting.
class SpinningLink : public QThread
{
public:
    std::atomic<bool> stopRequested{false};

protected:
    void run() override
    {
        auto handle = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        if (!handle)
            return;
        unsigned char buffer[64];
        QElapsedTimer probe;
        probe.start();
        while (!stopRequested) {
            if (handle->read(buffer, sizeof buffer, 0) < 64 && probe.elapsed() >= 500) {
                probe.restart();
                if (handle->read(buffer, sizeof buffer, 0) < 0)
                    return;
            }
        }
    }
};

// Runs the event loop for `seconds` and returns the process's CPU share of one core.
double measure(int seconds)
{
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0);
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A simulated instrument in a child process, forked before any thread starts.
struct Instrument
{
    pid_t pid = -1;
    QString path;
};

Instrument serve(const QString &path, const char *setupText)
{
    Instrument i;
    i.path = path;
    i.pid = fork();
    if (i.pid == 0) {
        SimSetup setup;
        QString error;
        SimSetup::parse(QString::fromLatin1(setupText), &setup, &error);
        SimServer server(setup, 1.0);
        if (!server.listen(path))
            _exit(1);
        pause();
        _exit(0);
    }
    return i;
}

void stop(const Instrument &i)
{
    if (i.pid > 0) {
        kill(i.pid, SIGTERM);
        waitpid(i.pid, nullptr, 0);
    }
}

bool reach(const Instrument &i)
{
    hid::setBackend(hid::makeSocketBackend(i.path));
    for (int n = 0; n < 300; ++n) {
        if (!hid::backend().enumerate(0, 0).isEmpty())
            return true;
        QThread::msleep(10);
    }
    return false;
}

// The window connected and its bus scan over, on the readings page.
bool settle(MainDialog &w)
{
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 15000) {
        if (w.linkUp() && !w.deviceList().pairs().isEmpty() && !w.instrumentState().scanning &&
            !w.deviceLink()->scanWorker()->isRunning()) {
            w.setCurrentPage(MainDialog::PageDisp);
            runFor(1000);
            return true;
        }
        runFor(20);
    }
    return false;
}

const char *verdict(double percent, double target)
{
    return percent <= target ? "met" : "MISSED";
}

} // namespace

int main(int argc, char *argv[])
{
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 15;
    const int baselineSeconds = qMax(1, seconds / 2);

    QTemporaryDir dir;
    // A load that is not running (the idle window, the link alone), and a
    // power tester, which the window samples whenever it is connected.
    const Instrument load = serve(dir.filePath(QStringLiteral("load.sock")), "KV37");
    const Instrument tester = serve(dir.filePath(QStringLiteral("tester.sock")), "RX41");
    // The log lines would only add noise (and CPU) to the figures.
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QDir::setCurrent(dir.path()); // the window's settings file goes there

    double linkOnly = -1, spinning = -1, window = -1, week = -1;
    qint64 held = 0;
    if (reach(load)) {
        {
            DeviceLink link;
            link.start();
            if (link.mainHandle() && link.usbThread()->isLinkOpen())
                linkOnly = measure(seconds);
            link.shutdown();
        }
        {
            auto main = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
            SpinningLink spin;
            spin.start();
            spinning = measure(baselineSeconds);
            spin.stopRequested = true;
            spin.wait();
        }
        {
            InstrumentSession session;
            MainDialog w(session);
            w.resize(1280, 800);
            w.show();
            if (settle(w))
                window = measure(seconds);
        }
    }
    if (reach(tester)) {
        InstrumentSession session;
        MainDialog w(session);
        w.resize(1280, 800);
        w.show();
        if (settle(w)) {
            // A week already recorded since the run started: the chart's
            // clock runs a week ahead, so the time axis spans all of it.
            RealTimeChart *chart = w.realTimeChart();
            const qint64 start = chart->timeAxis()->min().toMSecsSinceEpoch();
            chart->store().clear();
            for (qint64 i = 0; i < Week; ++i) {
                // A source under a varying load, with the noise of a real reading.
                SampleStore::Values v{};
                v[SampleStore::Voltage] = 5.0f + 0.02f * float(i % 7);
                v[SampleStore::Current] =
                    1.0f + 0.5f * float((i / 3600) % 3) + 0.003f * float(i % 11);
                v[SampleStore::Power] = v[SampleStore::Voltage] * v[SampleStore::Current];
                chart->store().append(start + i * 1000, v);
            }
            const qint64 ahead = Week * 1000;
            chart->setClock([ahead] { return QDateTime::currentMSecsSinceEpoch() + ahead; });
            runFor(2000);
            held = qint64(chart->store().size());
            week = measure(seconds);
            held = qint64(chart->store().size()) - held; // samples drawn while measured
        }
    }
    hid::setBackend(nullptr);
    stop(load);
    stop(tester);
    if (linkOnly < 0 || window < 0 || week < 0) {
        std::fprintf(stderr, "bench_link_idle: the simulated instrument did not connect\n");
        return 1;
    }

    std::printf("connected program, CPU share of one core (process CPU time over wall time):\n");
    std::printf("  window idle, readings page (%2d s):           %6.2f %%  target <= %.0f %%: "
                "%s\n",
                seconds, window, IdleTargetPercent, verdict(window, IdleTargetPercent));
    std::printf("  window, a run with a week held (%2d s):      %6.2f %%  target <= %.0f %%: %s  "
                "(%lld samples drawn meanwhile)\n",
                seconds, week, WeekTargetPercent, verdict(week, WeekTargetPercent),
                static_cast<long long>(held));
    std::printf("  baseline: the link thread alone (%2d s):     %6.2f %%\n", seconds, linkOnly);
    std::printf("  baseline: a link polling without pause (%2d s): %6.2f %%\n", baselineSeconds,
                spinning);
    return 0;
}
