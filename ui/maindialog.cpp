#include "maindialog.h"

MainDialog::MainDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MainDialog"));
    resize(1232, 900);
    setWindowTitle(tr("ORVANE_USB_TESTER"));
}

MainDialog::~MainDialog() = default;
