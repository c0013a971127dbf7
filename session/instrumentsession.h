#pragma once

#include "busscan.h"
#include "devicelink.h"
#include "measurementrecord.h"
#include "pollcycle.h"
#include "reportdecoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class FirmwareUpgrade;

// The one conversation with an instrument that every front end shares (the
// window, the command-line tool, test programs, the SCPI server): the
// connection lifecycle (link thread, main handle, 500 ms timers), the decoder
// state of the addressed instrument, the poll and read ticks, and
// instrument-level commands, each of which can be confirmed from the next
// fresh report. It hands states and values upward; the front ends turn them
// into words. Lives on the thread that owns its main handle (the GUI thread).
class InstrumentSession : public QObject
{
    Q_OBJECT
public:
    // The settings file belongs to a layer above; its owner may hand it over.
    explicit InstrumentSession(const SettingsAccess &settings = {}, QObject *parent = nullptr);
    ~InstrumentSession() override;

    // Makes the first connection attempt and starts the link thread and the
    // timers; false when no instrument answered (it is then looked for again).
    bool open();
    // Stops the link thread, the timers and a running scan.
    void close();

    DeviceLink &link() { return *m_link; }
    const DeviceLink &link() const { return *m_link; }
    // The handle every frame goes out on and every report is read from: the
    // link's main handle, or one a test put in its place until the next
    // connection. Null while closed.
    hid::Handle *handle() const;
    void setHandle(hid::Handle *handle);

    InstrumentState &state() { return m_state; }
    const InstrumentState &state() const { return m_state; }
    const MeasurementRecord &record() const { return m_state.record; }
    PollCycle &pollCycle() { return m_poll; }
    BusScan &busScan() { return m_scan; }

    void setAddress(quint8 address) { m_state.busAddress = address; }
    quint8 address() const { return m_state.busAddress; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }

    QString product() const; // "KV37 V1.0.0"
    QString model() const;   // "KV37"
    QString version() const; // "V1.0.0"
    QString manufacturer() const;
    QString serialNumber() const;
    quint8 deviceClass() const; // DeviceModel::Class of the model word
    // The link is up and the main handle open.
    bool connected() const { return m_connected; }

    // Writes one command frame; false when it did not go out whole.
    bool send(const QByteArray &frame);

    // --- the 500 ms ticks ---
    // While polling, the link's poll and read timers drive pollTick() and
    // readTick(); either may also be called directly.
    void startPolling();
    void stopPolling();
    bool polling() const { return m_polling; }
    // Parameters on even, measurements on odd counts; sampleTick once a second.
    PollCycle::Tick pollTick();
    // Decodes every waiting report; displayRefresh once when one came.
    int readTick();
    bool haveMeasurements() const { return m_measurementsSeen > 0; }
    bool haveParameters() const { return m_parametersSeen > 0; }

    // --- the fresh-report exchange ---
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

    // --- instrument-level commands ---
    // Each builds its frame(s) with the current bus address and sends them.
    // `confirm` is the wait that shows the instrument took it.
    struct Change
    {
        bool sent = false;
        Wait confirm;
    };
    enum class Calibration { Voltage, Current, Temperature };
    enum class Threshold { OverCurrent, OverPower, ProbeTemperature, MosTemperature };
    enum class Level { Brightness, StandbyBrightness, StandbyTime };

    Change setWorkMode(quint8 mode); // 0..9 as the parameter report shows it
    Change setValue(float value);
    Change setCutoffVoltage(float volts);
    Change setFullVoltage(float volts);
    Change setFullCurrent(float amps);
    Change setTimeLimit(int hours, int minutes);
    Change setTimeLimitHours(int hours);
    Change setTimeLimitMinutes(int minutes);
    // Starting a cycle mode may raise the continue-or-clear prompt instead.
    Change run(bool running);
    // The prompt's choice as the instrument numbers it (1 cancel ... 5 ok).
    Change answerPrompt(int choice);
    Change setDisplayStyle(int style);
    Change setLevel(Level level, int value);
    Change setCalibration(Calibration which, float factor);
    Change setThreshold(Threshold which, float value);
    Change setShunt(int index); // power testers: 0 (30A) .. 7 (1000A)
    Change zeroCurrent();
    Change clearData();
    Change factoryReset();
    // Page codes and the settings read request that go with the window's pages.
    bool sendPageCode(unsigned char code);
    bool requestParameters();

    // The instrument shows the continue-or-clear prompt of its cycle modes.
    static bool promptShowing(const MeasurementRecord &r);
    // A float as the instrument reports it back after taking `wanted`.
    static bool sameFloat(float reported, double wanted);

    // Connects an upgrade to this instrument: its entry frame goes out through
    // the poll cycle, its packets through the link thread, and the link's
    // replies and send errors come back to it.
    void attachUpgrade(FirmwareUpgrade *upgrade);

signals:
    // After each poll tick: the frame it sent and whether it samples.
    void polled(const PollCycle::Tick &tick);
    // Odd poll ticks outside a bus scan: the chart, the record and the log may sample.
    void sampleTick(quint32 count);
    // After a read tick that decoded at least one whole report.
    void displayRefresh();
    void reportDecoded(Report::Outcome outcome);
    // The main handle opened (each connection), and the instrument went away.
    void connectedToInstrument();
    void lost();
    // Back after a loss (the link's own reconnection).
    void reconnected();

private:
    Change sendChange(const QList<QByteArray> &frames, Wait confirm);
    Change parameterChange(const QByteArray &frame,
                           std::function<bool(const MeasurementRecord &)> shows);
    Change floatChange(unsigned char code, float value, float MeasurementRecord::*field);
    void countReport(Report::Outcome outcome);
    void requestFor(const Wait &w);
    void finishWait(bool ok);

    InstrumentState m_state;
    PollCycle m_poll;
    BusScan m_scan;
    std::unique_ptr<DeviceLink> m_link;
    hid::Handle *m_handle = nullptr;
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_polling = false;
    int m_timeoutMs = 5000;

    int m_measurementsSeen = 0;
    int m_parametersSeen = 0;
    // Requests written whose answers have not come yet, by the time each went
    // out; answers to requests made before a command may still show the old
    // state. The instrument answers in order within a few tens of
    // milliseconds, so a request older than LostAfterMs whose answer is not in
    // was lost: counting it for ever would make every later wait skip a fresh
    // answer in its place, and letting a later answer take it off would leave
    // the request answered counted instead.
    class Outstanding
    {
    public:
        static constexpr qint64 LostAfterMs = 300;
        void sent(qint64 now)
        {
            expire(now);
            m_sentAt.push_back(now);
        }
        void answered(qint64 now)
        {
            expire(now);
            if (!m_sentAt.empty())
                m_sentAt.pop_front();
        }
        int pending(qint64 now)
        {
            expire(now);
            return int(m_sentAt.size());
        }
        void clear() { m_sentAt.clear(); }

    private:
        void expire(qint64 now)
        {
            while (!m_sentAt.empty() && now - m_sentAt.front() > LostAfterMs)
                m_sentAt.pop_front();
        }
        std::deque<qint64> m_sentAt;
    };
    Outstanding m_parametersOutstanding;
    Outstanding m_measurementsOutstanding;
    QElapsedTimer m_clock;

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
