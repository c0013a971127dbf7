// usb-tester-sim: the simulated instrument as a server of its own.
#include "commandline.h"
#include "logging.h"
#include "programversion.h"
#include "simbootloader.h"
#include "simserver.h"
#include "simsetup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

const char *const Usage =
    "usage: usb-tester-sim --listen PATH [--speed FACTOR] [--verbose] [SETUP]\n"
    "  --listen PATH     serve the instrument on a Unix socket at PATH\n"
    "  --speed FACTOR    run its physics FACTOR times faster than real time\n"
    "  --verbose         debug lines of every part on standard error\n"
    "  SETUP             model word with optional bus slaves, e.g. KV37 or\n"
    "                    RX41,slaves=3+5 (default KV37); a load's battery may\n"
    "                    follow: ir=MOHM internal resistance, cap=MAH capacity,\n"
    "                    e.g. KV37,ir=45,cap=2000\n"
    "Commands on standard input: unplug, replug, delay MS, drop N, failwrites,\n"
    "hangup (closes the newest connection alone), advance MS, bootfault KIND [STEP],\n"
    "quit.\n"
    "  bootfault KIND [STEP]  the bootloader misbehaves in the next upgrades, at\n"
    "                    STEP: a packet index, \"burn\", or the handshake when left\n"
    "                    out (staleack and repeatbb: packet 1). KIND is one of\n"
    "                      none       behave again\n"
    "                      badcrc     handshake reply with a wrong CRC\n"
    "                      wrongack   acknowledge the packet with the previous index\n"
    "                      fail       answer 11 (upgrade failed)\n"
    "                      silence    answer nothing from then on\n"
    "                      staleack   take no more packets; re-send the previous\n"
    "                                 acknowledgement every 3 s, forever\n"
    "                      earlyff    answer FF (burn completed) at once\n"
    "                      repeatbb   send the handshake reply again mid-transfer\n";

int fail(const QString &message)
{
    std::fprintf(stderr, "usb-tester-sim: %s\n%s", qPrintable(message), Usage);
    return 2;
}

// "bootfault KIND [STEP]"; false when the words make no sense.
bool bootFault(SimServer &server, SimBootloader &boot, const QStringList &w)
{
    using F = SimBootloader::Fault;
    static const QList<QPair<QString, F>> kinds = {
        {QStringLiteral("none"), F::None},
        {QStringLiteral("badcrc"), F::BadHandshakeCrc},
        {QStringLiteral("wrongack"), F::WrongAckIndex},
        {QStringLiteral("fail"), F::FailReply},
        {QStringLiteral("silence"), F::Silence},
        {QStringLiteral("staleack"), F::StaleAck},
        {QStringLiteral("earlyff"), F::EarlyFinish},
        {QStringLiteral("repeatbb"), F::RepeatHandshake},
    };
    const QString kind = w.value(1);
    auto it =
        std::find_if(kinds.begin(), kinds.end(), [&](const auto &k) { return k.first == kind; });
    if (it == kinds.end() || w.size() > 3)
        return false;
    // Repeating an acknowledgement needs a packet acknowledged before it.
    int step = it->second == F::StaleAck || it->second == F::RepeatHandshake
                   ? 1
                   : SimBootloader::AtHandshake;
    if (w.size() == 3) {
        bool ok = true;
        step = w.at(2) == QLatin1String("burn") ? SimBootloader::AtBurn : w.at(2).toInt(&ok);
        if (!ok || step < 0)
            return false;
    }
    // The bootloader is the server thread's; change it while the server holds still.
    server.withInstrument([&](SimInstrument &) { boot.setFault(it->second, step); });
    return true;
}

// One command line from standard input; false for quit.
bool command(SimServer &server, SimBootloader &boot, const QString &line)
{
    const QStringList w = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (w.isEmpty())
        return true;
    const QString &c = w.first();
    const int n = w.value(1).toInt();
    if (c == QLatin1String("quit"))
        return false;
    if (c == QLatin1String("unplug"))
        server.unplug();
    else if (c == QLatin1String("replug"))
        server.replug();
    else if (c == QLatin1String("delay"))
        server.setReplyDelay(n);
    else if (c == QLatin1String("drop"))
        server.setDropReplies(n);
    else if (c == QLatin1String("failwrites"))
        server.failWrites();
    else if (c == QLatin1String("hangup"))
        server.hangUpNewest();
    else if (c == QLatin1String("advance"))
        server.advanceClock(n);
    else if (c == QLatin1String("bootfault")) {
        if (!bootFault(server, boot, w))
            std::fprintf(stderr, "usage: bootfault KIND [STEP]; see --help\n");
    } else
        std::fprintf(stderr, "unknown command: %s\n", qPrintable(c));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QCommandLineOption listen(QStringLiteral("listen"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption speedOption(QStringLiteral("speed"), QString(),
                                         QStringLiteral("FACTOR"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption verbose(QLatin1String(Logging::VerboseOption));
    const QCommandLineOption version(QStringLiteral("version"));
    QCommandLineParser parser;
    QStringList rest;
    QString missing;
    const bool parsed = CommandLine::parse(parser, {listen, speedOption, help, verbose, version},
                                           app.arguments(), &rest, &missing);
    if (parser.isSet(help)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::puts("usb-tester-sim " USB_TESTER_VERSION);
        return 0;
    }
    Logging::setup(parser.isSet(verbose));
    if (!parsed)
        return fail(QStringLiteral("unknown or incomplete option \"%1\"").arg(missing));
    // At most one SETUP; any other word is an option this program does not take.
    for (int i = 0; i < rest.size(); ++i)
        if (i > 0 || rest.at(i).startsWith(QLatin1Char('-')))
            return fail(QStringLiteral("unknown or incomplete option \"%1\"").arg(rest.at(i)));
    const QString path = parser.value(listen);
    double speed = 1.0;
    for (const QString &text : parser.values(speedOption)) {
        bool ok = false;
        speed = text.toDouble(&ok);
        if (!ok || speed <= 0)
            return fail(QStringLiteral("--speed needs a positive number"));
    }
    if (path.isEmpty())
        return fail(QStringLiteral("--listen PATH is required"));
    SimSetup setup;
    QString error;
    if (!SimSetup::parse(rest.value(0), &setup, &error))
        return fail(error);

    // Signals are taken synchronously below, so block them before any thread starts.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    const int sfd = signalfd(-1, &mask, SFD_CLOEXEC);

    // Declared first so it outlives the server that hands it the upgrade reports.
    SimBootloader boot;
    SimServer server(setup, speed);
    server.setUpgradeTarget(&boot);
    if (!server.listen(path, &error)) {
        std::fprintf(stderr, "usb-tester-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::fprintf(stderr, "usb-tester-sim: %s on %s, speed %g\n", qPrintable(setup.productString()),
                 qPrintable(path), speed);

    pollfd fds[2] = {{sfd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    QByteArray line;
    bool running = true;
    while (running) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            break;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                fds[1].fd = -1; // no more commands; serve until a signal
                continue;
            }
            line.append(buffer, int(n));
            int nl;
            while (running && (nl = line.indexOf('\n')) >= 0) {
                running = command(server, boot, QString::fromLocal8Bit(line.left(nl)));
                line.remove(0, nl + 1);
            }
        }
    }
    server.close();
    if (sfd >= 0)
        ::close(sfd);
    return 0;
}
