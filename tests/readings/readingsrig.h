#pragma once

#include "devicelink.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "simreports.h"

#include <QApplication>
#include <QByteArray>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QTimer>
#include <QtTest>
#include <cstring>

// An instrument on the main handle: the tests put input reports in and read
// the output reports that went out.
class FakeInstrument : public hid::Handle
{
public:
    int read(unsigned char *data, size_t length, int) override
    {
        if (inbound.isEmpty())
            return 0;
        const QByteArray r = inbound.dequeue();
        const size_t n = qMin(length, size_t(r.size()));
        std::memcpy(data, r.constData(), n);
        return int(n);
    }
    int write(const unsigned char *data, size_t length) override
    {
        written.append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        return int(length);
    }
    QString manufacturer() override { return QString(); }
    QString product() override { return QString(); }
    QString serialNumber() override { return QString(); }

    QQueue<QByteArray> inbound;
    QList<QByteArray> written;
};

// The main window on a fake instrument, its own timers stopped so that only
// the test decides when a tick runs.
struct ReadingsRig
{
    static constexpr quint8 Address = 0x01;

    explicit ReadingsRig(quint8 deviceClass = 1)
    {
        if (DeviceLink *link = dialog.deviceLink()) {
            link->pollTimer()->stop();
            link->readTimer()->stop();
            link->runButtonTimer()->stop();
        }
        dialog.setMainHandle(&instrument);
        dialog.setBusAddress(Address);
        dialog.setDeviceClass(deviceClass);
    }

    // One read tick that finds `report` waiting, then the display update.
    void feed(const QByteArray &report)
    {
        instrument.inbound.enqueue(report);
        dialog.readTick();
        QMetaObject::invokeMethod(&dialog, "updateDisplay");
    }
    void measurement(const SimReports::Readings &r) { feed(SimReports::measurement(Address, r)); }
    void parameters(const SimReports::Parameters &p, bool tester = false)
    {
        feed(SimReports::parameters(Address, p, tester));
    }

    // Shows the window on `page` and waits until it can take the keyboard focus.
    bool showOn(int page)
    {
        dialog.setCurrentPage(page);
        dialog.show();
        dialog.activateWindow();
        return QTest::qWaitForWindowActive(&dialog);
    }

    template <class T> T *w(const char *name) const
    {
        T *found = dialog.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QString label(const char *name) const { return w<QLabel>(name)->text(); }
    QString edit(const char *name) const { return w<QLineEdit>(name)->text(); }

    QList<QByteArray> takeWritten()
    {
        const QList<QByteArray> out = instrument.written;
        instrument.written.clear();
        return out;
    }

    FakeInstrument instrument; // outlives the window that writes on it
    MainDialog dialog;
};

// The 64-byte report of a 10-byte frame: 55 05 01 <code> <v0..v3> EE FF, zeros.
inline QByteArray expectedReport(int code, int v0, int v1, int v2, int v3)
{
    QByteArray r(64, '\0');
    const int bytes[10] = {0x55, 0x05, ReadingsRig::Address, code, v0, v1, v2, v3, 0xEE, 0xFF};
    for (int i = 0; i < 10; ++i)
        r[i] = char(bytes[i]);
    return r;
}

inline QByteArray floatReport(int code, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, 4);
    return expectedReport(code, int(bits >> 24) & 0xFF, int(bits >> 16) & 0xFF,
                          int(bits >> 8) & 0xFF, int(bits) & 0xFF);
}

// Puts the mouse pointer on `w`, or far from every control.
inline void pointAt(QWidget *w)
{
    QCursor::setPos(w->mapToGlobal(w->rect().center()));
}
inline void pointAway()
{
    QCursor::setPos(QPoint(5000, 5000));
}

// Closes the next modal message box from the event loop and keeps its texts.
struct BoxCatcher : QObject
{
    void arm()
    {
        seen = false;
        auto *timer = new QTimer(this);
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, this, [this, timer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = true;
            title = box->windowTitle();
            text = box->text();
            buttons = box->buttons().size();
            box->accept();
            timer->deleteLater();
        });
        timer->start();
    }
    bool seen = false;
    QString title, text;
    int buttons = 0;
};
