// The history of runs: what reaches the disk and when, what a killed program
// leaves, a damaged or full database, two writers at once, and what the
// command-line tool makes of it. The database is checked with the sqlite3
// shell, the CSV with Python's csv module, the PDF with pdftoppm/pdftotext.
#include "../common/simprocess.h"
#include "historywriter.h"
#include "runstore.h"
#include "savedatadeal.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <csignal>

namespace {

Run run(const QString &program, const QStringList &args, int timeoutMs = 30000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString sql(const QString &db, const QString &query)
{
    return run(QStringLiteral("sqlite3"), {db, query}).out.trimmed();
}

SampleStore::Values values(int i)
{
    // Negative, tiny and large values: every one must come back as it went in.
    return {float(4.2 - i * 0.001),
            float(i % 7 == 0 ? -1.5 : 3.0),
            float(12.345678 + i),
            float(1e-3 * i),
            float(i * 0.0083),
            float(i * 0.8333),
            35.5f,
            float(i % 3000),
            41.25f,
            i % 5 == 0 ? -40.0f : 25.125f};
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A run kept as it is taken: in WAL mode, every sample back exactly as it
    // went in (a stored run exports to the same bytes as the live record), the
    // summary stored with it, well under 100 bytes a sample on disk.
    void storedRunGivesBackTheLiveRecord()
    {
        const QString db = path("store.sqlite");
        SampleStore live;
        {
            HistoryWriter w;
            QVERIFY(w.open(db));
            RunInfo info;
            info.startedMs = 1700000000000;
            info.model = "KV37";
            info.serial = "4B56333730303031";
            info.deviceClass = 1;
            info.label = QStringLiteral("cell #3");
            w.beginRun(info);
            for (int i = 0; i < 20000; ++i) {
                const qint64 t = info.startedMs + 1000LL * i;
                live.append(t, values(i));
                w.addSample(t, values(i));
            }
            const RunSummary s = w.endRun(QString::fromLatin1(EndReason::CutOff));
            QCOMPARE(s.samples, qint64(20000));
            QCOMPARE(s.durationS, 19999.0);
            w.flush();
        }
        QCOMPARE(sql(db, "PRAGMA journal_mode;"), QStringLiteral("wal"));
        QCOMPARE(sql(db, "SELECT label, end_reason, samples FROM runs;"),
                 QStringLiteral("cell #3|cut-off|20000"));
        RunStore store;
        QCOMPARE(store.open(db), RunStore::Opened::Ok);
        const QList<RunEntry> runs = store.runs();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0].summary.samples, qint64(20000));
        QVERIFY(qAbs(runs[0].summary.capacityMah - 19999 * 0.8333) < 1);
        SampleStore back;
        QVERIFY(store.loadSamples(runs[0].id, &back));
        QCOMPARE(back.size(), live.size());
        saveDataDeal a, b;
        QVERIFY(a.writeCsv(live, path("live.csv"), 1) && b.writeCsv(back, path("stored.csv"), 1));
        QFile fa(path("live.csv")), fb(path("stored.csv"));
        QVERIFY(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
        QVERIFY(fa.readAll() == fb.readAll());
        // Python's csv module reads it back whole: 20000 rows of 11 fields.
        const Run py =
            run(QStringLiteral("python3"), {"-c",
                                            "import csv,sys; r=list(csv.reader(open(sys.argv[1])));"
                                            "d=[x for x in r if x and x[0].startswith('20')];"
                                            "print(len(d), set(len(x) for x in d))",
                                            path("stored.csv")});
        QCOMPARE(py.out.trimmed(), QStringLiteral("20000 {11}"));
        // The size on disk, checkpointed.
        sql(db, "PRAGMA wal_checkpoint(TRUNCATE);");
        const double perSample = double(QFileInfo(db).size()) / 20000.0;
        QVERIFY2(perSample < 100, qPrintable(QString::number(perSample)));
    }

    // A file that is no database is moved aside and a new one started, said
    // once; a database that cannot grow (a full disk) is said once and the
    // writer goes on taking samples in memory; the next run tries again.
    void brokenAndFullDatabases()
    {
        const QString db = path("broken.sqlite");
        {
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, '\x5a'));
        }
        HistoryWriter w;
        QSignalSpy problems(&w, &HistoryWriter::problem);
        QVERIFY(w.open(db));
        QTRY_COMPARE(problems.count(), 1);
        QCOMPARE(problems[0][0].value<HistoryWriter::Problem>(),
                 HistoryWriter::Problem::MovedAside);
        const QString aside = problems[0][1].toString();
        QVERIFY2(
            QRegularExpression("broken\\.sqlite\\.broken-\\d{8}-\\d{6}$").match(aside).hasMatch(),
            qPrintable(aside));
        QFile kept(aside);
        QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == QByteArray(8192, '\x5a'));

        RunInfo info;
        info.startedMs = QDateTime::currentMSecsSinceEpoch();
        w.beginRun(info);
        w.addSample(info.startedMs, values(1));
        w.flush();
        QVERIFY(w.lastRunId() > 0);
        const QString pages = sql(db, "PRAGMA page_count;");
        w.limitPagesForTest(pages.toInt() + 2);
        for (int i = 0; i < 3000; ++i)
            w.addSample(info.startedMs + 1000 * (i + 1), values(i));
        w.flush();
        for (int i = 0; i < 3000; ++i) // more failures, no more warnings
            w.addSample(info.startedMs + 1000 * (i + 3001), values(i));
        w.flush();
        QTRY_COMPARE(problems.count(), 2);
        QTest::qWait(100);
        QCOMPARE(problems.count(), 2);
        QCOMPARE(problems[1][0].value<HistoryWriter::Problem>(),
                 HistoryWriter::Problem::WriteFailed);
        QCOMPARE(w.summary().samples, qint64(6001)); // the run goes on in memory
        w.endRun(QString::fromLatin1(EndReason::Stopped));
        w.flush();
    }

    // Two programs keep runs in one history at the same time: neither waits
    // long, neither fails, every sample of both is kept.
    void twoWritersAtOnce()
    {
        const QString db = path("shared.sqlite");
        HistoryWriter a, b;
        QSignalSpy pa(&a, &HistoryWriter::problem), pb(&b, &HistoryWriter::problem);
        QVERIFY(a.open(db) && b.open(db));
        RunInfo info;
        info.startedMs = QDateTime::currentMSecsSinceEpoch();
        a.beginRun(info);
        b.beginRun(info);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 30; ++i) {
            for (int k = 0; k < 100; ++k) {
                a.addSample(info.startedMs + 100 * (100 * i + k), values(k));
                b.addSample(info.startedMs + 100 * (100 * i + k), values(k));
            }
            QTest::qWait(100);
        }
        a.endRun(QString::fromLatin1(EndReason::Closed));
        b.endRun(QString::fromLatin1(EndReason::Closed));
        a.flush();
        b.flush();
        QCOMPARE(pa.count() + pb.count(), 0);
        QCOMPARE(sql(db, "SELECT group_concat(samples) FROM runs;"), QStringLiteral("3000,3000"));
        QCOMPARE(sql(db, "SELECT count(*) FROM samples;"), QStringLiteral("6000"));
    }

    // The command-line tool killed in the middle of a log: the next start
    // finds the run interrupted, with every sample stored up to a second
    // before the kill (the CSV holds them all); list, show, export, report,
    // label and delete through the tool.
    void killedLogAndTheHistoryCommands()
    {
        Sim sim("1", QStringLiteral("RX41"));
        const QString db = path("cli.sqlite");
        const QString csv = path("killed.csv");
        const QStringList history{"--history", db};
        QProcess log;
        log.start(QStringLiteral(CLI_PATH), sim.args(history + QStringList{"log", csv}));
        QDeadlineTimer deadline(20000);
        while (csvRows(csv).size() < 6 && !deadline.hasExpired())
            QTest::qWait(50);
        QTest::qWait(1500); // the rows so far have had their second to reach the history
        ::kill(pid_t(log.processId()), SIGKILL);
        QVERIFY(log.waitForFinished(5000));
        const int rows = csvRows(csv).size();
        QVERIFY(rows >= 6);
        QCOMPARE(sql(db, "SELECT count(*) FROM runs WHERE ended_ms IS NULL;"), QStringLiteral("1"));

        const QStringList cli = history;
        Run r = run(QStringLiteral(CLI_PATH), cli + QStringList{"--json", "history", "list"});
        QCOMPARE(r.code, 0);
        const QJsonObject listed = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(listed.value("end_reason").toString(), QStringLiteral("interrupted"));
        QVERIFY2(
            listed.value("samples").toInt() >= rows - 1,
            qPrintable(QStringLiteral("%1 of %2").arg(listed.value("samples").toInt()).arg(rows)));
        QCOMPARE(listed.value("model").toString(), QStringLiteral("RX41"));
        const QString id = QString::number(listed.value("id").toInt());

        QCOMPARE(run(QStringLiteral(CLI_PATH), cli + QStringList{"history", "label", id, "cell #3"})
                     .code,
                 0);
        r = run(QStringLiteral(CLI_PATH), cli + QStringList{"history", "show", id});
        QVERIFY2(r.out.contains("cell #3") && r.out.contains("interrupted"), qPrintable(r.out));
        QCOMPARE(run(QStringLiteral(CLI_PATH),
                     cli + QStringList{"history", "export", id, path("run.csv")})
                     .code,
                 0);
        QCOMPARE(csvRows(path("run.csv")).size(), listed.value("samples").toInt());
        QCOMPARE(csvRows(path("run.csv")), csvRows(csv).mid(0, listed.value("samples").toInt()));
        QCOMPARE(run(QStringLiteral(CLI_PATH),
                     cli + QStringList{"history", "report", id, path("run.pdf")})
                     .code,
                 0);
        QCOMPARE(
            run(QStringLiteral("pdftoppm"), {"-png", "-r", "40", path("run.pdf"), path("page")})
                .code,
            0);
        QVERIFY(QFile::exists(path("page-1.png")));
        r = run(QStringLiteral("pdftotext"), {path("run.pdf"), "-"});
        for (const char *text : {"Run report: cell #3", "RX41", "Capacity", "mAh", "interrupted"})
            QVERIFY2(r.out.contains(QLatin1String(text)), text);

        QCOMPARE(run(QStringLiteral(CLI_PATH), cli + QStringList{"history", "delete", id}).code, 2);
        QCOMPARE(
            run(QStringLiteral(CLI_PATH), cli + QStringList{"history", "delete", id, "--yes"}).code,
            0);
        QCOMPARE(sql(db, "SELECT count(*) FROM runs; SELECT count(*) FROM samples;"),
                 QStringLiteral("0\n0"));
        QCOMPARE(run(QStringLiteral(CLI_PATH), cli + QStringList{"history", "show", id}).code, 2);
    }

    // A run abandoned before its first samples were stored has no summary in
    // the database: it reads as an empty run, and the tool shows it so.
    void runAbandonedBeforeItsFirstSamples()
    {
        const QString db = path("empty.sqlite");
        RunStore store;
        QCOMPARE(store.open(db), RunStore::Opened::Ok);
        RunInfo info;
        info.startedMs = 1700000000000;
        info.model = "KV37";
        const qint64 id = store.beginRun(info);
        QVERIFY(id > 0);
        QCOMPARE(sql(db, "SELECT duration_s IS NULL FROM runs;"), QStringLiteral("1"));
        RunEntry e;
        QVERIFY(store.run(id, &e));
        QCOMPARE(e.summary.durationS, 0.0);
        QCOMPARE(e.summary.capacityMah, 0.0);
        QVERIFY(std::isnan(e.summary.maximumNtcC)); // no probe
        store.close();
        const Run r = run(QStringLiteral(CLI_PATH),
                          {"--history", db, "history", "show", QString::number(id)});
        QVERIFY2(r.code == 0 && r.out.contains(QRegularExpression("Duration +0s\\n")),
                 qPrintable(r.out + r.err));
    }

    // A writer whose run takes no samples for a while (a stopped load) still
    // gives signs of life, so another program does not end its run as
    // interrupted.
    void quietRunStaysOpen()
    {
        const QString db = path("quiet.sqlite");
        HistoryWriter w;
        QVERIFY(w.open(db));
        w.setSyncIntervalForTest(10);
        RunInfo info;
        info.startedMs = QDateTime::currentMSecsSinceEpoch();
        w.beginRun(info);
        w.flush();
        // As if the last sign of life were long ago.
        QCOMPARE(run(QStringLiteral("sqlite3"),
                     {"-cmd", ".timeout 5000", db, "UPDATE runs SET heartbeat_ms = 0;"})
                     .code,
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(sql(db, "SELECT heartbeat_ms FROM runs;").toLongLong() > 0, 10000);
        const Run r = run(QStringLiteral(CLI_PATH), {"--history", db, "--json", "history", "list"});
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("end_reason").toString(),
                 QString());
        QCOMPARE(sql(db, "SELECT ended_ms IS NULL FROM runs;"), QStringLiteral("1"));
        w.endRun(QString::fromLatin1(EndReason::Stopped));
    }

    // A writer opened on another database ends its open run in the first and
    // keeps the next run in the second.
    void writerOpenedAgain()
    {
        const QString a = path("first.sqlite"), b = path("second.sqlite");
        HistoryWriter w;
        QVERIFY(w.open(a));
        RunInfo info;
        info.startedMs = QDateTime::currentMSecsSinceEpoch();
        w.beginRun(info);
        w.addSample(info.startedMs, values(1));
        QVERIFY(w.open(b));
        QVERIFY(!w.runOpen());
        w.beginRun(info);
        w.addSample(info.startedMs, values(2));
        w.endRun(QString::fromLatin1(EndReason::Stopped));
        w.flush();
        QCOMPARE(sql(a, "SELECT end_reason || ' ' || samples FROM runs;"),
                 QStringLiteral("closed 1"));
        QCOMPARE(sql(b, "SELECT end_reason || ' ' || samples FROM runs;"),
                 QStringLiteral("stopped 1"));
    }

    // log --until-stopped keeps the run with how it ended and prints its summary.
    void summaryAtTheEndOfALog()
    {
        SummaryBuilder b;
        SampleStore::Values v{};
        v[SampleStore::Voltage] = 4.0f;
        v[SampleStore::Current] = 2.0f;
        v[SampleStore::NtcTemp] = -40.0f; // no probe
        for (int i = 0; i < 10; ++i) {
            v[SampleStore::Capacity] = float(100 + i * 10);
            v[SampleStore::Energy] = float(1 + i);
            if (i == 5) { // cleared on the instrument
                v[SampleStore::Capacity] = 5;
                v[SampleStore::Energy] = 0.5f;
            }
            b.add(1000 * i, v);
        }
        const RunSummary s = b.summary();
        QCOMPARE(s.capacityMah, 40.0 + 190.0); // 100 to 140, then 0 to 190
        QVERIFY(std::isnan(s.maximumNtcC));
        QCOMPARE(EndReason::ofStop(3.01, 3.0, 100, 0), QStringLiteral("cut-off"));
        QCOMPARE(EndReason::ofStop(3.8, 3.0, 3600, 60), QStringLiteral("time limit"));
        QCOMPARE(EndReason::ofStop(3.8, 3.0, 100, 60), QStringLiteral("stopped"));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
