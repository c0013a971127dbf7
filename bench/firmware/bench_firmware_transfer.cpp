// The firmware upgrade of the largest image (1,024,000 bytes, 17,656 packets)
// as the user waits for it: through the link thread and the socket backend
// against usb-tester-sim, in usb-tester-cli run as a process, and in the window
// shown on the offscreen platform. Each figure stands next to the instrument's
// own answer time (a bare exchange on one handle, nothing of the program in
// it) and next to the link as it was before writes went out at once (queued
// and written between 2 ms reads), all measured in this run.
#include "commandframe.h"
#include "devicelink.h"
#include "firmwarepacket.h"
#include "firmwareupgrade.h"
#include "framesender.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "simbootloader.h"
#include "socketbackend.h"
#include "usbthread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QQueue>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int ImageSize = FirmwarePacket::MaxImageSize;
// The old link needs about 2 ms a packet; it is timed on the first packets of
// the image and scaled to the whole, which its steady per-packet cost allows.
constexpr int BaselinePackets = 1500;
constexpr double OverheadTargetUs = 100.0;
constexpr double EndToEndTargetS = 5.0;
constexpr double StateMachineTargetMs = 2000.0;
constexpr int StateMachineRuns = 5;
// The machine is shared: each new figure is the median of a few runs.
constexpr int Runs = 3;

QByteArray makeImage(int size)
{
    QByteArray image(size, '\0');
    quint32 x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = char(x >> 24);
    }
    return image;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void setWritesBetweenReads(bool on)
{
    if (on)
        qputenv(USBThread::WritesBetweenReadsVariable, "1");
    else
        qunsetenv(USBThread::WritesBetweenReadsVariable);
}

// ---- the state machine alone (no link, no wire) ----

