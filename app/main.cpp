#include "crashhandler.h"
#include "deviceoptions.h"
#include "maindialog.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CrashHandler::install();

    // Declared before the window so the simulated instrument outlives its handles.
    DeviceSession device;
    const int exitCode = device.setupFromArguments(app.arguments());
    if (exitCode >= 0)
        return exitCode;

    Startup::applyLook(app);
    MainDialog w;
    w.show();
    return app.exec();
}
