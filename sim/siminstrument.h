#pragma once

#include "simnode.h"
#include "simsetup.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <vector>

class SimUpgradeTarget;

// The simulated instrument as the host sees it through one USB port: the
// master and its bus slaves, the frame parser, the bootloader hand-over and
// the clock. It does no I/O and takes no locks; the server serialises calls.
class SimInstrument
{
public:
    explicit SimInstrument(const SimSetup &setup = SimSetup());
    ~SimInstrument();

    const SimSetup &setup() const { return m_setup; }
    // The identity datagram: vendor and product ids and the three strings, as JSON.
    QByteArray identity() const;

    // One output report from the host; the input reports it causes.
    QList<QByteArray> receive(const QByteArray &report);
    // Runs the clock on; returns the reports that fall due meanwhile.
    QList<QByteArray> advance(qint64 ms);
    qint64 nowMs() const { return m_nowMs; }

    SimNode *node(quint8 address);
    SimNode *master() { return m_nodes.front().get(); }

    // The bootloader used after 55 05 09 02 00 00 00 EE FF; none ignores it.
    void setUpgradeTarget(SimUpgradeTarget *target) { m_upgrade = target; }
    bool upgrading() const;

    // Output reports that were no valid command frame, for tests.
    int rejectedFrames() const { return m_rejected; }

    static constexpr quint8 DownloadAddress = 0x09;

private:
    SimSetup m_setup;
    std::vector<std::unique_ptr<SimNode>> m_nodes;
    SimUpgradeTarget *m_upgrade = nullptr;
    bool m_upgradeStarted = false;
    qint64 m_nowMs = 0;
    int m_rejected = 0;
};
