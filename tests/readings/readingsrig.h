#pragma once

#include "../common/fakehandle.h"
#include "devicelink.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "simreports.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QTimer>
#include <QtTest>
#include <cstring>

// An instrument on the main handle: tests queue input reports and read what went out.
using FakeInstrument = FakeHandle;

template <class T> T *widget(const QWidget &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

// Types `text` into the edit as a user would and presses Return.
inline void typeAndReturn(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

inline void pointAt(QWidget *w)
{
    QCursor::setPos(w->mapToGlobal(w->rect().center()));
}
inline void pointAway()
{
    QCursor::setPos(QPoint(5000, 5000));
}

// The main window on a fake instrument, its timers stopped: the test runs the ticks.
struct ReadingsRig
{
    static constexpr quint8 Address = 0x01;
    explicit ReadingsRig(quint8 deviceClass = 1)
    {
        DeviceLink *link = dialog.deviceLink();
        link->pollTimer()->stop();
        link->readTimer()->stop();
        link->runButtonTimer()->stop();
        dialog.setMainHandle(&instrument);
        dialog.setBusAddress(Address);
        dialog.setDeviceClass(deviceClass);
    }
    void feed(const QByteArray &report)
    {
        instrument.incoming.append(report);
        dialog.readTick();
        QMetaObject::invokeMethod(&dialog, "updateDisplay");
    }
    void measurement(const SimReports::Readings &r) { feed(SimReports::measurement(Address, r)); }
    void parameters(const SimReports::Parameters &p, bool tester = false)
    {
        feed(SimReports::parameters(Address, p, tester));
    }
    void mode(int m)
    {
        SimReports::Parameters p;
        p.workMode = quint8(m);
        parameters(p);
    }
    bool showOn(int page)
    {
        dialog.setCurrentPage(page);
        dialog.show();
        dialog.activateWindow();
        return QTest::qWaitForWindowActive(&dialog);
    }
    template <class T> T *w(const char *name) const { return widget<T>(dialog, name); }
    QString label(const char *name) const { return w<QLabel>(name)->text(); }
    QString edit(const char *name) const { return w<QLineEdit>(name)->text(); }
    void type(const char *name, const QString &text) { typeAndReturn(w<QLineEdit>(name), text); }
    QList<QByteArray> takeWritten()
    {
        const QList<QByteArray> out = instrument.written;
        instrument.written.clear();
        return out;
    }
    FakeInstrument instrument; // outlives the window that writes on it
    InstrumentSession session;
    MainDialog dialog{session};
};

// The 64-byte report of a 10-byte frame: 55 05 01 <code> <v0..v3> EE FF, zeros.
inline QByteArray frame(int code, int v0, int v1, int v2, int v3)
{
    QByteArray r(64, '\0');
    const int bytes[10] = {0x55, 0x05, ReadingsRig::Address, code, v0, v1, v2, v3, 0xEE, 0xFF};
    for (int i = 0; i < 10; ++i)
        r[i] = char(bytes[i]);
    return r;
}

// Closes the next modal message box from the event loop and keeps its text.
struct BoxCatcher : QObject
{
    BoxCatcher()
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timer] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
                timer->stop();
            }
        });
        timer->start(10);
    }
    QString text;
};