// The whole upgrade from the accepted handshake to 0xFF. With `queued` every
// reply reaches the state machine through the event loop, as the link
// thread's signal does; otherwise it is handed over directly.
double stateMachineMs(const QByteArray &image, bool queued, bool *ok)
{
    FirmwareUpgrade up;
    SimBootloader boot;
    boot.setBurnTimeMs(0);
    qint64 nowMs = 0;
    QQueue<QByteArray> inbox;
    QObject::connect(&up, &FirmwareUpgrade::entryFrameRequested, [&] {
        if (up.takeEntryRequest())
            boot.begin(nowMs);
    });
    QObject::connect(&up, &FirmwareUpgrade::packetReady, [&](const QByteArray &packet) {
        QByteArray report(64, '\0');
        report[0] = char(0x55);
        report.replace(1, 63, packet.constData(), 63);
        const QList<QByteArray> replies = boot.receive(report, nowMs);
        if (!queued) {
            inbox << replies;
            return;
        }
        for (const QByteArray &r : replies)
            QMetaObject::invokeMethod(
                &up, [&up, r] { up.receive(r); }, Qt::QueuedConnection);
    });

    up.start(image);
    QElapsedTimer t;
    t.start();
    up.entryWaitElapsed();
    while (up.isActive()) {
        if (queued) {
            QCoreApplication::processEvents();
        } else {
            while (!inbox.isEmpty())
                up.receive(inbox.dequeue());
        }
        if (up.state() == FirmwareUpgrade::State::Burning) {
            for (const QByteArray &r : boot.due(nowMs))
                up.receive(r);
        }
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    *ok = up.outcome() == FirmwareUpgrade::Outcome::Done && boot.image() == image;
    return ms;
}

// ---- the simulator as a process of its own ----

class SimProcess
{
public:
    bool start()
    {
        if (!m_dir.isValid())
            return false;
        m_path = m_dir.filePath(QStringLiteral("sim.sock"));
        m_process.setProgram(QStringLiteral(SIM_PROGRAM));
        m_process.setArguments({QStringLiteral("--listen"), m_path});
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        hid::setBackend(hid::makeSocketBackend(m_path));
        for (int i = 0; i < 500; ++i) {
            if (!hid::backend().enumerate(0, 0).isEmpty())
                return true;
            QThread::msleep(10);
        }
        return false;
    }
    ~SimProcess()
    {
        hid::setBackend(nullptr);
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QProcess m_process;
};

std::unique_ptr<hid::Handle> openInstrument()
{
    return hid::backend().open(hid::InstrumentVendorId, hid::InstrumentProductId);
}

// 0x55 and packet bytes 0..62, as the link thread writes a packet.
QByteArray packetReport(const QByteArray &packet)
{
    QByteArray report(hid::ReportSize, '\0');
    report[0] = char(0x55);
    report.replace(1, hid::ReportSize - 1, packet.constData(), hid::ReportSize - 1);
    return report;
}

// Reads until a report with reply code `code` (and, for 0xDD, index `index`) comes.
bool awaitReply(hid::Handle *h, unsigned char code, int index, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    unsigned char r[hid::ReportSize];
    while (t.elapsed() < timeoutMs) {
        const int n = h->read(r, sizeof r, int(qMax<qint64>(1, timeoutMs - t.elapsed())));
        if (n < 0)
            return false;
        if (n < hid::ReportSize || r[1] != code)
            continue;
        if (code != FirmwareUpgrade::Acknowledged || (r[3] | (r[4] << 8)) == index)
            return true;
    }
    return false;
}

struct Figures
{
    bool ok = false;
    int packets = 0;
    double transferS = 0;              // handshake (or first packet) to 0xEE
    double endToEndS = 0;              // start to 0xFF, where the run includes them
    double fastestS = 0, slowestS = 0; // transfer, over the runs
    double perPacketUs(double s) const { return packets ? s * 1e6 / packets : 0; }
    double perPacketUs() const { return perPacketUs(transferS); }
};

// The instrument's answer: each packet written and its acknowledgement read
// on one handle by one thread: the wire, the simulator and the socket
// backend's reader thread, and nothing of the program.
Figures bareExchange(const QByteArray &image)
{
    Figures f;
    f.packets = FirmwarePacket::packetCount(image.size());
    auto h = openInstrument();
    if (!h)
        return f;
    const auto write = [&h](const QByteArray &report) {
        return h->write(reinterpret_cast<const unsigned char *>(report.constData()),
                        size_t(report.size())) == hid::ReportSize;
    };
    if (sendFrame(h.get(), CommandFrame::firmwareDownloadRequest()) != hid::ReportSize ||
        !write(packetReport(FirmwarePacket::handshake(image.size()))) ||
        !awaitReply(h.get(), FirmwareUpgrade::HandshakeAccepted, 0, 3000))
        return f;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < f.packets; ++i) {
        if (!write(packetReport(FirmwarePacket::data(image, i))) ||
            !awaitReply(h.get(), FirmwareUpgrade::Acknowledged, i, 3000))
            return f;
    }
    if (!awaitReply(h.get(), FirmwareUpgrade::AllReceived, 0, 3000))
        return f;
    f.transferS = double(t.nsecsElapsed()) / 1e9;
    f.ok = awaitReply(h.get(), FirmwareUpgrade::BurnCompleted, 0, 10000);
    return f;
}

// Marks the transfer's start and end from what the upgrade reports.
class TransferClock : public QObject
{
public:
    explicit TransferClock(FirmwareUpgrade *up) : m_up(up)
    {
        connect(up, &FirmwareUpgrade::progressChanged, this, &TransferClock::look);
        connect(up, &FirmwareUpgrade::transferComplete, this, &TransferClock::look);
    }
    double seconds() const { return m_ns / 1e9; }

private:
    void look()
    {
        const FirmwareUpgrade::State s = m_up->state();
        if (s == FirmwareUpgrade::State::Transferring && !m_timer.isValid())
            m_timer.start();
        if (s == FirmwareUpgrade::State::Burning && m_ns < 0 && m_timer.isValid())
            m_ns = double(m_timer.nsecsElapsed());
    }
    FirmwareUpgrade *m_up;
    QElapsedTimer m_timer;
    double m_ns = -1;
};

// The upgrade through a USBThread on the socket backend, as the window and the
// CLI wire it, without the 3 s entry wait.
Figures linkThread(const QByteArray &image, bool betweenReads)
{
    Figures f;
    f.packets = FirmwarePacket::packetCount(image.size());
    setWritesBetweenReads(betweenReads);
    auto main = openInstrument(); // the window's own handle sends the entry frame
    USBThread usb;
    setWritesBetweenReads(false);
    if (!main || !usb.open())
        return f;
    usb.start();
    FirmwareUpgrade up;
    TransferClock clock(&up);
    QObject::connect(&up, &FirmwareUpgrade::entryFrameRequested, [&] {
        if (up.takeEntryRequest())
            sendFrame(main.get(), CommandFrame::firmwareDownloadRequest());
    });
    QObject::connect(&up, &FirmwareUpgrade::packetReady, &usb,
                     [&usb](const QByteArray &packet) { usb.write(packet); });
    QObject::connect(&usb, &USBThread::new_data, &up, &FirmwareUpgrade::receive);
    QObject::connect(&usb, &USBThread::usb_send_error, &up, &FirmwareUpgrade::sendError);
    QEventLoop loop;
    QObject::connect(&up, &FirmwareUpgrade::finished, &loop, &QEventLoop::quit);
    QElapsedTimer total;
    total.start();
    up.start(image);
    up.entryWaitElapsed();
    loop.exec();
    f.endToEndS = double(total.nsecsElapsed()) / 1e9;
    f.transferS = clock.seconds();
    f.ok = up.outcome() == FirmwareUpgrade::Outcome::Done;
    usb.stop();
    usb.wait();
    return f;
}

// usb-tester-cli flash FILE as a process of its own; its own JSON gives the
// transfer time, the wall clock the whole wait.
Figures cliProcess(const QString &socketPath, const QString &file, int packets, bool betweenReads)
{
    Figures f;
    f.packets = packets;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (betweenReads)
        env.insert(QLatin1String(USBThread::WritesBetweenReadsVariable), QStringLiteral("1"));
    else
        env.remove(QLatin1String(USBThread::WritesBetweenReadsVariable));
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    p.start(QStringLiteral(CLI_PROGRAM),
            {QStringLiteral("--device"), QStringLiteral("socket:") + socketPath,
             QStringLiteral("--json"), QStringLiteral("flash"), file});
    if (!p.waitForFinished(300000))
        return f;
    f.endToEndS = double(wall.nsecsElapsed()) / 1e9;
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject o = QJsonDocument::fromJson(lines.value(lines.size() - 1)).object();
    f.transferS = o.value(QStringLiteral("transfer_s")).toDouble();
    f.ok = p.exitCode() == 0 && o.value(QStringLiteral("ok")).toBool();
    return f;
}

// The upgrade page of the window, shown and painted on the offscreen
// platform: open the file, press start, wait for the burn to end.
Figures window(const QString &file, int packets, bool betweenReads)
{
    Figures f;
    f.packets = packets;
    QTemporaryDir settings; // the window keeps its settings file in the working directory
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(settings.path());
    setWritesBetweenReads(betweenReads);
    {
        InstrumentSession session;
        MainDialog w(session);
        setWritesBetweenReads(false);
        QStringList boxes;
        w.setMessageBox(
            [&boxes](QWidget *, QMessageBox::Icon, const QString &title, const QString &text) {
                boxes << title + QLatin1String(": ") + text;
            });
        w.setOpenFileDialog(
            [&file](QWidget *, const QString &, const QString &, const QString &) { return file; });
        w.resize(1280, 800);
        w.show();
        // Connected, and the bus scan that follows the connection is over.
        const auto ready = [&w] {
            return w.linkUp() && !w.deviceList().pairs().isEmpty() &&
                   !w.instrumentState().scanning && !w.deviceLink()->scanWorker()->isRunning();
        };
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 15000 && !ready()) {
            QEventLoop pause;
            QTimer::singleShot(20, &pause, &QEventLoop::quit);
            pause.exec();
        }
        w.setCurrentPage(MainDialog::PageUpgrade);
        auto *open = w.findChild<QAbstractButton *>(QStringLiteral("upgrade_pushButton_openfile"));
        auto *start = w.findChild<QAbstractButton *>(QStringLiteral("upgrade_pushButton_start"));
        if (open && start) {
            open->click();
            TransferClock clock(w.firmwareUpgrade());
            QEventLoop loop;
            QObject::connect(w.firmwareUpgrade(), &FirmwareUpgrade::finished, &loop,
                             &QEventLoop::quit);
            QElapsedTimer total;
            total.start();
            if (start->isEnabled()) {
                start->click();
                loop.exec();
            }
            f.endToEndS = double(total.nsecsElapsed()) / 1e9;
            f.transferS = clock.seconds();
            f.ok =
                w.firmwareUpgrade()->outcome() == FirmwareUpgrade::Outcome::Done && boxes.isEmpty();
        }
    }
    QDir::setCurrent(cwd);
    return f;
}

