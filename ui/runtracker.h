#pragma once

#include "historywriter.h"
#include "runrecord.h"
#include "samplestore.h"

#include <QObject>
#include <QTimer>

class InstrumentSession;

// The window's runs in the history. A run is what the window's record holds:
// it starts with the first sample taken while none is open (a load's samples
// come only while it runs, a power tester's from its connection on) and ends
// when a load that was seen running stops (at its cut-off, its time limit or
// by the user), when the record is cleared, when the window closes, or when
// the instrument stays away for good. Each sample goes into the history as it
// is taken; the window's thread never waits for the disk.
class RunTracker : public QObject
{
    Q_OBJECT
public:
    // How long an instrument may stay away before its run ends as interrupted.
    static constexpr int LostForGoodMs = 10 * 60 * 1000;

    explicit RunTracker(InstrumentSession &session, QObject *parent = nullptr);

    // The history to keep runs in (RunStore::defaultPath() when empty).
    bool open(const QString &path);
    bool isOpen() const { return m_writer.isOpen(); }
    QString path() const { return m_writer.path(); }
    HistoryWriter &writer() { return m_writer; }

    // A sample the window's record took, at the record's time.
    void sampleTaken(qint64 timeMs, const SampleStore::Values &values, quint8 deviceClass);
    // The user pressed stop: the run ends as stopped when the load stops.
    void userStopped() { m_userStopped = true; }
    // The record was emptied (a new run, or the chart menu's clear).
    void recordCleared();
    // The window closes.
    void windowClosed();
    // The label the next run starts with.
    void setLabel(const QString &label) { m_label = label; }
    // A test program keeps the whole program as one run in the same history:
    // an open run of the record ends first, and none is kept while it runs.
    void setProgramRunning(bool running);

    bool runOpen() const { return m_writer.runOpen(); }

signals:
    void runEnded(const RunInfo &info, const RunSummary &summary, const QString &reason);
    void problem(HistoryWriter::Problem problem, const QString &detail);

private:
    void measurementsArrived();
    void end(const QString &reason);
    RunInfo runInfo(qint64 startedMs, quint8 deviceClass) const;

    InstrumentSession &m_session;
    HistoryWriter m_writer;
    RunInfo m_info;
    QString m_label;
    quint8 m_class = 0;
    bool m_seenRunning = false;
    bool m_userStopped = false;
    bool m_programRunning = false;
    QTimer m_lostForGood;
};
