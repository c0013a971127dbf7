#pragma once

#include "instrumentsession.h"
#include "measurementrecord.h"
#include "samplestore.h"
#include "stepresult.h"
#include "testprogram.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class HistoryWriter;

// Runs a test program on an electronic load through the instrument session:
// the window's program page and `usb-tester-cli program` drive the same one.
// Every setting is confirmed from a fresh report before the program goes on,
// limits are judged only on fresh measurements, and whenever the program
// ends, is aborted or fails the load is stopped and the stop confirmed.
// When the instrument goes away the program holds; once it is back the front
// end answers resume() or abort().
class ProgramRunner : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Idle,
        Running,
        Pausing,        // the user paused: the load is being stopped
        Paused,         // held by the user, load off
        WaitingForUser, // a pause step: confirm() goes on
        InstrumentLost, // the program holds until the instrument is back
        AskingToResume, // back after a loss: resume() or abort()
        Stopping,       // ending: the load is being stopped
        Finished,
    };
    Q_ENUM(State)
    enum class Outcome { Completed, Aborted, Failed };
    Q_ENUM(Outcome)
    enum class Failure {
        None,
        InvalidProgram,    // start() was given a program that does not pass the checks
        NotConnected,      // no instrument when started
        NotALoad,          // a power tester or an unknown model
        NotConfirmed,      // a setting or a run change was not confirmed (see failedSetting)
        WriteFailed,       // frames could not be written
        NoReadings,        // no fresh measurement while the program needed them
        InstrumentStopped, // the load stopped by itself for no reason of the step's
        NoCurrentChange,   // a DCIR step whose two currents did not differ
        StopUnconfirmed,   // the load's stop was never confirmed: it may still run
        InstrumentGone,    // given up while the instrument was away: the load may still run
    };
    Q_ENUM(Failure)
    enum class Setting { None, Readings, ClearData, Mode, Value, Cutoff, TimeLimit, Run, Stop };
    Q_ENUM(Setting)

    // Where the program is: the step ("3.1") and the pass of each repeat around it.
    struct Position
    {
        QString step;
        QVector<int> passes;
        QVector<int> totals; // each repeat's count, 0 when it runs until a condition
        const ProgramStep *current = nullptr;
    };

    explicit ProgramRunner(InstrumentSession &session, HistoryWriter *history = nullptr,
                           QObject *parent = nullptr);
    // Still running: the stop frame goes out (nothing can wait for its confirmation now).
    ~ProgramRunner() override;

    // The history the whole program goes into as one run (or none).
    void setHistory(HistoryWriter *history) { m_history = history; }
    // How long without a fresh measurement counts as the instrument not
    // answering (at least the session's own timeout).
    void setReadingsTimeoutMs(int ms) { m_readingsTimeoutMs = ms; }

    // Starts a checked program; false (with failure()) when it cannot start:
    // no instrument, not an electronic load, invalid program, already running.
    bool start(const TestProgram &program);
    void pause();
    // After a pause, or after the instrument came back from a loss.
    void resume();
    // Goes on past a pause step.
    void confirm();
    // Stops the load and ends; while the instrument is away, once it is back.
    void abort();
    // Ends at once without waiting for the instrument (it may still run).
    void giveUp();

    State state() const { return m_state; }
    bool active() const { return m_state != State::Idle && m_state != State::Finished; }
    Outcome outcome() const { return m_outcome; }
    // "completed", "aborted" or "failed", as results and reports store it.
    static QString outcomeWord(Outcome outcome);
    Failure failure() const { return m_failure; }
    Setting failedSetting() const { return m_failedSetting; }
    // The last stop sent was confirmed by the instrument.
    bool loadStopConfirmed() const { return m_stopConfirmed; }
    // Abort was asked while the instrument was away: it ends once it is back.
    bool abortPending() const { return m_abortWhenBack; }
    const TestProgram &program() const { return m_program; }
    Position position() const;
    QString pauseMessage() const;
    double stepElapsedS() const;
    double programElapsedS() const;
    // 0..1 toward the step's nearest end condition, or -1 when it has none to measure.
    double stepProgress() const;
    // Delivered so far in the current step.
    double stepCapacityMah() const;
    double stepEnergyWh() const;
    const QVector<StepResult> &results() const { return m_results; }
    QJsonObject resultsDocument() const;

