// CPU used by the link while a simulated instrument is connected and nothing
// happens, as a share of one core, next to a loop that polls without pausing.
// The instrument runs in a child process so only the program side is counted.
#include "devicelink.h"
#include "hidbackend.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QCoreApplication>
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
double measure(QCoreApplication &app, int seconds)
{
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    return 100.0 * (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0);
}

} // namespace

int main(int argc, char *argv[])
{
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 30;
    const int baselineSeconds = qMax(1, seconds / 2);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.sock"));
    const pid_t child = fork();
    if (child == 0) {
        SimServer server;
        if (!server.listen(path))
            _exit(1);
        pause();
        _exit(0);
    }
    // The link's log lines would only add noise (and CPU) to the figures.
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QCoreApplication app(argc, argv);
    hid::setBackend(hid::makeSocketBackend(path));
    // Wait for the instrument to come up.
    for (int i = 0; i < 200 && hid::backend().enumerate(0, 0).isEmpty(); ++i)
        QThread::msleep(10);

    double ours = 0;
    {
        DeviceLink link;
        link.start();
        if (!link.mainHandle() || !link.usbThread()->isLinkOpen()) {
            std::fprintf(stderr, "bench_link_idle: no simulated instrument\n");
            kill(child, SIGTERM);
            return 1;
        }
        ours = measure(app, seconds);
        link.shutdown();
    }
    double spinning = 0;
    {
        auto main = hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
        SpinningLink spin;
        spin.start();
        spinning = measure(app, baselineSeconds);
        spin.stopRequested = true;
        spin.wait();
    }
    hid::setBackend(nullptr);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);

    std::printf("idle connected link, CPU share of one core:\n");
    std::printf("  blocking reads (USBThread, %2d s):   %6.2f %%  (target <= 2 %%)%s\n", seconds,
                ours, ours <= 2.0 ? "" : "  OVER TARGET");
    std::printf("  polling without pause (%2d s):      %6.2f %%  (baseline)\n", baselineSeconds,
                spinning);
    return 0;
}
