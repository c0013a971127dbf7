#include "pollcycle.h"

#include "commandframe.h"
#include "framesender.h"
#include "hidbackend.h"
#include "logging.h"
#include "protocollog.h"
#include "reportdecoder.h"

int readWaitingReports(hid::Handle *handle, InstrumentState &state, const char *tag,
                       const std::function<void(Report::Outcome)> &decoded)
{
    if (!handle)
        return 0;
    unsigned char buffer[hid::ReportSize];
    int whole = 0;
    for (int i = 0; i < PollCycle::MaxReadsPerTick; ++i) {
        const int n = handle->read(buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        if (n >= hid::ReportSize) {
            qCDebug(lcLinkBytes) << tag << n;
            const Report::Outcome outcome = decodeReport(buffer, hid::ReportSize, state);
            ++whole;
            if (decoded)
                decoded(outcome);
        }
    }
    return whole;
}

PollCycle::PollCycle(InstrumentState &state, QObject *parent) : QObject(parent), m_state(state) {}

PollCycle::Tick PollCycle::pollTick(hid::Handle *handle)
{
    m_counter = m_counter >= CounterWrap ? 0 : m_counter + 1;

    Tick tick;
    tick.count = m_counter;
    const bool odd = (m_counter & 1u) != 0;
    const bool upgrade = m_upgradeEntry;
    m_upgradeEntry = false;

    if (handle && !m_state.scanning) {
        QByteArray frame;
        if (upgrade) {
            frame = CommandFrame::firmwareDownloadRequest();
            tick.sent = Request::UpgradeEntry;
        } else if (odd) {
            frame = CommandFrame::measurementPoll(m_state.busAddress);
            tick.sent = Request::Measurements;
        } else {
            frame = CommandFrame::parameterPoll(m_state.busAddress);
            tick.sent = Request::Parameters;
        }
        tick.writeResult = sendFrame(handle, frame);
    }

    tick.sampleTick = odd && !m_state.scanning;
    if (tick.sampleTick)
        emit sampleTick(m_counter);
    return tick;
}

PollCycle::Tick PollCycle::enterUpgrade(hid::Handle *handle)
{
    m_upgradeEntry = true;
    return pollTick(handle);
}

int PollCycle::readTick(hid::Handle *handle, const std::function<void(Report::Outcome)> &decoded)
{
    const int whole = readWaitingReports(handle, m_state, "recv_data", decoded);
    if (whole > 0)
        emit displayRefresh();
    return whole;
}
