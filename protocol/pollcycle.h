#pragma once

#include "measurementrecord.h"
#include "reportdecoder.h"

#include <QObject>
#include <functional>

namespace hid {
class Handle;
}

// Reads every input report waiting on `handle` (each read with timeout 0,
// until one yields nothing) and decodes each in order into `state`. Returns
// the number of whole reports read. A bounded number of reads per call keeps
// an instrument that never stops sending from holding the caller forever.
// `tag` is logged for every whole report; `decoded`, when given, hears each
// report's outcome in order.
int readWaitingReports(hid::Handle *handle, InstrumentState &state, const char *tag = "recv_data",
                       const std::function<void(Report::Outcome)> &decoded = {});

// The request and read cycle of the selected instrument, driven by two 500 ms
// timers of the owner: the poll tick asks for parameters on even and for
// measurements on odd counts; the read tick takes in whatever has arrived.
// Handles are given per call because the owner replaces its main handle on
// every connection; null means not open.
class PollCycle : public QObject
{
    Q_OBJECT
public:
    enum class Request { None, Parameters, Measurements, UpgradeEntry };

    struct Tick
    {
        quint32 count = 0; // the counter after this tick's advance
        Request sent = Request::None;
        int writeResult = 0;     // of the frame sent, 0 when none was
        bool sampleTick = false; // odd count and no bus scan: the chart and record may sample
    };

    static constexpr quint32 CounterWrap = 0x0FFFFFFF;
    // Four times what a kernel queue holds.
    static constexpr int MaxReadsPerTick = 256;

    explicit PollCycle(InstrumentState &state, QObject *parent = nullptr);

    InstrumentState &state() { return m_state; }
    quint32 counter() const { return m_counter; }
    // Resumes counting from `value` (the next tick advances it first).
    void setCounter(quint32 value) { m_counter = value; }

    // One poll tick. Emits sampleTick() when sampleTick is set.
    Tick pollTick(hid::Handle *handle);
    // Puts the cycle into its upgrade-entry state and runs one tick at once,
    // which sends the firmware-download request instead of a poll. The state
    // ends with that tick even when nothing could be sent (no handle, bus scan),
    // so a stale request never reaches the instrument later.
    Tick enterUpgrade(hid::Handle *handle);
    // One read tick: decodes every waiting report (each outcome to `decoded`,
    // when given), then emits displayRefresh() once when at least one whole
    // report came. Returns the number read.
    int readTick(hid::Handle *handle, const std::function<void(Report::Outcome)> &decoded = {});

signals:
    void sampleTick(quint32 count);
    void displayRefresh();

private:
    InstrumentState &m_state;
    quint32 m_counter = 0;
    bool m_upgradeEntry = false;
};
