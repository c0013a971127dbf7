#include "siminstrument.h"

#include "simupgradetarget.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The three codes of the 9-byte form carry their trailer one byte earlier.
bool isShortForm(quint8 code)
{
    return code == 0x02 || code == 0x03 || code == 0x05;
}

} // namespace

SimInstrument::SimInstrument(const SimSetup &setup) : m_setup(setup)
{
    m_nodes.push_back(std::make_unique<SimNode>(SimSetup::MasterAddress, true, setup.family(), 1));
    // The battery the setup names is the master's.
    if (setup.batteryOhm > 0)
        m_nodes.front()->battery().internalOhm = setup.batteryOhm;
    if (setup.batteryAh > 0)
        m_nodes.front()->battery().capacityAh = setup.batteryAh;
    unsigned seed = 2;
    for (quint8 a : setup.slaves) {
        if (a != SimSetup::MasterAddress)
            m_nodes.push_back(std::make_unique<SimNode>(a, false, setup.family(), seed++));
    }
}

SimInstrument::~SimInstrument() = default;

QByteArray SimInstrument::identity() const
{
    QJsonObject o;
    o.insert(QStringLiteral("vendor_id"), 0x0483);
    o.insert(QStringLiteral("product_id"), 0x5750);
    o.insert(QStringLiteral("manufacturer"), QStringLiteral("USB Tester Simulator"));
    o.insert(QStringLiteral("product"), m_setup.productString());
    o.insert(QStringLiteral("serial"), m_setup.serial);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

SimNode *SimInstrument::node(quint8 address)
{
    for (auto &n : m_nodes) {
        if (n->address() == address)
            return n.get();
    }
    return nullptr;
}

bool SimInstrument::upgrading() const
{
    return m_upgrade && m_upgradeStarted && m_upgrade->active();
}

QList<QByteArray> SimInstrument::receive(const QByteArray &report)
{
    if (upgrading())
        return m_upgrade->receive(report, m_nowMs);
    m_upgradeStarted = false;

    if (report.size() < 10 || quint8(report[0]) != 0x55 || quint8(report[1]) != 0x05) {
        ++m_rejected;
        return {};
    }
    const quint8 address = quint8(report[2]);
    const quint8 code = quint8(report[3]);
    const int trailer = isShortForm(code) ? 7 : 8;
    if (quint8(report[trailer]) != 0xEE || quint8(report[trailer + 1]) != 0xFF) {
        ++m_rejected;
        return {};
    }
    if (code == 0x02) {
        if (address == DownloadAddress && m_upgrade) {
            m_upgrade->begin(m_nowMs);
            m_upgradeStarted = true;
        }
        return {};
    }
    SimNode *target = node(address);
    if (!target)
        return {}; // nobody on the bus at that address
    return target->command(report.left(10));
}

QList<QByteArray> SimInstrument::advance(qint64 ms)
{
    QList<QByteArray> due;
    while (ms > 0) {
        const qint64 step = qMin<qint64>(ms, 100);
        m_nowMs += step;
        ms -= step;
        for (auto &n : m_nodes)
            n->advance(step / 1000.0);
        if (upgrading())
            due += m_upgrade->due(m_nowMs);
    }
    return due;
}
