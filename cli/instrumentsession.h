#pragma once

#include "devicelink.h"
#include "measurementrecord.h"
#include "pollcycle.h"
#include "reportdecoder.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

// The tool's conversation with one instrument: the window's connection
// lifecycle (link thread, main handle, 500 ms timers), the decoder state of
// the addressed instrument, and the two ways of asking it things: the
// window's poll cadence (for log and watch) and a quick exchange that asks
// for fresh reports until a condition holds or the time is up (for commands).
class InstrumentSession : public QObject
{
    Q_OBJECT
public:
    explicit InstrumentSession(QObject *parent = nullptr);
    ~InstrumentSession() override;

    // Connects; false when no instrument answers (nothing found, or it cannot be opened).
    bool open();
    void close();

    void setAddress(quint8 address) { m_state.busAddress = address; }
    quint8 address() const { return m_state.busAddress; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }

    DeviceLink &link() { return *m_link; }
    hid::Handle *handle() const;
    InstrumentState &state() { return m_state; }
    const MeasurementRecord &record() const { return m_state.record; }
    PollCycle &pollCycle() { return m_poll; }

    QString product() const;    // "KV37 V1.0.0"
    QString model() const;      // "KV37"
    QString version() const;    // "V1.0.0"
    quint8 deviceClass() const; // DeviceModel::Class of the model word
    bool connected() const { return m_connected; }

    // Writes one command frame; false when it did not go out whole.
    bool send(const QByteArray &frame);

    // Reads every waiting report, decodes it and emits reportDecoded for each.
    int readReports();
    bool haveMeasurements() const { return m_measurementsSeen > 0; }
    bool haveParameters() const { return m_parametersSeen > 0; }

    // The window's cadence: the 500 ms poll tick (parameters and measurements
    // in turn, sampleTick once a second) and the 500 ms read tick.
    void startPolling();
    void stopPolling();

    // Asks for fresh reports of the kinds named until `satisfied` holds after
    // one (checked once every named kind has answered since the call), then
    // calls done(true); done(false) when the time runs out. One wait at a time.
    struct Wait
    {
        bool parameters = false;
        bool measurements = false;
        std::function<bool()> satisfied; // none: the first fresh answers suffice
    };
    void await(const Wait &wait, std::function<void(bool ok)> done);
    void cancelWait();

signals:
    void reportDecoded(Report::Outcome outcome);
    void sampleTick();
    // The instrument went away, and came back (the link's own reconnection).
    void lost();
    void reconnected();

private:
    void requestFor(const Wait &w);
    void pump();
    void finishWait(bool ok);

    InstrumentState m_state;
    PollCycle m_poll;
    std::unique_ptr<DeviceLink> m_link;
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_polling = false;
    int m_timeoutMs = 5000;

    int m_measurementsSeen = 0;
    int m_parametersSeen = 0;
    // Requests written whose answers have not come yet; answers to requests
    // made before a command may still show the old state.
    int m_parametersOutstanding = 0;
    int m_measurementsOutstanding = 0;

    QTimer m_pumpTimer;
    QTimer m_resendTimer;
    QTimer m_deadline;
    bool m_waiting = false;
    Wait m_wait;
    std::function<void(bool)> m_done;
    int m_skipParameters = 0;
    int m_skipMeasurements = 0;
    int m_freshParameters = 0;
    int m_freshMeasurements = 0;
};
