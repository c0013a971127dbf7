#include "runtracker.h"

#include "devicemodel.h"
#include "instrumentsession.h"

RunTracker::RunTracker(InstrumentSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    m_lostForGood.setSingleShot(true);
    m_lostForGood.setInterval(LostForGoodMs);
    connect(&m_lostForGood, &QTimer::timeout, this,
            [this] { end(QString::fromLatin1(EndReason::Interrupted)); });
    connect(&m_session, &InstrumentSession::lost, this, [this] {
        if (runOpen() && !m_programRunning)
            m_lostForGood.start();
    });
    connect(&m_session, &InstrumentSession::connectedToInstrument, &m_lostForGood, &QTimer::stop);
    connect(&m_session, &InstrumentSession::reportDecoded, this, [this](Report::Outcome o) {
        if (o == Report::Outcome::Measurements)
            measurementsArrived();
    });
    connect(&m_writer, &HistoryWriter::problem, this, &RunTracker::problem);
}

bool RunTracker::open(const QString &path)
{
    return m_writer.open(path);
}

RunInfo RunTracker::runInfo(qint64 startedMs, quint8 deviceClass) const
{
    RunInfo i = runInfoFrom(m_session, startedMs, deviceClass);
    i.label = m_label;
    return i;
}

void RunTracker::setProgramRunning(bool running)
{
    // The program takes the load over: the user's own run stops there.
    if (running)
        end(QString::fromLatin1(EndReason::Stopped));
    m_programRunning = running;
}

void RunTracker::sampleTaken(qint64 timeMs, const SampleStore::Values &values, quint8 deviceClass)
{
    if (m_programRunning)
        return;
    if (!m_writer.runOpen()) {
        m_class = deviceClass;
        m_seenRunning = m_session.state().running;
        m_userStopped = false;
        m_info = runInfo(timeMs, deviceClass);
        m_writer.beginRun(m_info);
    }
    m_writer.addSample(timeMs, values);
}

void RunTracker::measurementsArrived()
{
    if (m_programRunning || !runOpen() || m_class != DeviceModel::ElectronicLoad)
        return;
    // The run button shows a run ahead of the instrument; only a load seen
    // running that stops again has ended its run.
    if (m_session.state().running) {
        m_seenRunning = true;
        return;
    }
    if (!m_seenRunning)
        return;
    const MeasurementRecord &r = m_session.record();
    end(m_userStopped ? QString::fromLatin1(EndReason::Stopped)
                      : EndReason::ofStop(double(r.voltage), double(r.cutoffVoltage),
                                          m_writer.summary().durationS, m_info.timeLimitMinutes));
}

void RunTracker::recordCleared()
{
    end(QString::fromLatin1(EndReason::Cleared));
}

void RunTracker::windowClosed()
{
    end(QString::fromLatin1(EndReason::Closed));
    m_writer.flush();
}

void RunTracker::end(const QString &reason)
{
    m_lostForGood.stop();
    // The open run is the program's: the program ends it.
    if (m_programRunning || !runOpen())
        return;
    const RunSummary s = m_writer.endRun(reason);
    emit runEnded(m_info, s, reason);
}
