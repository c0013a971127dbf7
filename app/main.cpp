#include "crashhandler.h"
#include "deviceoptions.h"
#include "instrumentsession.h"
#include "logging.h"
#include "maindialog.h"
#include "setting.h"
#include "startup.h"

#include <QApplication>

namespace {

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

} // namespace

int main(int argc, char *argv[])
{
    const QString historyPath = takeHistoryOption(argc, argv);
    // --version, --help and bad device options are answered without needing a display.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
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
    w.show();
    return app.exec();
}
