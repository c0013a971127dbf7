#pragma once

#include "measurementrecord.h"

#include <QString>
#include <QVector>

namespace hid {
class Handle;
}

// Presentation states of a device list entry.
namespace EntryState {
enum : quint8 { Idle = 0, Error = 1, Connected = 2 };
}

// One row of the device list as plain data.
struct DeviceEntryPlan
{
    quint8 address = 0;
    bool master = false; // "主:%1" index text, else "从:%1"
    int indexNumber = 0; // (address >> 1) + 1
    quint8 state = EntryState::Idle;
    bool ticked = false;
};

// The device list a finished scan yields: the master first, then each slave
// once. Only the master's identity is known, so every row shows it.
struct DeviceListPlan
{
    QString model;       // product string before the first blank
    QString version;     // the part after it; empty leaves the entry's default
    QString typeText;    // manufacturer string
    QString shortSerial; // first 6 characters of the serial number
    QVector<DeviceEntryPlan> entries;
    int titleNumber = 1; // for the device title, (master address >> 1) + 1
};

// The bus scan through the opened master: probes addresses 1 to 10, reads the
// answers into the decoder's address list and builds the device list. The
// pacing between the steps is the scan worker's.
class BusScan
{
public:
    static constexpr int FirstAddress = 1;
    static constexpr int LastAddress = 10;

    explicit BusScan(InstrumentState &state) : m_state(state) {}

    // A scan starts: the poll tick falls silent and the address list empties.
    void begin();
    // Sends the probe for `address` (low 8 bits). False without a handle.
    bool probe(hid::Handle *handle, qint16 address);
    // Decodes every report waiting on the handle; answers land in the address
    // list. Returns the number of whole reports read.
    int readAnswers(hid::Handle *handle);
    // The scan ends: builds the list from the master's identity strings and
    // the addresses that answered, and lets the poll tick run again.
    DeviceListPlan finish(const QString &identity, const QString &typeText, const QString &serial);

    // The builder alone, for callers that keep their own scanning flag.
    static DeviceListPlan buildPlan(const QString &identity, const QString &typeText,
                                    const QString &serial, quint8 masterAddress,
                                    const QByteArray &addressList);

    // The device title of the readings page: " | <model> <number>".
    static QString deviceTitle(const QString &model, const QString &number);
    // The device title when no entry is selected.
    static QString deviceTitleNull(const QString &model);

private:
    InstrumentState &m_state;
};
