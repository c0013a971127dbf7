#pragma once

#include "firmwareupgrade.h"
#include "simbootloader.h"

#include <QQueue>
#include <QStringList>

// The window's part around the upgrade, played in-process: the poll tick that
// takes the entry request and puts the instrument into its bootloader, the
// link thread's write (0x55 then packet bytes 0..62), the replies delivered
// one by one as queued signals would, and a clock that only moves when the
// test moves it.
class UpgradeRig : public QObject
{
public:
    FirmwareUpgrade up;
    SimBootloader boot;
    qint64 nowMs = 1700000000000; // a fixed day, in ms since the epoch
    bool linkOpen = true;
    qint64 msPerExchange = 0;

    QList<QByteArray> wire;
    QQueue<QByteArray> inbox;
    QStringList log;
    QList<QPair<QString, QString>> warnings;
    QList<QPair<int, QString>> progress;
    QString buttonText;
    bool buttonEnabled = true;
    int finishedCount = 0;

    UpgradeRig()
    {
        up.setClock([this] { return nowMs; });
        connect(&up, &FirmwareUpgrade::entryFrameRequested, this, [this] {
            if (up.takeEntryRequest() && linkOpen)
                boot.begin(nowMs);
        });
        connect(&up, &FirmwareUpgrade::packetReady, this, [this](const QByteArray &packet) {
            if (!linkOpen)
                return; // the link thread writes nothing while closed
            QByteArray report(64, '\0');
            report[0] = char(0x55);
            report.replace(1, 63, packet.left(63));
            wire << report;
            inbox << boot.receive(report, nowMs);
        });
        connect(&up, &FirmwareUpgrade::logCleared, this, [this] { log.clear(); });
        connect(&up, &FirmwareUpgrade::logLine, this, [this](const QString &l) { log << l; });
        connect(&up, &FirmwareUpgrade::warning, this,
                [this](const QString &t, const QString &x) { warnings << qMakePair(t, x); });
        connect(&up, &FirmwareUpgrade::progressChanged, this,
                [this](int v, const QString &f) { progress << qMakePair(v, f); });
        connect(&up, &FirmwareUpgrade::startButtonChanged, this, [this](const QString &t, bool e) {
            buttonText = t;
            buttonEnabled = e;
        });
        connect(&up, &FirmwareUpgrade::finished, this, [this] { ++finishedCount; });
    }

    // The start click and the 3 s wait, the wait's end called directly.
    bool startAndEnter(const QByteArray &image)
    {
        if (!up.start(image))
            return false;
        nowMs += FirmwareUpgrade::entryWaitMs;
        up.entryWaitElapsed();
        return true;
    }

    // Hands every waiting reply over, one at a time.
    void pump()
    {
        while (!inbox.isEmpty()) {
            up.receive(inbox.dequeue());
            nowMs += msPerExchange;
        }
    }

    // Lets time pass in silence ticks, the bootloader's due replies arriving
    // as they fall due.
    void tick(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            nowMs += FirmwareUpgrade::silenceTickMs;
            inbox << boot.due(nowMs);
            pump();
            up.silenceTick();
        }
    }

    // Runs until the upgrade is over or the limit of ticks is reached.
    void runToEnd(int maxTicks = 1000)
    {
        pump();
        for (int i = 0; i < maxTicks && up.isActive(); ++i)
            tick(1);
    }
};
