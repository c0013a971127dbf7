// Time to write the largest image (1,024,000 bytes, 17,656 packets) into the
// simulated bootloader answering at once: the program's own share of each
// exchange, which must stay far below the 1 ms USB frame per packet.
#include "firmwarepacket.h"
#include "firmwareupgrade.h"
#include "simbootloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QQueue>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int ImageSize = FirmwarePacket::MaxImageSize;
constexpr double TargetMs = 2000.0;
constexpr int Runs = 5;

QByteArray makeImage()
{
    QByteArray image(ImageSize, '\0');
    quint32 x = 12345;
    for (int i = 0; i < ImageSize; ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = char(x >> 24);
    }
    return image;
}

// Baseline: only building the packets, CRC included, as the transfer does.
double buildOnlyMs(const QByteArray &image)
{
    QElapsedTimer t;
    t.start();
    unsigned char buffer[FirmwarePacket::Size];
    unsigned sink = 0;
    const int count = FirmwarePacket::packetCount(image.size());
    for (int i = 0; i < count; ++i) {
        FirmwarePacket::buildData(
            buffer, reinterpret_cast<const unsigned char *>(image.constData()), image.size(), i);
        sink += buffer[62];
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (sink == 0xFFFFFFFFu)
        std::printf(" ");
    return ms;
}

// The whole upgrade from the accepted handshake to 0xFF. With `queued` every
// reply reaches the state machine through the event loop, as the link
// thread's signal does; otherwise it is handed over directly.
double transferMs(const QByteArray &image, bool queued, bool *ok)
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const QByteArray image = makeImage();
    const int packets = FirmwarePacket::packetCount(image.size());

    std::vector<double> build, direct, queued;
    bool allOk = true;
    for (int i = 0; i < Runs; ++i) {
        bool ok = false;
        build.push_back(buildOnlyMs(image));
        direct.push_back(transferMs(image, false, &ok));
        allOk = allOk && ok;
        queued.push_back(transferMs(image, true, &ok));
        allOk = allOk && ok;
    }

    const auto line = [packets](const char *what, double ms) {
        std::printf("  %-44s %9.1f ms  %7.2f us/packet\n", what, ms, ms * 1000.0 / packets);
    };
    std::printf("firmware transfer, %d bytes in %d packets (median of %d runs)\n", ImageSize,
                packets, Runs);
    line("baseline: building the packets only", median(build));
    line("transfer, replies handed over directly", median(direct));
    line("transfer, replies through the event loop", median(queued));
    std::printf("  USB floor for comparison: %d packets x 1 ms = %.1f s\n", packets,
                packets / 1000.0);
    const double worst = std::max(median(direct), median(queued));
    const bool pass = allOk && worst <= TargetMs;
    std::printf("  target: whole image at most %.0f ms -> %s%s\n", TargetMs, pass ? "PASS" : "FAIL",
                allOk ? "" : " (the bootloader did not receive the image intact)");
    return pass ? 0 : 1;
}
