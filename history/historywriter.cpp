#include "historywriter.h"

#include "historylog.h"

#include <QDateTime>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <iterator>

HistoryWriter::HistoryWriter(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<HistoryWriter::Problem>();
}

HistoryWriter::~HistoryWriter()
{
    stopThread();
}

// Everything queued is stored before the thread ends.
void HistoryWriter::stopThread()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_stop = false;
}

bool HistoryWriter::open(const QString &path)
{
    // Another database: the open run ends where it was kept, and the old
    // database's writer thread is done before the store is opened again.
    if (m_runOpen)
        endRun(QString::fromLatin1(EndReason::Closed));
    stopThread();
    m_open = false;
    m_storedRunOpen = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_runId = 0;
        std::fill(std::begin(m_reported), std::end(m_reported), false);
    }
    m_path = path.isEmpty() ? RunStore::defaultPath() : path;
    QString aside;
    const RunStore::Opened opened = m_store.open(m_path, &aside);
    if (opened == RunStore::Opened::Failed) {
        report(Problem::CannotOpen, m_store.errorString());
        return false;
    }
    if (opened == RunStore::Opened::MovedAside)
        report(Problem::MovedAside, aside);
    const int closed = m_store.closeAbandonedRuns();
    if (closed > 0)
        qCDebug(lcHistory) << closed << "run(s) left open by a program that is gone: interrupted";
    m_open = true;
    m_thread = std::thread([this] {
        Logging::nameThisThread("history-writer");
        loop();
    });
    return true;
}

void HistoryWriter::report(Problem p, const QString &detail)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bool &done = m_reported[int(p)];
        if (done)
            return;
        done = true;
    }
    qCWarning(lcHistory) << "history:" << p << detail;
    // Heard on the thread that owns the writer, whichever thread noticed.
    QMetaObject::invokeMethod(
        this, [this, p, detail] { emit problem(p, detail); }, Qt::QueuedConnection);
}

void HistoryWriter::push(Op op)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ops.push_back(std::move(op));
    }
    m_wake.notify_all();
}

void HistoryWriter::beginRun(const RunInfo &info)
{
    if (m_runOpen)
        endRun(QString::fromLatin1(EndReason::Closed));
    m_runOpen = true;
    m_summary = SummaryBuilder();
    m_lastSampleMs = 0;
    if (!m_open)
        return;
    Op op{Op::Begin, info, {}, {}, {}, 0, 0};
    push(std::move(op));
}

void HistoryWriter::addSample(qint64 timeMs, const SampleStore::Values &values)
{
    if (!m_runOpen)
        return;
    // Two samples in one millisecond would share a key; the later moves on by one.
    if (timeMs <= m_lastSampleMs)
        timeMs = m_lastSampleMs + 1;
    m_lastSampleMs = timeMs;
    m_summary.add(timeMs, values);
    if (!m_open)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Batches of bounded size: a batch never grows by copying what it holds,
    // so a sample costs the caller the same however far the writer lags.
    if (m_ops.empty() || m_ops.back().kind != Op::Samples ||
        m_ops.back().samples.size() >= SamplesPerBatch) {
        m_ops.push_back(Op{Op::Samples, {}, {}, {}, {}, 0, 0});
        m_ops.back().samples.reserve(SamplesPerBatch);
    }
    Op &op = m_ops.back();
    op.samples.push_back({timeMs, values});
    op.summary = m_summary.summary();
}

RunSummary HistoryWriter::endRun(const QString &reason)
{
    const RunSummary s = m_summary.summary();
    if (!m_runOpen)
        return s;
    m_runOpen = false;
    if (m_open) {
        Op op{Op::End, {}, {}, reason, s, QDateTime::currentMSecsSinceEpoch(), 0};
        // A run ends at its last sample, so its duration is the samples' span.
        if (m_lastSampleMs > 0)
            op.timeMs = m_lastSampleMs;
        push(std::move(op));
    }
    return s;
}

void HistoryWriter::setResults(const QString &json)
{
    if (m_open)
        push(Op{Op::Results, {}, {}, json, {}, 0, 0});
}

qint64 HistoryWriter::lastRunId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_runId;
}

void HistoryWriter::flush()
{
    if (!m_thread.joinable())
        return;
    m_wake.notify_all();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_ops.empty() && !m_busy; });
}

void HistoryWriter::limitPagesForTest(int pages)
{
    push(Op{Op::Limit, {}, {}, {}, {}, 0, pages});
    flush();
}

void HistoryWriter::setSyncIntervalForTest(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_syncIntervalMs = ms;
}

void HistoryWriter::loop()
{
    qint64 lastSync = QDateTime::currentMSecsSinceEpoch();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        // Samples wait at most a commit interval; other operations go at once.
        m_wake.wait_for(lock, std::chrono::milliseconds(CommitIntervalMs), [this] {
            return m_stop || std::any_of(m_ops.begin(), m_ops.end(),
                                         [](const Op &o) { return o.kind != Op::Samples; });
        });
        std::deque<Op> ops;
        ops.swap(m_ops);
        const bool stopping = m_stop;
        const int syncIntervalMs = m_syncIntervalMs;
        m_busy = !ops.empty();
        lock.unlock();

        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const bool sync = stopping || now - lastSync >= syncIntervalMs;
        if (sync) {
            m_store.setSynced(true);
            lastSync = now;
        }
        runOps(ops);
        // A run that takes no samples for a while (a stopped load, an
        // unplugged instrument) is still ours: other programs must not take
        // it for abandoned. (m_runId is written on this thread only.)
        if (sync && m_storedRunOpen && !m_failedThisRun && !m_store.touch(m_runId))
            qCDebug(lcHistory) << "heartbeat not stored:" << m_store.errorString();
        if (sync)
            m_store.setSynced(false);

        lock.lock();
        m_busy = false;
        m_idle.notify_all();
        if (stopping && m_ops.empty())
            return;
    }
}

void HistoryWriter::runOps(std::deque<Op> &ops)
{
    for (Op &op : ops) {
        qint64 runId;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            runId = m_runId;
        }
        bool ok = true;
        switch (op.kind) {
        case Op::Begin: {
            m_failedThisRun = false;
            const qint64 id = m_store.beginRun(op.info);
            ok = id > 0;
            m_storedRunOpen = ok;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_runId = ok ? id : 0;
            break;
        }
        case Op::Samples:
            if (runId > 0 && !m_failedThisRun)
                ok = m_store.append(runId, op.samples, op.summary);
            break;
        case Op::End:
            m_storedRunOpen = false;
            if (runId > 0 && !m_failedThisRun)
                ok = m_store.endRun(runId, op.timeMs, op.text, op.summary);
            break;
        case Op::Results:
            if (runId > 0 && !m_failedThisRun)
                ok = m_store.setResults(runId, op.text);
            break;
        case Op::Limit:
            m_store.setMaxPages(op.number);
            break;
        }
        if (!ok) {
            // The run goes on in the caller's memory; the history stops taking it.
            m_failedThisRun = true;
            report(Problem::WriteFailed, m_store.errorString());
        }
    }
}
