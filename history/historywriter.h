#pragma once

#include "runrecord.h"
#include "runstore.h"

#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Keeps runs in the history as they are taken, from the thread that takes
// the samples (the window's, or the command-line tool's) without making it
// wait: samples are queued and a writer thread of its own stores them, each
// within a second and synced to the disk within ten. A database that cannot
// be written is reported once; the caller's run goes on in memory.
class HistoryWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int CommitIntervalMs = 1000;
    static constexpr int SyncIntervalMs = 10000;
    static constexpr int SamplesPerBatch = 1024;

    enum class Problem {
        MovedAside,  // the file was no usable database; kept aside, a new one started
        CannotOpen,  // no database at all: runs are kept in memory only
        WriteFailed, // full disk, read-only file ...: this run goes on in memory only
    };
    Q_ENUM(Problem)

    explicit HistoryWriter(QObject *parent = nullptr);
    ~HistoryWriter() override;

    // Opens the database (RunStore::defaultPath() when empty) and closes the
    // runs killed programs left open. Problems are signalled once, later,
    // from the event loop, so connect first or call this first: either works.
    // Opening another database first ends the open run as closed in the old one.
    bool open(const QString &path = QString());
    QString path() const { return m_path; }
    bool isOpen() const { return m_open; }

    // A new run (an open one ends as closed first).
    void beginRun(const RunInfo &info);
    // One sample of the open run; does nothing without one. Never blocks on the disk.
    void addSample(qint64 timeMs, const SampleStore::Values &values);
    // The open run ends; the summary is what it adds up to.
    RunSummary endRun(const QString &reason);
    // A test program's step results, kept with the open run.
    void setResults(const QString &json);
    bool runOpen() const { return m_runOpen; }
    RunSummary summary() const { return m_summary.summary(); }
    // The id of the open (or the last) run once the writer has stored it, else 0.
    qint64 lastRunId() const;

    // Waits until everything queued so far is stored (tests, and the end of a program).
    void flush();
    // For tests: the database file stops growing past `pages` pages.
    void limitPagesForTest(int pages);
    // For tests: disk syncs (and the open run's sign of life) this often.
    void setSyncIntervalForTest(int ms);

signals:
    void problem(HistoryWriter::Problem problem, const QString &detail);

private:
    struct Op
    {
        enum Kind { Begin, Samples, End, Results, Limit } kind;
        RunInfo info;
        QVector<RunStore::Sample> samples;
        QString text;
        RunSummary summary;
        qint64 timeMs = 0;
        int number = 0;
    };
    void push(Op op);
    void loop();
    void stopThread();
    void report(Problem p, const QString &detail);
    void runOps(std::deque<Op> &ops);

    QString m_path;
    bool m_open = false;
    bool m_runOpen = false;
    SummaryBuilder m_summary;
    qint64 m_lastSampleMs = 0;

    // Shared with the writer thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Op> m_ops;
    bool m_stop = false;
    bool m_busy = false;
    qint64 m_runId = 0;
    int m_syncIntervalMs = SyncIntervalMs;
    bool m_failedThisRun = false;
    bool m_storedRunOpen = false; // writer thread only
    bool m_reported[3] = {};
    std::thread m_thread;
    RunStore m_store; // used on the writer thread only, once it runs
};
