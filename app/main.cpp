#include "crashhandler.h"
#include "deviceoptions.h"
#include "instrumentsession.h"
#include "logging.h"
#include "maindialog.h"
#include "scpiserver.h"
#include "setting.h"
#include "startup.h"

#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {

// --scpi [HOST:PORT] is the window's own option; the device options see the
// rest. The address may follow as the next argument or after "=".
struct ScpiOption
{
    bool wanted = false;
    ScpiAddress address;
};

bool takeScpiOption(QStringList &args, ScpiOption *option, QString *error)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a != QLatin1String("--scpi") && !a.startsWith(QLatin1String("--scpi=")))
            continue;
        QString value;
        if (a.size() > 6) {
            value = a.mid(7);
        } else if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-'))) {
            value = args.at(i + 1);
            args.removeAt(i + 1);
        }
        args.removeAt(i--);
        option->wanted = true;
        if (!value.isEmpty() && !ScpiAddress::parse(value, &option->address, error))
            return false;
    }
    return true;
}

// Takes --history PATH (or --history=PATH) out of the arguments: the
// history database the window keeps its runs in. Empty when not given.
QString takeHistoryOption(int &argc, char **argv)
{
    QString path;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--history" && i + 1 < argc) {
            path = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (a.startsWith("--history=")) {
            path = QString::fromLocal8Bit(a.mid(10));
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return path;
}

QString usage(const QString &program)
{
    QString text = DeviceOptions::usage(program);
    text.insert(text.indexOf(QLatin1Char('\n')), QStringLiteral(" [--scpi [HOST:PORT]]"));
    return text +
           QStringLiteral(
               "  --scpi [HOST:PORT]     serve the instrument as a SCPI instrument on a TCP\n"
               "                         port while the window shows it (default\n"
               "                         127.0.0.1:5025)\n");
}

} // namespace

int main(int argc, char *argv[])
{
    const QString historyPath = takeHistoryOption(argc, argv);
    // --version, --help and bad device options are answered without needing a display.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const QString program = QFileInfo(raw.value(0, QStringLiteral("usb-tester"))).fileName();
    ScpiOption scpi;
    QString error;
    if (!takeScpiOption(raw, &scpi, &error)) {
        std::fprintf(stderr, "%s: %s\n%s", qPrintable(program), qPrintable(error),
                     qPrintable(usage(program)));
        return 2;
    }
    if (raw.contains(QStringLiteral("--help")) || raw.contains(QStringLiteral("-h"))) {
        std::printf("%s", qPrintable(usage(program)));
        return 0;
    }
    DeviceOptions::Choice options;
    const int early = DeviceSession::checkArguments(raw, &options);
    if (early >= 0)
        return early;
    Logging::setup(options.verbose);

    QApplication app(argc, argv);
    CrashHandler::install();

    // Declared before the window so the simulated instrument outlives its handles.
    DeviceSession device;
    QStringList args = app.arguments();
    takeScpiOption(args, &scpi, &error);
    const int exitCode = device.setupFromArguments(args);
    if (exitCode >= 0)
        return exitCode;

    Startup::applyLook(app);
    // The one conversation with the instrument, shown by the window.
    SettingsAccess settings;
    settings.read = [](const QString &key) { return Setting().read(key); };
    settings.write = [](const QString &key, const QString &value) { Setting().write(key, value); };
    InstrumentSession session(settings);
    MainDialog w(session);
    w.openHistory(historyPath);
    // A script drives the window's instrument through the window's own
    // session; declared after it, the server goes first.
    std::unique_ptr<ScpiServer> scpiServer;
    if (scpi.wanted) {
        scpiServer = std::make_unique<ScpiServer>(session);
        if (!scpiServer->listen(scpi.address, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(error));
            return 1;
        }
        if (!scpi.address.isLoopback())
            std::fprintf(stderr,
                         "%s: warning: the SCPI server listens on %s, not on this machine's "
                         "loopback: anyone who can reach this port controls the load\n",
                         qPrintable(program), qPrintable(scpiServer->address().toString()));
    }
    w.show();
    return app.exec();
}
