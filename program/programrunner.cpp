#include "programrunner.h"

#include "devicemodel.h"
#include "historywriter.h"
#include "programlog.h"
#include "samplevalues.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QPointer>
#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcProgram, "usbtester.program")

namespace {

constexpr int TickMs = 200;
constexpr int ChangeAttempts = 3;
constexpr int StopAttempts = 3;
constexpr int RetryDelayMs = 500;
// The instrument's own time limit ends the step; the program stops the load
// itself only when the instrument has not done so this long after.
constexpr qint64 LimitGraceMs = 3000;
// The instrument takes whole minutes up to 99 h 59 min.
constexpr int MaxLimitMinutes = 99 * 60 + 59;
// Readings come once a second; this long without one while the program
// needs them, the instrument is not answering.
constexpr int MinReadingsTimeoutMs = 15000;
// A counter reading that grew by this much shows the load ran.
constexpr float CounterStep = 0.0005f;

double nan()
{
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace

void ProgramRunner::Counter::begin(double v)
{
    started = true;
    first = last = v;
    carried = 0;
}

void ProgramRunner::Counter::add(double v)
{
    if (!started)
        return begin(v);
    // Cleared on the instrument meanwhile: count on from the new value.
    if (v < last) {
        carried += last - first;
        first = v;
    }
    last = v;
}

ProgramRunner::ProgramRunner(InstrumentSession &session, HistoryWriter *history, QObject *parent)
    : QObject(parent), m_session(session), m_history(history)
{
    qRegisterMetaType<ProgramRunner::Position>();
    qRegisterMetaType<StepResult>();
    m_monotonic.start();
    m_tick.setInterval(TickMs);
    connect(&m_tick, &QTimer::timeout, this, &ProgramRunner::onTick);
    connect(&session, &InstrumentSession::reportDecoded, this, &ProgramRunner::onReport);
    connect(&session, &InstrumentSession::sampleTick, this, &ProgramRunner::onSampleTick);
    connect(&session, &InstrumentSession::lost, this, &ProgramRunner::onLost);
    connect(&session, &InstrumentSession::reconnected, this, &ProgramRunner::onReconnected);
}

ProgramRunner::~ProgramRunner()
{
    if (!active())
        return;
    // Nothing can wait for an answer any more; the stop at least goes out.
    qCWarning(lcProgram) << "program destroyed while active: stopping the load unconfirmed";
    if (m_waitDone)
        m_session.cancelWait();
    if (m_session.connected())
        m_session.run(false);
    if (m_history && m_history->runOpen()) {
        storeResults();
        m_history->endRun(QStringLiteral("program interrupted"));
    }
}

// --- control ---

bool ProgramRunner::start(const TestProgram &program)
{
    if (active())
        return false;
    m_failure = Failure::None;
    m_failedSetting = Setting::None;
    ProgramIssue issue;
    if (!ProgramFile::validate(program, &issue))
        m_failure = Failure::InvalidProgram;
    else if (!m_session.connected() || !m_session.handle())
        m_failure = Failure::NotConnected;
    else if (m_session.deviceClass() != DeviceModel::ElectronicLoad)
        m_failure = Failure::NotALoad;
    if (m_failure != Failure::None)
        return false;

    m_program = program;
    m_results.clear();
    m_stack = {Frame{&m_program.steps, 0, nullptr, 1, false, 0}};
    m_outcome = Outcome::Completed;
    m_stopConfirmed = true;
    m_abortWhenBack = false;
    m_step = nullptr;
    m_phase = Phase::None;
    ++m_epoch;
    m_programStartMs = nowMs();
    m_lastFreshMs = nowMs();
    m_judged.take(m_session.state());
    m_sampledFresh.take(m_session.state());
    m_startedPolling = !m_session.polling();
    if (m_startedPolling)
        m_session.startPolling();
    qCDebug(lcProgram) << "program" << m_program.name << "starts," << m_program.stepCount()
                       << "steps";
    setState(State::Running);
    m_tick.start();
    beginHistory();
    // A load the user left running is stopped first: the program owns it now.
    m_phase = Phase::Preparing;
    stopLoad([this](bool ok) {
        if (!ok)
            return fail(Failure::StopUnconfirmed, Setting::Stop);
        enterNext();
    });
    return true;
}

void ProgramRunner::pause()
{
    if (m_state != State::Running)
        return;
    cancelWaits();
    clockStop();
    setState(State::Pausing);
    stopLoad([this](bool ok) {
        if (!ok)
            return fail(Failure::StopUnconfirmed, Setting::Stop);
        setState(State::Paused);
    });
}

void ProgramRunner::resume()
{
    if (m_state == State::Paused) {
        setState(State::Running);
        resumeStep();
        return;
    }
    if (m_state != State::AskingToResume)
        return;
    // What the instrument did while away is unknown: from a stopped load on.
    const State before = m_stateBeforeLoss;
    setState(State::Running);
    m_phase = Phase::Preparing;
    stopLoad([this, before](bool ok) {
        if (!ok)
            return fail(Failure::StopUnconfirmed, Setting::Stop);
        if (before == State::Paused || before == State::Pausing) {
            setState(State::Paused);
        } else if (before == State::WaitingForUser && m_step) {
            m_phase = Phase::Waiting;
            clockStart();
            setState(State::WaitingForUser);
            emit pauseStepReached(m_step->message);
        } else {
            resumeStep();
        }
    });
}

void ProgramRunner::confirm()
{
    if (m_state != State::WaitingForUser)
        return;
    setState(State::Running);
    stepDone(StepResult::End::Confirmed);
}

void ProgramRunner::abort()
{
    if (!active() || m_state == State::Stopping)
        return;
    if (m_state == State::InstrumentLost) {
        // The load can only be stopped once the instrument is back.
        if (m_failure == Failure::None)
            m_outcome = Outcome::Aborted;
        m_abortWhenBack = true;
        emit stateChanged(m_state);
        return;
    }
    cancelWaits();
    endProgram(Outcome::Aborted);
}

void ProgramRunner::giveUp()
{
    if (!active())
        return;
    cancelWaits();
    m_outcome = Outcome::Failed;
    if (m_failure == Failure::None || m_failure == Failure::StopUnconfirmed)
        m_failure =
            m_state == State::InstrumentLost ? Failure::InstrumentGone : Failure::StopUnconfirmed;
    m_stopConfirmed = false;
    finalize();
}

// --- walking the steps ---

void ProgramRunner::enterNext()
{
    for (;;) {
        Frame &f = m_stack.last();
        if (f.index < f.list->size()) {
            beginStep(f.list->at(f.index));
            return;
        }
        if (m_stack.size() == 1)
            return endProgram(Outcome::Completed);
        const ProgramStep &repeat = *f.repeat;
        if (!f.endRepeat && (repeat.times == 0 || f.pass < repeat.times)) {
            ++f.pass;
            f.index = 0;
            continue;
        }
        const int passes = f.pass;
        const qint64 began = f.startMs;
        m_stack.removeLast();
        StepResult r;
        const Position p = position();
        r.step = p.step;
        r.passes = p.passes;
        r.kind = StepKind::Repeat;
        r.name = repeat.name;
        r.end = StepResult::End::Done;
        r.passesDone = passes;
        r.durationS = (nowMs() - began) / 1000.0;
        m_results.append(r);
        emit stepFinished(r);
        if (m_history)
            storeResults();
        ++m_stack.last().index;
    }
}

void ProgramRunner::beginStep(const ProgramStep &step)
{
    if (step.kind == StepKind::Repeat) {
        m_stack.append(Frame{&step.steps, 0, &step, 1, false, nowMs()});
        return enterNext();
    }
    m_step = &step;
    const Position p = position();
    m_result = StepResult();
    m_result.step = p.step;
    m_result.passes = p.passes;
    m_result.kind = step.kind;
    m_result.name = step.name;
    m_capacity = Counter();
    m_energy = Counter();
    m_stepAccumulatedMs = 0;
    m_stepClockFromMs = -1;
    m_lastLoadedV = nan();
    m_startV = nan();
    m_dcirLevel = 0;
    m_lastFreshMs = nowMs();
    qCDebug(lcProgram) << "step" << p.step << ProgramFile::kindWord(step.kind) << "passes"
                       << p.passes;
    emit stepStarted(p);
    enterStep(false);
}

void ProgramRunner::enterStep(bool resuming)
{
    switch (m_step->kind) {
    case StepKind::Discharge:
        return prepareDischarge(resuming);
    case StepKind::Dcir:
        // A measurement broken off is taken again from its first level.
        return prepareDcir(resuming);
    case StepKind::Rest:
        m_phase = Phase::Resting;
        clockStart();
        return;
    case StepKind::Pause:
        m_phase = Phase::Waiting;
        clockStart();
        setState(State::WaitingForUser);
        emit pauseStepReached(m_step->message);
        return;
    case StepKind::Repeat:
        break;
    }
}

void ProgramRunner::stepDone(StepResult::End end)
{
    clockStop();
    m_result.end = end;
    m_result.durationS = m_stepAccumulatedMs / 1000.0;
    if (m_step->kind == StepKind::Discharge || m_step->kind == StepKind::Dcir) {
        m_result.capacityMah = m_capacity.grown();
        m_result.energyWh = m_energy.grown();
        if (m_result.endV != m_result.endV)
            m_result.endV = m_lastLoadedV;
    }
    const ProgramStep &step = *m_step;
    m_step = nullptr;
    m_phase = Phase::None;
    m_results.append(m_result);
    qCDebug(lcProgram) << "step" << m_result.step << "ends:" << StepResult::endWord(end);
    emit stepFinished(m_result);
    if (m_history)
        storeResults();
    if (!m_result.completed())
        return;
    Frame &f = m_stack.last();
    if (f.repeat) {
        const ProgramStep &r = *f.repeat;
        if (step.kind == StepKind::Rest && r.untilRestBelowV > 0 &&
            m_result.endV < r.untilRestBelowV)
            f.endRepeat = true;
        if (step.kind == StepKind::Discharge && r.untilCutoff && end == StepResult::End::CutOff)
            f.endRepeat = true;
    }
    // A repeat's condition ends its pass at once.
    f.index = f.endRepeat ? f.list->size() : f.index + 1;
    enterNext();
}

void ProgramRunner::prepareDischarge(bool resuming)
{
    const ProgramStep &s = *m_step;
    m_phase = Phase::Preparing;
    QList<Order> orders;
    if (!resuming) {
        // Cleared counters start the instrument's time limit afresh and show
        // this step's capacity on its display.
        orders << Order{Setting::ClearData, [this] { return m_session.clearData(); },
                        [this] {
                            m_capacity.begin(m_session.record().capacity);
                            m_energy.begin(m_session.record().energy);
                        }};
    }
    const quint8 mode = s.mode;
    const float value = float(s.value);
    const float cutoff = float(s.cutoffV);
    orders << Order{Setting::Mode, [this, mode] { return m_session.setWorkMode(mode); }, {}}
           << Order{Setting::Value, [this, value] { return m_session.setValue(value); }, {}}
           << Order{Setting::Cutoff,
                    [this, cutoff] { return m_session.setCutoffVoltage(cutoff); },
                    {}};
    if (!resuming) {
        // The instrument keeps whole minutes; other durations the program watches alone.
        int minutes = 0;
        m_instrumentLimit = s.durationS >= 60 && std::fmod(s.durationS, 60.0) == 0 &&
                            s.durationS / 60 <= MaxLimitMinutes;
        if (m_instrumentLimit)
            minutes = int(s.durationS / 60);
        orders << Order{
            Setting::TimeLimit,
            [this, minutes] { return m_session.setTimeLimit(minutes / 60, minutes % 60); },
            {}};
    }
    orders << Order{Setting::Run,
                    [this] {
                        m_stopConfirmed = false;
                        // A load that stops at once (already at its cut-off)
                        // shows it ran by its counters.
                        const float before = m_session.record().capacity;
                        InstrumentSession::Change c = m_session.run(true);
                        const auto runs = c.confirm.satisfied;
                        c.confirm.satisfied = [this, before, runs] {
                            return runs() || m_session.record().capacity > before + CounterStep;
                        };
                        return c;
                    },
                    {}};
    apply(orders, [this] { startLoaded(); });
}

void ProgramRunner::prepareDcir(bool resuming)
{
    const ProgramStep &s = *m_step;
    m_phase = Phase::Preparing;
    m_dcirLevel = 0;
    if (!resuming) {
        m_capacity.begin(m_session.record().capacity);
        m_energy.begin(m_session.record().energy);
    }
    m_result.v1 = m_result.i1 = m_result.v2 = m_result.i2 = m_result.dcirMohm = nan();
    m_instrumentLimit = false;
    const float i1 = float(s.i1A);
    const float cutoff = float(s.cutoffV);
    const QList<Order> orders = {
        Order{Setting::Mode, [this] { return m_session.setWorkMode(0); }, {}},
        Order{Setting::Value, [this, i1] { return m_session.setValue(i1); }, {}},
        Order{Setting::Cutoff, [this, cutoff] { return m_session.setCutoffVoltage(cutoff); }, {}},
        Order{Setting::TimeLimit, [this] { return m_session.setTimeLimit(0, 0); }, {}},
        Order{Setting::Run,
              [this] {
                  m_stopConfirmed = false;
                  return m_session.run(true);
              },
              {}},
    };
    apply(orders, [this] {
        m_phase = Phase::Level1;
        m_dcirLevel = 1;
        m_levelFromMs = nowMs();
        m_lastFreshMs = nowMs();
        clockStart();
    });
}

void ProgramRunner::startLoaded()
{
    m_phase = Phase::Loaded;
    m_lastFreshMs = nowMs();
    clockStart();
    const InstrumentState &st = m_session.state();
    m_judged.take(st);
    judgeLoaded(st.record, st.running);
}

void ProgramRunner::judgeLoaded(const MeasurementRecord &r, bool running)
{
    feedCounters(r);
    if (!running) {
        // The instrument stopped the load itself.
        const StepResult::End end = selfStopEnd();
        if (end == StepResult::End::Failed)
            return fail(Failure::InstrumentStopped);
        return endLoadStep(end);
    }
    m_lastLoadedV = r.voltage;
    if (m_startV != m_startV)
        m_startV = r.voltage;
    const ProgramStep &s = *m_step;
    if (s.capacityMah > 0 && m_capacity.grown() >= s.capacityMah)
        endLoadStep(StepResult::End::Capacity);
    else if (s.energyWh > 0 && m_energy.grown() >= s.energyWh)
        endLoadStep(StepResult::End::Energy);
    else if (s.cutoffV > 0 && r.voltage <= s.cutoffV)
        endLoadStep(StepResult::End::CutOff);
}

StepResult::End ProgramRunner::selfStopEnd() const
{
    const ProgramStep &s = *m_step;
    const MeasurementRecord &r = m_session.record();
    // Its protections are no end of the step: something is wrong.
    const bool protection = (r.overCurrent > 0 && r.current >= r.overCurrent) ||
                            (r.overPower > 0 && r.power >= r.overPower) ||
                            (r.mosOverTemp > 0 && r.mosTemp >= r.mosOverTemp) ||
                            (r.ntcOverTemp > 0 && r.ntcTemp >= r.ntcOverTemp);
    if (protection)
        return StepResult::End::Failed;
    // The last voltage under load was at most a second old; near the cut-off
    // (or none yet: it stopped at once) the instrument's cut-off ended it.
    if (s.cutoffV > 0) {
        const double margin = std::max(0.3, 0.15 * s.cutoffV);
        if (m_lastLoadedV != m_lastLoadedV || m_lastLoadedV <= s.cutoffV + margin)
            return StepResult::End::CutOff;
    }
    if (m_instrumentLimit) {
        const double tolerance = std::max(5.0, 0.01 * s.durationS);
        if (stepElapsedS() >= s.durationS - tolerance)
            return StepResult::End::Duration;
    }
    return StepResult::End::Failed;
}

void ProgramRunner::readLevel(int level)
{
    m_phase = Phase::Reading;
    InstrumentSession::Wait w;
    w.measurements = true;
    const quint64 epoch = m_epoch;
    QPointer<ProgramRunner> self(this);
    awaitReports(w, [self, epoch, level](bool ok) {
        if (!self || self->m_epoch != epoch)
            return;
        self->readLevelDone(level, ok);
    });
}

void ProgramRunner::readLevelDone(int level, bool ok)
{
    if (!ok)
        return fail(Failure::NoReadings, Setting::Readings);
    const InstrumentState &st = m_session.state();
    const MeasurementRecord &r = st.record;
    m_judged.take(st);
    feedCounters(r);
    if (!st.running)
        return fail(Failure::InstrumentStopped);
    m_lastLoadedV = r.voltage;
    if (level == 1) {
        m_result.v1 = r.voltage;
        m_result.i1 = r.current;
        const float i2 = float(m_step->i2A);
        apply({Order{Setting::Value, [this, i2] { return m_session.setValue(i2); }, {}}}, [this] {
            m_phase = Phase::Level2;
            m_dcirLevel = 2;
            m_levelFromMs = nowMs();
            m_lastFreshMs = nowMs();
        });
        return;
    }
    m_result.v2 = r.voltage;
    m_result.i2 = r.current;
    // The measured currents, not the set ones: R is what the readings say.
    const double di = m_result.i2 - m_result.i1;
    if (!(di >= 0.5 * (m_step->i2A - m_step->i1A)))
        return fail(Failure::NoCurrentChange);
    m_result.dcirMohm = (m_result.v1 - m_result.v2) / di * 1000.0;
    endLoadStep(StepResult::End::Done);
}

void ProgramRunner::endLoadStep(StepResult::End end)
{
    m_phase = Phase::Ending;
    clockStop();
    stopLoad([this, end](bool ok) {
        if (!ok)
            return fail(Failure::StopUnconfirmed, Setting::Stop);
        // The stop's confirming report holds the final counters.
        feedCounters(m_session.record());
        stepDone(end);
    });
}

void ProgramRunner::endRest(StepResult::End end, bool readFirst)
{
    if (!readFirst) {
        m_result.endV = m_session.record().voltage;
        return stepDone(end);
    }
    // The rest voltage decides repeats: it comes from a fresh measurement.
    m_phase = Phase::Reading;
    clockStop();
    InstrumentSession::Wait w;
    w.measurements = true;
    const quint64 epoch = m_epoch;
    QPointer<ProgramRunner> self(this);
    awaitReports(w, [self, epoch, end](bool ok) {
        if (!self || self->m_epoch != epoch)
            return;
        if (!ok)
            return self->fail(Failure::NoReadings, Setting::Readings);
        self->m_judged.take(self->m_session.state());
        self->endRest(end, false);
    });
}

void ProgramRunner::resumeStep()
{
    m_lastFreshMs = nowMs();
    if (!m_step)
        return enterNext();
    enterStep(true);
}

// --- readings and time ---

void ProgramRunner::onReport(Report::Outcome outcome)
{
    if (outcome != Report::Outcome::Measurements)
        return;
    const InstrumentState &st = m_session.state();
    if (!m_judged.available(st))
        return;
    m_judged.take(st);
    if (m_state != State::Running || !m_step)
        return;
    m_lastFreshMs = nowMs();
    const MeasurementRecord &r = st.record;
    switch (m_phase) {
    case Phase::Loaded:
        judgeLoaded(r, st.running);
        break;
    case Phase::Level1:
    case Phase::Level2:
        feedCounters(r);
        if (!st.running)
            return fail(Failure::InstrumentStopped);
        m_lastLoadedV = r.voltage;
        break;
    case Phase::Resting:
        m_result.endV = r.voltage;
        if (st.running) {
            // Someone started the load during a rest; a program keeps it off.
            qCWarning(lcProgram) << "the load runs during a rest: stopping it";
            m_session.run(false);
        } else if (m_step->untilV > 0 && r.voltage >= m_step->untilV) {
            return endRest(StepResult::End::Recovered, false);
        }
        break;
    default:
        break;
    }
    emit progress();
}

void ProgramRunner::onTick()
{
    // A wait of ours that another part cancelled (one wait at a time) would
    // never answer: it counts as unanswered.
    if (m_waitDone && nowMs() - m_waitSinceMs > m_session.timeoutMs() + 3000) {
        std::function<void(bool)> done = std::move(m_waitDone);
        m_waitDone = nullptr;
        ++m_waitSerial;
        done(false);
        return;
    }
    if (m_state != State::Running || !m_step)
        return;
    if (stale())
        return fail(Failure::NoReadings, Setting::Readings);
    const ProgramStep &s = *m_step;
    const double elapsedMs = stepElapsedS() * 1000.0;
    switch (m_phase) {
    case Phase::Loaded:
        if (s.durationS > 0 &&
            elapsedMs >= s.durationS * 1000.0 + (m_instrumentLimit ? LimitGraceMs : 0))
            endLoadStep(StepResult::End::Duration);
        break;
    case Phase::Level1:
        if (nowMs() - m_levelFromMs >= qint64(s.t1S * 1000.0))
            readLevel(1);
        break;
    case Phase::Level2:
        if (nowMs() - m_levelFromMs >= qint64(s.t2S * 1000.0))
            readLevel(2);
        break;
    case Phase::Resting:
        if (elapsedMs >= s.durationS * 1000.0)
            endRest(StepResult::End::Duration, true);
        break;
    default:
        break;
    }
}

bool ProgramRunner::stale() const
{
    switch (m_phase) {
    case Phase::Loaded:
    case Phase::Level1:
    case Phase::Level2:
    case Phase::Resting:
        break;
    default:
        return false;
    }
    const int limit =
        std::max({MinReadingsTimeoutMs, m_readingsTimeoutMs, 3 * m_session.timeoutMs()});
    return nowMs() - m_lastFreshMs > limit;
}

void ProgramRunner::onSampleTick()
{
    if (!active())
        return;
    const InstrumentState &st = m_session.state();
    if (!m_sampledFresh.available(st))
        return;
    m_sampledFresh.take(st);
    const qint64 t = QDateTime::currentMSecsSinceEpoch();
    const SampleStore::Values v = sampleValues(st.record);
    if (m_history)
        m_history->addSample(t, v);
    emit sampled(t, v);
}

void ProgramRunner::feedCounters(const MeasurementRecord &r)
{
    m_capacity.add(r.capacity);
    m_energy.add(r.energy);
}

void ProgramRunner::clockStart()
{
    if (m_stepClockFromMs < 0)
        m_stepClockFromMs = nowMs();
}

void ProgramRunner::clockStop()
{
    if (m_stepClockFromMs >= 0) {
        m_stepAccumulatedMs += nowMs() - m_stepClockFromMs;
        m_stepClockFromMs = -1;
    }
}

// --- the instrument coming and going ---

void ProgramRunner::onLost()
{
    if (!active() || m_state == State::InstrumentLost)
        return;
    cancelWaits();
    clockStop();
    // Lost again before answering: what held before the first loss still holds.
    if (m_state != State::AskingToResume)
        m_stateBeforeLoss = m_state;
    // An end under way goes on once the instrument is back.
    if (m_state == State::Stopping)
        m_abortWhenBack = true;
    qCDebug(lcProgram) << "instrument lost during the program";
    setState(State::InstrumentLost);
    emit instrumentLost();
}

void ProgramRunner::onReconnected()
{
    if (m_state != State::InstrumentLost)
        return;
    if (m_abortWhenBack)
        return endProgram(m_outcome);
    setState(State::AskingToResume);
    emit resumeQuestion();
}

// --- changes, stops and the end ---

void ProgramRunner::apply(QList<Order> orders, std::function<void()> then, int attempt)
{
    if (orders.isEmpty())
        return then();
    const Order order = orders.first();
    const quint64 epoch = m_epoch;
    QPointer<ProgramRunner> self(this);
    auto again = [self, epoch, orders, then, attempt, order](Failure failure) {
        if (!self || self->m_epoch != epoch)
            return;
        if (attempt + 1 < ChangeAttempts)
            self->apply(orders, then, attempt + 1);
        else
            self->fail(failure, order.what);
    };
    const InstrumentSession::Change c = order.send();
    if (!c.sent) {
        QTimer::singleShot(RetryDelayMs, this, [again] { again(Failure::WriteFailed); });
        return;
    }
    awaitReports(c.confirm, [self, epoch, orders, then, order, again](bool ok) mutable {
        if (!self || self->m_epoch != epoch)
            return;
        if (!ok)
            return again(Failure::NotConfirmed);
        if (order.after)
            order.after();
        orders.removeFirst();
        self->apply(orders, then, 0);
    });
}

void ProgramRunner::awaitReports(const InstrumentSession::Wait &wait,
                                 std::function<void(bool)> done)
{
    const quint64 serial = ++m_waitSerial;
    m_waitDone = std::move(done);
    m_waitSinceMs = nowMs();
    QPointer<ProgramRunner> self(this);
    m_session.await(wait, [self, serial](bool ok) {
        if (!self || self->m_waitSerial != serial || !self->m_waitDone)
            return;
        std::function<void(bool)> d = std::move(self->m_waitDone);
        self->m_waitDone = nullptr;
        d(ok);
    });
}

void ProgramRunner::cancelWaits()
{
    ++m_epoch;
    if (m_waitDone) {
        m_waitDone = nullptr;
        ++m_waitSerial;
        m_session.cancelWait();
    }
}

void ProgramRunner::stopLoad(std::function<void(bool)> done, int attempt)
{
    const quint64 epoch = m_epoch;
    QPointer<ProgramRunner> self(this);
    auto again = [self, epoch, done, attempt] {
        if (!self || self->m_epoch != epoch)
            return;
        if (attempt + 1 < StopAttempts)
            return self->stopLoad(done, attempt + 1);
        self->m_stopConfirmed = false;
        done(false);
    };
    const InstrumentSession::Change c = m_session.run(false);
    if (!c.sent) {
        QTimer::singleShot(RetryDelayMs, this, again);
        return;
    }
    awaitReports(c.confirm, [self, epoch, done, again](bool ok) {
        if (!self || self->m_epoch != epoch)
            return;
        if (!ok)
            return again();
        self->m_stopConfirmed = true;
        done(true);
    });
}

void ProgramRunner::fail(Failure failure, Setting setting)
{
    if (!active())
        return;
    if (m_failure == Failure::None) {
        m_failure = failure;
        m_failedSetting = setting;
    }
    qCDebug(lcProgram) << "program fails:" << failure << setting;
    cancelWaits();
    // The final stop could not be confirmed: nothing more to try.
    if (m_state == State::Stopping) {
        m_outcome = Outcome::Failed;
        return finalize();
    }
    endProgram(Outcome::Failed);
}

void ProgramRunner::endProgram(Outcome outcome)
{
    // A failure stays a failure, whatever ends the program after it.
    if (m_outcome != Outcome::Failed)
        m_outcome = outcome;
    cancelWaits();
    clockStop();
    m_phase = Phase::None;
    setState(State::Stopping);
    // However it ends, the load is left stopped, and the instrument says so.
    stopLoad([this](bool ok) {
        // The stop's confirming report holds the step's final counters.
        if (ok && m_step)
            feedCounters(m_session.record());
        if (!ok) {
            m_outcome = Outcome::Failed;
            if (m_failure == Failure::None) {
                m_failure = Failure::StopUnconfirmed;
                m_failedSetting = Setting::Stop;
            }
        }
        finalize();
    });
}

void ProgramRunner::finalize()
{
    // A step under way when the program ended is kept as aborted or failed.
    if (m_step)
        stepDone(m_outcome == Outcome::Aborted ? StepResult::End::Aborted
                                               : StepResult::End::Failed);
    m_tick.stop();
    clockStop();
    m_phase = Phase::None;
    m_step = nullptr;
    m_abortWhenBack = false;
    if (m_startedPolling) {
        m_session.stopPolling();
        m_startedPolling = false;
    }
    m_state = State::Finished;
    if (m_history && m_history->runOpen()) {
        storeResults();
        m_history->endRun(QStringLiteral("program ") + outcomeWord(m_outcome));
    }
    qCDebug(lcProgram) << "program ends:" << m_outcome << m_failure << "stop confirmed"
                       << m_stopConfirmed;
    emit stateChanged(m_state);
    emit finished(m_outcome, m_failure);
}

void ProgramRunner::beginHistory()
{
    if (!m_history)
        return;
    RunInfo info =
        runInfoFrom(m_session, QDateTime::currentMSecsSinceEpoch(), m_session.deviceClass());
    info.workMode = 0;
    info.setValue = 0;
    info.cutoffVolts = 0;
    info.timeLimitMinutes = 0;
    // The run is listed with the settings of its first discharge.
    std::function<const ProgramStep *(const QVector<ProgramStep> &)> first =
        [&first](const QVector<ProgramStep> &steps) -> const ProgramStep * {
        for (const ProgramStep &s : steps) {
            if (s.kind == StepKind::Discharge)
                return &s;
            if (const ProgramStep *inner = first(s.steps))
                return inner;
        }
        return nullptr;
    };
    if (const ProgramStep *d = first(m_program.steps)) {
        info.workMode = d->mode;
        info.setValue = d->value;
        info.cutoffVolts = d->cutoffV;
    }
    info.label = m_program.name.isEmpty() ? QStringLiteral("test program") : m_program.name;
    m_history->beginRun(info);
}

void ProgramRunner::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged(s);
}

// --- what the front ends show ---

ProgramRunner::Position ProgramRunner::position() const
{
    Position p;
    QStringList parts;
    for (const Frame &f : m_stack) {
        parts << QString::number(f.index + 1);
        if (f.repeat) {
            p.passes << f.pass;
            p.totals << f.repeat->times;
        }
    }
    p.step = parts.join(QLatin1Char('.'));
    p.current = m_step;
    return p;
}

QString ProgramRunner::pauseMessage() const
{
    return m_state == State::WaitingForUser && m_step ? m_step->message : QString();
}

double ProgramRunner::stepElapsedS() const
{
    qint64 ms = m_stepAccumulatedMs;
    if (m_stepClockFromMs >= 0)
        ms += nowMs() - m_stepClockFromMs;
    return ms / 1000.0;
}

double ProgramRunner::programElapsedS() const
{
    return active() || m_state == State::Finished ? (nowMs() - m_programStartMs) / 1000.0 : 0;
}

double ProgramRunner::stepProgress() const
{
    if (!m_step)
        return -1;
    const ProgramStep &s = *m_step;
    const double elapsed = stepElapsedS();
    double p = -1;
    auto take = [&p](double f) {
        if (std::isfinite(f))
            p = std::max(p, std::clamp(f, 0.0, 1.0));
    };
    switch (s.kind) {
    case StepKind::Discharge:
        if (s.durationS > 0)
            take(elapsed / s.durationS);
        if (s.capacityMah > 0)
            take(m_capacity.grown() / s.capacityMah);
        if (s.energyWh > 0)
            take(m_energy.grown() / s.energyWh);
        if (s.cutoffV > 0 && m_startV > s.cutoffV)
            take((m_startV - m_lastLoadedV) / (m_startV - s.cutoffV));
        break;
    case StepKind::Rest:
        take(elapsed / s.durationS);
        break;
    case StepKind::Dcir:
        take(elapsed / (s.t1S + s.t2S));
        break;
    case StepKind::Repeat:
    case StepKind::Pause:
        break;
    }
    return p;
}

double ProgramRunner::stepCapacityMah() const
{
    return m_capacity.grown();
}

double ProgramRunner::stepEnergyWh() const
{
    return m_energy.grown();
}

QString ProgramRunner::outcomeWord(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Completed:
        return QStringLiteral("completed");
    case Outcome::Aborted:
        return QStringLiteral("aborted");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

void ProgramRunner::storeResults()
{
    m_history->setResults(QString::fromUtf8(QJsonDocument(resultsDocument()).toJson()));
}

QJsonObject ProgramRunner::resultsDocument() const
{
    QJsonObject o;
    o[QStringLiteral("program")] = m_program.name;
    o[QStringLiteral("outcome")] =
        m_state == State::Finished ? outcomeWord(m_outcome) : QStringLiteral("running");
    o[QStringLiteral("steps")] = resultsJson(m_results);
    return o;
}