signals:
    void stateChanged(ProgramRunner::State state);
    void stepStarted(const ProgramRunner::Position &position);
    void stepFinished(const StepResult &result);
    // A fresh measurement was judged (the current step's figures changed).
    void progress();
    void pauseStepReached(const QString &message);
    void instrumentLost();
    // Back after a loss: answer resume() or abort().
    void resumeQuestion();
    // Once a second while active, from a fresh measurement: the run's samples.
    void sampled(qint64 timeMs, const SampleStore::Values &values);
    void finished(ProgramRunner::Outcome outcome, ProgramRunner::Failure failure);

private:
    enum class Phase { None, Preparing, Loaded, Level1, Level2, Reading, Ending, Resting, Waiting };
    struct Frame
    {
        const QVector<ProgramStep> *list;
        int index;
        const ProgramStep *repeat; // null for the program itself
        int pass;
        bool endRepeat;
        qint64 startMs; // when the repeat began
    };
    struct Counter
    {
        bool started = false;
        double first = 0, last = 0, carried = 0;
        void begin(double v);
        void add(double v);
        double grown() const { return started ? carried + last - first : 0; }
    };
    // One setting or run change of the instrument, with what follows its confirmation.
    struct Order
    {
        Setting what;
        std::function<InstrumentSession::Change()> send;
        std::function<void()> after;
    };

    void setState(State s);
    void enterNext();
    void beginStep(const ProgramStep &step);
    void stepDone(StepResult::End end);
    void prepareDischarge(bool resuming);
    void prepareDcir(bool resuming);
    void startLoaded();
    void readLevel(int level);
    void readLevelDone(int level, bool ok);
    void endLoadStep(StepResult::End end);
    void endRest(StepResult::End end, bool readFirst);
    void resumeStep();
    // The step's first phase, on a fresh start or on resuming it.
    void enterStep(bool resuming);
    void onReport(Report::Outcome outcome);
    void judgeLoaded(const MeasurementRecord &r, bool running);
    StepResult::End selfStopEnd() const;
    void onTick();
    void onSampleTick();
    void onLost();
    void onReconnected();

    // Sends the changes one after the other, each confirmed before the next.
    void apply(QList<Order> orders, std::function<void()> then, int attempt = 0);
    // Stops the load and waits for the confirmation; done(false) after the tries.
    void stopLoad(std::function<void(bool)> done, int attempt = 0);
    // The session's await, watched: answered false if it never answers.
    void awaitReports(const InstrumentSession::Wait &wait, std::function<void(bool)> done);
    // Whatever the program waited for is no longer wanted.
    void cancelWaits();
    void fail(Failure failure, Setting setting = Setting::None);
    void endProgram(Outcome outcome);
    // The results so far go into the history's open run.
    void storeResults();
    void finalize();
    void feedCounters(const MeasurementRecord &r);
    void clockStart();
    void clockStop();
    qint64 nowMs() const { return m_monotonic.elapsed(); }
    bool stale() const;
    void beginHistory();

    InstrumentSession &m_session;
    HistoryWriter *m_history;
    int m_readingsTimeoutMs = 0;

    TestProgram m_program;
    QVector<Frame> m_stack;
    QVector<StepResult> m_results;
    State m_state = State::Idle;
    State m_stateBeforeLoss = State::Idle;
    Phase m_phase = Phase::None;
    Outcome m_outcome = Outcome::Completed;
    Failure m_failure = Failure::None;
    Setting m_failedSetting = Setting::None;
    bool m_stopConfirmed = true;
    bool m_abortWhenBack = false;
    bool m_startedPolling = false;
    // Bumped whenever the program leaves what it was waiting for, so that
    // answers to waits of an earlier phase are ignored.
    quint64 m_epoch = 0;
    quint64 m_waitSerial = 0;
    std::function<void(bool)> m_waitDone;
    qint64 m_waitSinceMs = 0;

    // The current step.
    const ProgramStep *m_step = nullptr;
    StepResult m_result;
    bool m_instrumentLimit = false;
    Counter m_capacity;
    Counter m_energy;
    double m_lastLoadedV = 0;
    double m_startV = 0; // the first voltage under load
    int m_dcirLevel = 0;
    double m_v1 = 0, m_i1 = 0;

    QElapsedTimer m_monotonic;
    qint64 m_stepAccumulatedMs = 0;
    qint64 m_stepClockFromMs = -1; // -1: the step's clock stands
    qint64 m_levelFromMs = 0;
    qint64 m_lastFreshMs = 0;
    qint64 m_programStartMs = 0;
    QTimer m_tick;
    FreshMeasurement m_judged;
    FreshMeasurement m_sampledFresh;
};

Q_DECLARE_METATYPE(ProgramRunner::Position)
Q_DECLARE_METATYPE(StepResult)
