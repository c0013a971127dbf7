#include "runstore.h"

#include "historylog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <limits>
#include <sqlite3.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcHistory, "usbtester.history")

namespace {

// The values of one sample as stored: ten little-endian single floats, so a
// stored run gives back exactly the numbers the live record held.
constexpr int BlobBytes = SampleStore::QuantityCount * 4;

QByteArray pack(const SampleStore::Values &v)
{
    QByteArray blob(BlobBytes, '\0');
    for (int q = 0; q < SampleStore::QuantityCount; ++q)
        qToLittleEndian<float>(v[size_t(q)], blob.data() + 4 * q);
    return blob;
}

SampleStore::Values unpack(const void *blob, int bytes)
{
    SampleStore::Values v{};
    const auto *p = static_cast<const uchar *>(blob);
    for (int q = 0; q < SampleStore::QuantityCount && 4 * q + 4 <= bytes; ++q)
        v[size_t(q)] = qFromLittleEndian<float>(p + 4 * q);
    return v;
}

// A prepared statement that finalises itself.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        if (db)
            m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool ok() const { return m_stmt && m_rc == SQLITE_OK; }
    sqlite3_stmt *get() const { return m_stmt; }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, double v)
    {
        if (std::isfinite(v))
            sqlite3_bind_double(m_stmt, i, v);
        else
            sqlite3_bind_null(m_stmt, i);
    }
    void bind(int i, const QString &s)
    {
        const QByteArray u = s.toUtf8();
        sqlite3_bind_text(m_stmt, i, u.constData(), u.size(), SQLITE_TRANSIENT);
    }
    void bind(int i, const QByteArray &b)
    {
        sqlite3_bind_blob(m_stmt, i, b.constData(), b.size(), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(m_stmt); }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    qint64 integer(int c) const { return sqlite3_column_int64(m_stmt, c); }
    // NULL (a NaN stored, or nothing stored yet) reads as `null`.
    double real(int c, double null) const
    {
        return sqlite3_column_type(m_stmt, c) == SQLITE_NULL ? null
                                                             : sqlite3_column_double(m_stmt, c);
    }
    QString text(int c) const
    {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c));
        return t ? QString::fromUtf8(t, sqlite3_column_bytes(m_stmt, c)) : QString();
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

void bindSummary(Statement &s, int first, const RunSummary &r)
{
    s.bind(first, r.samples);
    s.bind(first + 1, r.durationS);
    s.bind(first + 2, r.capacityMah);
    s.bind(first + 3, r.energyWh);
    s.bind(first + 4, r.averageVolts);
    s.bind(first + 5, r.minimumVolts);
    s.bind(first + 6, r.averageAmps);
    s.bind(first + 7, r.maximumMosC);
    s.bind(first + 8, r.maximumNtcC);
}

const char *const RunColumns =
    "id, started_ms, ended_ms, end_reason, model, firmware, serial, address, device_class, "
    "work_mode, set_value, cutoff_v, time_limit_min, label, samples, duration_s, capacity_mah, "
    "energy_wh, avg_v, min_v, avg_a, max_mos_c, max_ntc_c, results";

RunEntry readRun(const Statement &s)
{
    RunEntry e;
    e.id = s.integer(0);
    e.info.startedMs = s.integer(1);
    e.endedMs = s.integer(2);
    e.endReason = s.text(3);
    e.info.model = s.text(4);
    e.info.firmware = s.text(5);
    e.info.serial = s.text(6);
    e.info.address = int(s.integer(7));
    e.info.deviceClass = int(s.integer(8));
    e.info.workMode = int(s.integer(9));
    // A run abandoned before its first samples were stored has no summary
    // yet. NULL reads as what a new RunInfo and an empty run's summary hold:
    // 0, and NaN for the probe that was never seen.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    e.info.setValue = s.real(10, 0);
    e.info.cutoffVolts = s.real(11, 0);
    e.info.timeLimitMinutes = int(s.integer(12));
    e.info.label = s.text(13);
    e.summary.samples = s.integer(14);
    e.summary.durationS = s.real(15, 0);
    e.summary.capacityMah = s.real(16, 0);
    e.summary.energyWh = s.real(17, 0);
    e.summary.averageVolts = s.real(18, 0);
    e.summary.minimumVolts = s.real(19, 0);
    e.summary.averageAmps = s.real(20, 0);
    e.summary.maximumMosC = s.real(21, 0);
    e.summary.maximumNtcC = s.real(22, nan);
    e.results = s.text(23);
    return e;
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

RunStore::RunStore() = default;

RunStore::~RunStore()
{
    close();
}

QString RunStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/usb-tester/history.sqlite");
}

bool RunStore::fail(const char *what) const
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) : SQLITE_CANTOPEN;
    const int primary = code & 0xFF;
    m_noSpace = primary == SQLITE_FULL || primary == SQLITE_READONLY ||
                code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC;
    m_error = QStringLiteral("%1: %2").arg(
        QLatin1String(what), QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code)));
    qCDebug(lcHistory) << m_path << m_error;
    return false;
}

bool RunStore::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    return rc == SQLITE_OK || fail(sql);
}