// Median transfer and median end to end of `runs` runs; ok only if all were.
template <typename Run> Figures medianOf(Run run)
{
    std::vector<double> transfer, endToEnd;
    Figures f;
    f.ok = true;
    for (int i = 0; i < Runs; ++i) {
        const Figures one = run();
        f.ok = f.ok && one.ok;
        f.packets = one.packets;
        transfer.push_back(one.transferS);
        endToEnd.push_back(one.endToEndS);
    }
    f.transferS = median(transfer);
    f.endToEndS = median(endToEnd);
    f.fastestS = *std::min_element(transfer.begin(), transfer.end());
    f.slowestS = *std::max_element(transfer.begin(), transfer.end());
    return f;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    setWritesBetweenReads(false);
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const QByteArray image = makeImage(ImageSize);
    const QByteArray cut = image.left(BaselinePackets * FirmwarePacket::PayloadSize);
    const int packets = FirmwarePacket::packetCount(image.size());
    const double scale = double(packets) / BaselinePackets;
    bool allOk = true;

    std::printf("firmware upgrade, %d bytes in %d packets\n", ImageSize, packets);

    // The state machine alone.
    std::vector<double> direct, queued;
    for (int i = 0; i < StateMachineRuns; ++i) {
        bool ok = false;
        direct.push_back(stateMachineMs(image, false, &ok));
        allOk = allOk && ok;
        queued.push_back(stateMachineMs(image, true, &ok));
        allOk = allOk && ok;
    }
    std::printf("  state machine alone (median of %d): %.1f ms replies handed over, %.1f ms "
                "through the event loop (target <= %.0f ms: %s)\n",
                StateMachineRuns, median(direct), median(queued), StateMachineTargetMs,
                verdict(std::max(median(direct), median(queued)) <= StateMachineTargetMs));

    QTemporaryDir files;
    const QString full = files.filePath(QStringLiteral("full.bin"));
    const QString part = files.filePath(QStringLiteral("part.bin"));
    SimProcess sim;
    if (!writeFile(full, image) || !writeFile(part, cut) || !sim.start()) {
        std::fprintf(stderr, "bench_firmware_transfer: no simulator (%s)\n", SIM_PROGRAM);
        return 1;
    }

    const Figures bare = medianOf([&] { return bareExchange(image); });
    allOk = allOk && bare.ok;
    const double answerUs = bare.perPacketUs();
    std::printf("  against usb-tester-sim (socket backend); transfer = first packet to 0xEE, "
                "overhead = per packet beyond the instrument's answer\n");
    std::printf("  %-46s %9s %11s %10s %11s %16s\n", "", "transfer", "per packet", "overhead",
                "end to end", "runs per packet");
    const auto row = [answerUs](const char *what, const Figures &f, double scaleBy,
                                double endToEnd) {
        char e2e[32] = "-";
        if (endToEnd > 0)
            std::snprintf(e2e, sizeof e2e, "%.2f s", endToEnd);
        char spread[32] = "";
        if (f.slowestS > f.fastestS)
            std::snprintf(spread, sizeof spread, "%.0f-%.0f us", f.perPacketUs(f.fastestS),
                          f.perPacketUs(f.slowestS));
        std::printf("  %-46s %7.2f s %8.1f us %7.1f us %11s %16s%s\n", what, f.transferS * scaleBy,
                    f.perPacketUs(), f.perPacketUs() - answerUs, e2e, spread,
                    f.ok ? "" : "  (FAILED)");
    };
    row("instrument's answer: bare exchange, 1 thread", bare, 1, 0);

    // Sections may be named on the command line (link, cli, window); all run by default.
    const QStringList args = app.arguments().mid(1);
    const auto wanted = [&args](const char *name) {
        return args.isEmpty() || args.contains(QLatin1String(name));
    };
    double worstOverhead = 0, worstEndToEnd = 0;
    const auto count = [&](const Figures &f, const Figures &old, bool endToEnd) {
        allOk = allOk && f.ok && old.ok;
        worstOverhead = std::max(worstOverhead, f.perPacketUs() - answerUs);
        if (endToEnd)
            worstEndToEnd = std::max(worstEndToEnd, f.endToEndS);
    };
    // An old run's fixed part (entry wait, burn, start-up) plus its transfer scaled up.
    const auto oldEndToEnd = [scale](const Figures &old) {
        return old.endToEndS - old.transferS + old.transferS * scale;
    };
    if (wanted("link")) {
        const Figures link = medianOf([&] { return linkThread(image, false); });
        const Figures old = linkThread(cut, true);
        row("link thread (USBThread), no entry wait", link, 1, 0);
        row("  baseline: old link, writes between reads *", old, scale, 0);
        count(link, old, false);
    }
    if (wanted("cli")) {
        const Figures cli = medianOf([&] { return cliProcess(sim.path(), full, packets, false); });
        const Figures old = cliProcess(sim.path(), part, BaselinePackets, true);
        row("usb-tester-cli flash (process)", cli, 1, cli.endToEndS);
        row("  baseline: old link *", old, scale, oldEndToEnd(old));
        count(cli, old, true);
    }
    if (wanted("window")) {
        const Figures win = medianOf([&] { return window(full, packets, false); });
        const Figures old = window(part, BaselinePackets, true);
        row("window, upgrade page shown (start to 0xFF)", win, 1, win.endToEndS);
        row("  baseline: old link *", old, scale, oldEndToEnd(old));
        count(win, old, true);
    }
    std::printf("  medians of %d runs; the machine is shared, so a run's time per packet varies "
                "(spread at the right)\n",
                Runs);
    std::printf("  * timed on the first %d packets and scaled to %d: the old link waits out a 2 ms "
                "read for every packet\n",
                BaselinePackets, packets);
    std::printf("  end to end = the 3 s the instrument is given to enter its bootloader + "
                "transfer + its burn (0.5 s in the simulator)\n");
    std::printf("  USB full speed floor for comparison: %d packets x 1 ms = %.1f s\n", packets,
                packets / 1000.0);
    std::printf("  target: overhead <= %.0f us per packet: %s (worst %.1f us)\n", OverheadTargetUs,
                verdict(worstOverhead <= OverheadTargetUs), worstOverhead);
    if (worstEndToEnd > 0)
        std::printf(
            "  target: 1 MB end to end <= %.0f s in the CLI and the window: %s (worst %.2f s)\n",
            EndToEndTargetS, verdict(worstEndToEnd <= EndToEndTargetS), worstEndToEnd);
    if (!allOk)
        std::printf("  an upgrade did not complete: the figures above are not valid\n");
    return allOk ? 0 : 1;
}
