// The one sender of command frames: everything the program tells the
// instrument goes out here, on the window's own handle.
#include "commandframe.h"
#include "hidbackend.h"
#include "maindialog.h"

#include <QDebug>

void MainDialog::send_data(const unsigned char *data, int length)
{
    // A frame never exceeds one report; a bad length must not read past it.
    const int n = data ? qBound(0, length, hid::ReportSize) : 0;
    m_session.send(QByteArray(reinterpret_cast<const char *>(data), n));
}

bool MainDialog::sendFrame(const QByteArray &frame)
{
    if (!mainHandle())
        return false;
    m_session.send(frame);
    return true;
}

void MainDialog::send_command(unsigned char code)
{
    m_session.sendPageCode(code);
}
