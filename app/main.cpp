#include "crashhandler.h"
#include "deviceoptions.h"
#include "instrumentsession.h"
#include "logging.h"
#include "maindialog.h"
#include "setting.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
    w.show();
    return app.exec();
}