bool RunStore::createSchema()
{
    return exec("CREATE TABLE IF NOT EXISTS runs("
                " id INTEGER PRIMARY KEY,"
                " started_ms INTEGER NOT NULL, ended_ms INTEGER, end_reason TEXT,"
                " model TEXT, firmware TEXT, serial TEXT, address INTEGER, device_class INTEGER,"
                " work_mode INTEGER, set_value REAL, cutoff_v REAL, time_limit_min INTEGER,"
                " label TEXT NOT NULL DEFAULT '',"
                " writer_pid INTEGER, heartbeat_ms INTEGER,"
                " samples INTEGER NOT NULL DEFAULT 0, duration_s REAL, capacity_mah REAL,"
                " energy_wh REAL, avg_v REAL, min_v REAL, avg_a REAL, max_mos_c REAL,"
                " max_ntc_c REAL, results TEXT);"
                "CREATE TABLE IF NOT EXISTS samples("
                " run_id INTEGER NOT NULL, t INTEGER NOT NULL, v BLOB NOT NULL,"
                " PRIMARY KEY(run_id, t)) WITHOUT ROWID;");
}

RunStore::Opened RunStore::open(const QString &path, QString *movedTo)
{
    close();
    m_path = path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    Opened result = Opened::Ok;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QByteArray name = QFile::encodeName(path);
        const int rc = sqlite3_open_v2(
            name.constData(), &m_db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            fail("open");
            close();
            return Opened::Failed;
        }
        // Other programs' short transactions are waited for, not reported.
        sqlite3_busy_timeout(m_db, 10000);
        const bool usable = exec("PRAGMA journal_mode=WAL;") &&
                            exec("PRAGMA synchronous=NORMAL;") && createSchema() &&
                            exec("SELECT count(*) FROM runs;");
        if (usable)
            return result;
        const int code = sqlite3_errcode(m_db) & 0xFF;
        close();
        if (attempt > 0 || (code != SQLITE_NOTADB && code != SQLITE_CORRUPT))
            return Opened::Failed;
        // Not a database of ours: keep it for whoever wants to look, start afresh.
        const QString aside =
            path + QStringLiteral(".broken-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(path, aside)) {
            m_error = QStringLiteral("cannot move %1 aside").arg(path);
            return Opened::Failed;
        }
        for (const char *suffix : {"-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        if (movedTo)
            *movedTo = aside;
        qCWarning(lcHistory) << "moved" << path << "aside to" << aside;
        result = Opened::MovedAside;
    }
    return Opened::Failed;
}

void RunStore::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

qint64 RunStore::beginRun(const RunInfo &i)
{
    Statement s(m_db, "INSERT INTO runs(started_ms, model, firmware, serial, address, "
                      "device_class, work_mode, set_value, cutoff_v, time_limit_min, label, "
                      "writer_pid, heartbeat_ms) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
    if (!s.ok())
        return fail("begin run"), -1;
    s.bind(1, i.startedMs);
    s.bind(2, i.model);
    s.bind(3, i.firmware);
    s.bind(4, i.serial);
    s.bind(5, qint64(i.address));
    s.bind(6, qint64(i.deviceClass));
    s.bind(7, qint64(i.workMode));
    s.bind(8, i.setValue);
    s.bind(9, i.cutoffVolts);
    s.bind(10, qint64(i.timeLimitMinutes));
    s.bind(11, i.label);
    s.bind(12, qint64(::getpid()));
    s.bind(13, QDateTime::currentMSecsSinceEpoch());
    if (s.step() != SQLITE_DONE)
        return fail("begin run"), -1;
    return sqlite3_last_insert_rowid(m_db);
}

bool RunStore::append(qint64 runId, const QVector<Sample> &samples, const RunSummary &summary)
{
    if (!exec("BEGIN IMMEDIATE;"))
        return false;
    Statement insert(m_db, "INSERT OR REPLACE INTO samples(run_id, t, v) VALUES(?,?,?)");
    Statement update(m_db, "UPDATE runs SET heartbeat_ms=?, samples=?, duration_s=?, "
                           "capacity_mah=?, energy_wh=?, avg_v=?, min_v=?, avg_a=?, "
                           "max_mos_c=?, max_ntc_c=? WHERE id=?");
    bool ok = insert.ok() && update.ok();
    for (const Sample &sample : samples) {
        if (!ok)
            break;
        insert.bind(1, runId);
        insert.bind(2, sample.timeMs);
        insert.bind(3, pack(sample.values));
        ok = insert.step() == SQLITE_DONE;
        insert.reset();
    }
    if (ok) {
        update.bind(1, QDateTime::currentMSecsSinceEpoch());
        bindSummary(update, 2, summary);
        update.bind(11, runId);
        ok = update.step() == SQLITE_DONE;
    }
    if (ok && sqlite3_exec(m_db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    fail("store samples");
    sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
    return false;
}

bool RunStore::endRun(qint64 runId, qint64 endedMs, const QString &reason,
                      const RunSummary &summary)
{
    Statement s(m_db, "UPDATE runs SET ended_ms=?, end_reason=?, heartbeat_ms=?, samples=?, "
                      "duration_s=?, capacity_mah=?, energy_wh=?, avg_v=?, min_v=?, avg_a=?, "
                      "max_mos_c=?, max_ntc_c=? WHERE id=?");
    if (!s.ok())
        return fail("end run");
    s.bind(1, endedMs);
    s.bind(2, reason);
    s.bind(3, QDateTime::currentMSecsSinceEpoch());
    bindSummary(s, 4, summary);
    s.bind(13, runId);
    return s.step() == SQLITE_DONE || fail("end run");
}

bool RunStore::setResults(qint64 runId, const QString &json)
{
    Statement s(m_db, "UPDATE runs SET results=? WHERE id=?");
    if (!s.ok())
        return fail("store results");
    s.bind(1, json);
    s.bind(2, runId);
    return s.step() == SQLITE_DONE || fail("store results");
}

bool RunStore::touch(qint64 runId)
{
    Statement s(m_db, "UPDATE runs SET heartbeat_ms=? WHERE id=? AND ended_ms IS NULL");
    if (!s.ok())
        return fail("heartbeat");
    s.bind(1, QDateTime::currentMSecsSinceEpoch());
    s.bind(2, runId);
    return s.step() == SQLITE_DONE || fail("heartbeat");
}

bool RunStore::setSynced(bool synced)
{
    return exec(synced ? "PRAGMA synchronous=FULL;" : "PRAGMA synchronous=NORMAL;");
}

void RunStore::setMaxPages(int pages)
{
    const QByteArray sql = "PRAGMA max_page_count=" + QByteArray::number(pages) + ";";
    exec(sql.constData());
}

int RunStore::closeAbandonedRuns()
{
    QList<qint64> abandoned;
    {
        Statement s(m_db, "SELECT id, writer_pid, heartbeat_ms FROM runs WHERE ended_ms IS NULL");
        if (!s.ok())
            return 0;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        while (s.step() == SQLITE_ROW) {
            const qint64 pid = s.integer(1);
            // A writer that is gone, or one silent for long (its number reused).
            const bool gone =
                pid != ::getpid() && (!processAlive(pid) || now - s.integer(2) > HeartbeatStaleMs);
            if (gone)
                abandoned << s.integer(0);
        }
    }
    int closed = 0;
    for (qint64 id : abandoned) {
        // The summary stored with the last samples stands; the run ends at its last sample.
        Statement s(m_db, "UPDATE runs SET end_reason=?, ended_ms=COALESCE((SELECT max(t) FROM "
                          "samples WHERE run_id=?), started_ms) WHERE id=? AND ended_ms IS NULL");
        if (!s.ok())
            break;
        s.bind(1, QString::fromLatin1(EndReason::Interrupted));
        s.bind(2, id);
        s.bind(3, id);
        if (s.step() == SQLITE_DONE && sqlite3_changes(m_db) > 0)
            ++closed;
    }
    return closed;
}

QList<RunEntry> RunStore::runs() const
{
    QList<RunEntry> out;
    const QByteArray sql =
        QByteArray("SELECT ") + RunColumns + " FROM runs ORDER BY started_ms DESC, id DESC";
    Statement s(m_db, sql.constData());
    while (s.ok() && s.step() == SQLITE_ROW)
        out << readRun(s);
    return out;
}

bool RunStore::run(qint64 id, RunEntry *entry) const
{
    const QByteArray sql = QByteArray("SELECT ") + RunColumns + " FROM runs WHERE id=?";
    Statement s(m_db, sql.constData());
    if (!s.ok())
        return false;
    s.bind(1, id);
    if (s.step() != SQLITE_ROW)
        return false;
    *entry = readRun(s);
    return true;
}

bool RunStore::loadSamples(qint64 id, SampleStore *store) const
{
    Statement s(m_db, "SELECT t, v FROM samples WHERE run_id=? ORDER BY t");
    if (!s.ok())
        return fail("read samples");
    s.bind(1, id);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        store->append(s.integer(0),
                      unpack(sqlite3_column_blob(s.get(), 1), sqlite3_column_bytes(s.get(), 1)));
    return rc == SQLITE_DONE || fail("read samples");
}

bool RunStore::setLabel(qint64 id, const QString &label)
{
    Statement s(m_db, "UPDATE runs SET label=? WHERE id=?");
    if (!s.ok())
        return fail("label");
    s.bind(1, label);
    s.bind(2, id);
    return (s.step() == SQLITE_DONE && sqlite3_changes(m_db) > 0) || fail("label");
}

bool RunStore::remove(qint64 id)
{
    if (!exec("BEGIN IMMEDIATE;"))
        return false;
    Statement samples(m_db, "DELETE FROM samples WHERE run_id=?");
    Statement run(m_db, "DELETE FROM runs WHERE id=?");
    bool ok = samples.ok() && run.ok();
    if (ok) {
        samples.bind(1, id);
        run.bind(1, id);
        ok =
            samples.step() == SQLITE_DONE && run.step() == SQLITE_DONE && sqlite3_changes(m_db) > 0;
    }
    if (ok && sqlite3_exec(m_db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
    return fail("delete");
}
