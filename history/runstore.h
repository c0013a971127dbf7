#pragma once

#include "runrecord.h"
#include "samplestore.h"

#include <QList>
#include <QString>
#include <QVector>

struct sqlite3;

// The history of runs on disk: a SQLite database in WAL mode that several
// programs may write at once (each waits for the others' short transactions
// rather than failing). One RunStore is one connection; use it on one thread.
class RunStore
{
public:
    struct Sample
    {
        qint64 timeMs;
        SampleStore::Values values;
    };

    enum class Opened { Ok, MovedAside, Failed };

    RunStore();
    ~RunStore();
    RunStore(const RunStore &) = delete;
    RunStore &operator=(const RunStore &) = delete;

    // The database every program uses unless told otherwise:
    // ~/.local/share/usb-tester/history.sqlite on Linux.
    static QString defaultPath();

    // Opens the database, creating it and its folder when missing. A file
    // that is no database of ours (corrupt, or something else) is moved aside
    // to PATH.broken-YYYYMMDD-HHMMSS (the name in *movedTo) and a new one
    // started.
    Opened open(const QString &path, QString *movedTo = nullptr);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }
    // The last failure was the disk or the database being full, or read-only.
    bool lastErrorWasNoSpace() const { return m_noSpace; }

    // --- writing ---
    // A new run owned by this process; its id, or -1.
    qint64 beginRun(const RunInfo &info);
    // Samples, the run's summary so far and a sign of life, in one transaction.
    bool append(qint64 runId, const QVector<Sample> &samples, const RunSummary &summary);
    bool endRun(qint64 runId, qint64 endedMs, const QString &reason, const RunSummary &summary);
    bool setResults(qint64 runId, const QString &json);
    // A sign of life for an open run that takes no samples for now.
    bool touch(qint64 runId);
    // Commits wait for the disk (FULL) or only for the operating system.
    bool setSynced(bool synced);
    // Runs left open by a program that is gone (killed, crashed, power cut)
    // end as interrupted at their last sample. Returns how many.
    int closeAbandonedRuns();
    // For tests: the database cannot grow past `pages` pages, as on a full disk.
    void setMaxPages(int pages);

    // --- reading ---
    QList<RunEntry> runs() const;
    bool run(qint64 id, RunEntry *entry) const;
    // The run's samples in time order, appended to `store`.
    bool loadSamples(qint64 id, SampleStore *store) const;
    bool setLabel(qint64 id, const QString &label);
    bool remove(qint64 id);

    // How long a writer may stay silent before its open run counts as abandoned.
    static constexpr qint64 HeartbeatStaleMs = 60000;

private:
    bool exec(const char *sql);
    bool createSchema();
    // Keeps the failure for errorString(); readers report theirs too.
    bool fail(const char *what) const;

    sqlite3 *m_db = nullptr;
    QString m_path;
    mutable QString m_error;
    mutable bool m_noSpace = false;
};
