// usb-tester-cli: the headless command-line tool.
#include "clirunner.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <memory>
#include <sys/signalfd.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // SIGINT and SIGTERM are taken through a signalfd by the event loop, so
    // they are blocked before any thread starts (threads inherit the mask).
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    const int sfd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);

    // A report is drawn, which takes the GUI library but never a display.
    bool drawing = false;
    for (int i = 1; i + 1 < argc; ++i)
        drawing =
            drawing || (qstrcmp(argv[i], "history") == 0 && qstrcmp(argv[i + 1], "report") == 0);
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application =
        drawing ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;

    CliRunner runner(stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    std::unique_ptr<QSocketNotifier> notifier;
    if (sfd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(sfd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &runner, [sfd, &runner] {
            signalfd_siginfo info;
            while (::read(sfd, &info, sizeof info) == sizeof info)
                runner.interrupt();
        });
    }
    const int code = runner.run(app.arguments());
    notifier.reset();
    if (sfd >= 0)
        ::close(sfd);
    return code;
}
