#include "busscan.h"

#include "commandframe.h"
#include "framesender.h"
#include "pollcycle.h"
#include "protocollog.h"

#include <QStringList>

namespace {

int indexNumber(quint8 address)
{
    return (address >> 1) + 1;
}

} // namespace

void BusScan::begin()
{
    m_state.scanning = true;
    m_state.addressList.clear();
}

bool BusScan::probe(hid::Handle *handle, qint16 address)
{
    if (!handle)
        return false;
    sendFrame(handle, CommandFrame::scanProbe(static_cast<unsigned char>(address & 0xFF)));
    qCDebug(lcProtocol) << "设备地址：" << address;
    return true;
}

int BusScan::readAnswers(hid::Handle *handle)
{
    return readWaitingReports(handle, m_state, "已接收到地址数据");
}

DeviceListPlan BusScan::finish(const QString &identity, const QString &typeText,
                               const QString &serial)
{
    DeviceListPlan plan =
        buildPlan(identity, typeText, serial, m_state.masterAddress, m_state.addressList);
    m_state.scanning = false;
    return plan;
}

DeviceListPlan BusScan::buildPlan(const QString &identity, const QString &typeText,
                                  const QString &serial, quint8 masterAddress,
                                  const QByteArray &addressList)
{
    DeviceListPlan plan;
    const QStringList parts = identity.split(QLatin1Char(' '));
    plan.model = parts.value(0);
    plan.version = parts.value(1);
    plan.typeText = typeText;
    plan.shortSerial = serial.left(6);
    plan.titleNumber = indexNumber(masterAddress);

    DeviceEntryPlan master;
    master.address = masterAddress;
    master.master = true;
    master.indexNumber = indexNumber(masterAddress);
    master.state = EntryState::Connected;
    master.ticked = true;
    plan.entries.append(master);

    for (char a : addressList) {
        const quint8 address = quint8(a);
        qCDebug(lcProtocol) << "当前总线地址：" << address;
        if (address == masterAddress)
            continue;
        bool listed = false;
        for (const DeviceEntryPlan &e : qAsConst(plan.entries))
            listed = listed || e.address == address;
        if (listed)
            continue;
        DeviceEntryPlan slave;
        slave.address = address;
        slave.indexNumber = indexNumber(address);
        plan.entries.append(slave);
    }
    qCDebug(lcProtocol) << "设备个数:" << addressList.size();
    return plan;
}

QString BusScan::deviceTitle(const QString &model, const QString &number)
{
    return QStringLiteral(" | ") + model + QLatin1Char(' ') + number;
}

QString BusScan::deviceTitleNull(const QString &model)
{
    return deviceTitle(model, QStringLiteral("Null"));
}
