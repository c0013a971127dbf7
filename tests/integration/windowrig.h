#pragma once

#include "devicelink.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "pollcycle.h"
#include "simbootloader.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

// The whole program's window against a simulated instrument served in this
// process, reached through the socket backend as `--device socket:PATH` does.
// The window's own 500 ms timers are stopped so a test moves the exchange one
// tick at a time; the scan worker and the link thread run as in the program.
struct WindowRig
{
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    explicit WindowRig(const QString &setupText = QString(), double speed = 0.0)
    {
        // The settings file lands in the working directory.
        QDir::setCurrent(dir.path());
        SimSetup setup;
        QString error;
        if (!SimSetup::parse(setupText, &setup, &error))
            qFatal("bad setup: %s", qPrintable(error));
        server = std::make_unique<SimServer>(setup, speed);
        server->setUpgradeTarget(&boot);
        path = dir.filePath(QStringLiteral("i.sock"));
        if (!server->listen(path, &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(path));
    }

    ~WindowRig()
    {
        window.reset();
        hid::setBackend(nullptr);
        server.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    MainDialog &open()
    {
        window = std::make_unique<MainDialog>();
        DeviceLink *link = window->deviceLink();
        link->pollTimer()->stop();
        link->readTimer()->stop();
        link->runButtonTimer()->stop();
        window->setMessageBox(
            [this](QWidget *, QMessageBox::Icon icon, const QString &title, const QString &text) {
                boxes.append({icon, title, text});
            });
        return *window;
    }

    // The bus scan that follows every connection has built its list.
    bool waitForList(int timeoutMs = 6000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QTest::qWait(20);
            const InstrumentState &s = window->instrumentState();
            if (!s.scanning && !window->deviceList().pairs().isEmpty() &&
                !window->deviceLink()->scanWorker()->isRunning())
                return true;
        }
        return false;
    }

    // One poll tick, then read ticks until its answer has been decoded.
    bool exchange(int timeoutMs = 3000)
    {
        QSignalSpy refreshed(&window->pollCycle(), &PollCycle::displayRefresh);
        window->pollTick();
        QDeadlineTimer deadline(timeoutMs);
        while (refreshed.isEmpty() && !deadline.hasExpired()) {
            QTest::qWait(2);
            window->readTick();
        }
        return !refreshed.isEmpty();
    }

    // Output reports the instrument received, oldest first.
    QList<QByteArray> sent() const { return server->receivedReports(); }

    // What the simulated instrument at `address` would report now.
    SimReports::Readings readings(quint8 address)
    {
        SimReports::Readings r;
        server->withInstrument([&](SimInstrument &i) {
            if (SimNode *n = i.node(address))
                r = n->readings();
        });
        return r;
    }

    QTemporaryDir dir;
    QString path;
    SimBootloader boot; // outlives the server that hands it the reports
    std::unique_ptr<SimServer> server;
    std::unique_ptr<MainDialog> window;
    QList<Box> boxes;
};
