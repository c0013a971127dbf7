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

// Takes the window's own options out of the arguments before Qt and the
// device options see them: --NAME VALUE or --NAME=VALUE, the last one given
// counting. A value that may be left out (--scpi) is taken from the next
// argument only when that is no option. False when the option is absent.
bool takeOption(int &argc, char **argv, const QByteArray &name, bool valueRequired, QString *value)
{
    bool found = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a.startsWith(name + '=')) {
            found = true;
            *value = QString::fromLocal8Bit(a.mid(name.size() + 1));
            continue;
        }
        if (a == name && (!valueRequired || i + 1 < argc)) {
            found = true;
            value->clear();
            if (i + 1 < argc && (valueRequired || argv[i + 1][0] != '-'))
                *value = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return found;
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
    // The history database the window keeps its runs in; empty for the default.
    QString historyPath;
    takeOption(argc, argv, "--history", true, &historyPath);
    // --scpi [HOST:PORT] serves the window's instrument to scripts.
    QString scpiValue;
    const bool scpiWanted = takeOption(argc, argv, "--scpi", false, &scpiValue);
    // --version, --help and bad device options are answered without needing a display.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const QString program = QFileInfo(raw.value(0, QStringLiteral("usb-tester"))).fileName();
    ScpiAddress scpiAddress;
    QString error;
    if (!scpiValue.isEmpty() && !ScpiAddress::parse(scpiValue, &scpiAddress, &error)) {
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
    const int exitCode = device.setupFromArguments(app.arguments());
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
    if (scpiWanted) {
        scpiServer = std::make_unique<ScpiServer>(session);
        if (!scpiServer->listen(scpiAddress, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(error));
            return 1;
        }
        if (!scpiAddress.isLoopback())
            std::fprintf(stderr,
                         "%s: warning: the SCPI server listens on %s, not on this machine's "
                         "loopback: anyone who can reach this port controls the load\n",
                         qPrintable(program), qPrintable(scpiServer->address().toString()));
    }
    w.show();
    return app.exec();
}
