// usb-tester-sim: the simulated instrument as a server of its own.
#include "programversion.h"
#include "simbootloader.h"
#include "simserver.h"
#include "simsetup.h"

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

const char *const Usage =
    "usage: usb-tester-sim --listen PATH [--speed FACTOR] [SETUP]\n"
    "  --listen PATH     serve the instrument on a Unix socket at PATH\n"
    "  --speed FACTOR    run its physics FACTOR times faster than real time\n"
    "  SETUP             model word with optional bus slaves, e.g. KV37 or\n"
    "                    RX41,slaves=3+5 (default KV37)\n"
    "Commands on standard input: unplug, replug, delay MS, drop N, failwrites,\n"
    "advance MS, quit.\n";

int fail(const QString &message)
{
    std::fprintf(stderr, "usb-tester-sim: %s\n%s", qPrintable(message), Usage);
    return 2;
}

// One command line from standard input; false for quit.
bool command(SimServer &server, const QString &line)
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
    else if (c == QLatin1String("advance"))
        server.advanceClock(n);
    else
        std::fprintf(stderr, "unknown command: %s\n", qPrintable(c));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString path;
    double speed = 1.0;
    QString setupText;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == QLatin1String("--version")) {
            std::puts("usb-tester-sim " USB_TESTER_VERSION);
            return 0;
        } else if (a == QLatin1String("--listen") && i + 1 < args.size()) {
            path = args.at(++i);
        } else if (a == QLatin1String("--speed") && i + 1 < args.size()) {
            bool ok = false;
            speed = args.at(++i).toDouble(&ok);
            if (!ok || speed <= 0)
                return fail(QStringLiteral("--speed needs a positive number"));
        } else if (!a.startsWith(QLatin1Char('-')) && setupText.isNull()) {
            setupText = a;
        } else {
            return fail(QStringLiteral("unknown or incomplete option \"%1\"").arg(a));
        }
    }
    if (path.isEmpty())
        return fail(QStringLiteral("--listen PATH is required"));
    SimSetup setup;
    QString error;
    if (!SimSetup::parse(setupText, &setup, &error))
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
                running = command(server, QString::fromLocal8Bit(line.left(nl)));
                line.remove(0, nl + 1);
            }
        }
    }
    server.close();
    if (sfd >= 0)
        ::close(sfd);
    return 0;
}
