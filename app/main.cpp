#include "crashhandler.h"
#include "maindialog.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CrashHandler::install();
    Startup::applyLook(app);

    MainDialog w;
    w.show();
    return app.exec();
}
