#pragma once

#include <QByteArray>
#include <QList>

// The instrument's bootloader as the simulated instrument sees it. After the
// download request (55 05 09 02 ...) the instrument hands every output report
// to its upgrade target until the target is no longer active, and sends
// whatever input reports the target returns to every open connection.
class SimUpgradeTarget
{
public:
    virtual ~SimUpgradeTarget() = default;
    // The instrument has just entered its bootloader.
    virtual void begin(qint64 nowMs) = 0;
    // One 64-byte output report as the host wrote it; the replies to send now.
    virtual QList<QByteArray> receive(const QByteArray &report, qint64 nowMs) = 0;
    // Replies that fall due by nowMs without a new report (e.g. after the burn time).
    virtual QList<QByteArray> due(qint64 nowMs) = 0;
    // False once the upgrade is over (done or failed) and the instrument runs normally again.
    virtual bool active() const = 0;
};
