// usb-tester-cli program run as a process against usb-tester-sim on a
// private socket, as a user or a script runs it.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <memory>

namespace {

// The standalone simulator, alive for one test.
class Sim
{
public:
    explicit Sim(const QString &speed, const QString &setup)
    {
        m_proc.start(QStringLiteral(SIM_PATH), {"--listen", m_path, "--speed", speed, setup});
        m_proc.waitForStarted();
        QDeadlineTimer deadline(5000);
        while (!QFile::exists(m_path) && !deadline.hasExpired())
            QTest::qWait(10);
    }
    ~Sim()
    {
        m_proc.write("quit\n");
        if (!m_proc.waitForFinished(3000))
            m_proc.kill();
        m_proc.waitForFinished(1000);
    }
    // The tool on this instrument, keeping its runs in a history of this test's own.
    QStringList args(const QStringList &rest) const
    {
        return QStringList{"--device", "socket:" + m_path, "--history", history()} + rest;
    }
    QString history() const { return m_dir.filePath(QStringLiteral("history.sqlite")); }
    void command(const QByteArray &line)
    {
        m_proc.write(line + '\n');
        m_proc.waitForBytesWritten(1000);
    }
    // The instrument's running flag, as the tool reads it afterwards.
    bool loadRunning() const
    {
        QProcess p;
        p.start(QStringLiteral(CLI_PATH), args({"--json", "read"}));
        p.waitForFinished(10000);
        const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        if (!o.contains("running"))
            qFatal("read gave no running flag");
        return o.value("running").toBool();
    }

private:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("load.sock"));
    QProcess m_proc;
};

// One program run of the tool, started at once and waited for later, so
// that runs on separate simulators go on side by side.
struct Run
{
    explicit Run(const QStringList &args)
    {
        proc = std::make_unique<QProcess>();
        proc->start(QStringLiteral(CLI_PATH), args);
        proc->waitForStarted();
    }
    bool waitForError(const QString &text, int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!err.contains(text) && !deadline.hasExpired()) {
            proc->waitForReadyRead(50);
            err += QString::fromUtf8(proc->readAllStandardError());
            out += QString::fromUtf8(proc->readAllStandardOutput());
        }
        return err.contains(text);
    }
    int wait(int ms)
    {
        if (!proc->waitForFinished(ms)) {
            proc->kill();
            proc->waitForFinished();
        }
        out += QString::fromUtf8(proc->readAllStandardOutput());
        err += QString::fromUtf8(proc->readAllStandardError());
        return proc->exitStatus() == QProcess::NormalExit ? proc->exitCode() : -1;
    }
    // The JSON events, one a line.
    QList<QJsonObject> events() const
    {
        QList<QJsonObject> list;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts))
            list << QJsonDocument::fromJson(line.toUtf8()).object();
        return list;
    }
    QJsonObject end() const { return events().value(events().size() - 1); }
    QJsonArray results() const { return end().value("results").toArray(); }
    std::unique_ptr<QProcess> proc;
    QString out, err;
};

bool within(double measured, double expected, double fraction)
{
    return std::fabs(measured - expected) <= fraction * expected;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &json)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size())
        qFatal("cannot write %s", qPrintable(name));
    return f.fileName();
}

// Every kind of step: a discharge ended by its duration, a rest ended by
// the voltage coming back, a repeat of constant-power discharges ended by
// their mAh, a DCIR measurement, a pause, and a constant-resistance
// discharge ended by its Wh.
const QByteArray EveryKind = R"({
  "format": "usb-tester-program", "version": 1, "name": "Every kind",
  "steps": [
    {"kind": "discharge", "mode": "cc", "value": 1.0, "duration_s": 3, "cutoff_v": 3.0},
    {"kind": "rest", "duration_s": 20, "until_v": 4.0},
    {"kind": "repeat", "times": 2, "steps": [
      {"kind": "discharge", "mode": "cp", "value": 3.0, "capacity_mah": 0.5},
      {"kind": "rest", "duration_s": 1}]},
    {"kind": "dcir", "i1_a": 0.5, "i2_a": 2.5, "t1_s": 2, "t2_s": 1},
    {"kind": "pause", "message": "Check the temperature of the cell"},
    {"kind": "discharge", "name": "short CR", "mode": "cr", "value": 4.0, "energy_wh": 0.002}]})";

} // namespace

class TestProgramProcess : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // The three templates, side by side on three simulators: the capacity
    // delivered within 2 % of the battery's, the DCIR within 5 % of its
    // internal resistance.
    void templates()
    {
        Sim fast("60", "KV37,ir=45,cap=400"), realTime("1", "KV37,ir=45"),
            cycle("60", "KV37,ir=45,cap=500");
        const QString csv = m_dir.filePath("capacity.csv");
        Run capacity(fast.args({"--json", "program", "--template", "capacity", "--param",
                                "current_a=2", "--log", csv}));
        Run dcir(realTime.args({"--json", "program", "--template", "dcir", "--param", "rest_s=1",
                                "--param", "t1_s=2"}));
        Run both(cycle.args({"--json", "program", "--template", "capacity-dcir", "--param",
                             "current_a=2", "--param", "every_mah=200", "--param", "rest_s=2",
                             "--param", "t1_s=2"}));

        QCOMPARE(capacity.wait(60000), 0);
        QCOMPARE(capacity.end().value("outcome").toString(), QStringLiteral("completed"));
        QVERIFY(capacity.end().value("load_stopped").toBool());
        const QJsonObject discharge = capacity.results().at(0).toObject();
        QCOMPARE(discharge.value("end").toString(), QStringLiteral("cut-off"));
        QVERIFY2(within(discharge.value("capacity_mah").toDouble(), 400, 0.02),
                 qPrintable(capacity.out));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().count("\n20") >= 5); // a row a second
        QVERIFY(!fast.loadRunning());
        // The whole program is one run in the history, with its step results.
        const int id = capacity.end().value("history_run").toInt();
        QVERIFY(id > 0);
        Run shown({"--history", fast.history(), "--json", "history", "show", QString::number(id)});
        QCOMPARE(shown.wait(10000), 0);
        const QJsonObject program = shown.end().value("program").toObject();
        QCOMPARE(program.value("outcome").toString(), QStringLiteral("completed"));
        QCOMPARE(program.value("steps").toArray(), capacity.results());
        QCOMPARE(shown.end().value("end_reason").toString(), QStringLiteral("program completed"));
        QCOMPARE(shown.end().value("label").toString(), QStringLiteral("Capacity test"));

        QCOMPARE(dcir.wait(60000), 0);
        const QJsonObject r = dcir.results().at(1).toObject();
        QCOMPARE(r.value("kind").toString(), QStringLiteral("dcir"));
        QVERIFY2(within(r.value("dcir_mohm").toDouble(), 45, 0.05), qPrintable(dcir.out));
        QVERIFY(!realTime.loadRunning());

        // Rest and DCIR, then passes of 200 mAh each followed by a rest and a
        // DCIR, until a discharge ends at the cut-off.
        QCOMPARE(both.wait(90000), 0);
        double delivered = 0;
        int measured = 0;
        QStringList ends;
        for (const QJsonValue &v : both.results()) {
            const QJsonObject o = v.toObject();
            delivered += o.value("capacity_mah").toDouble();
            measured += o.value("dcir_mohm").toDouble() > 0;
            ends << o.value("kind").toString() + ":" + o.value("end").toString();
        }
        QVERIFY2(within(delivered, 500, 0.02), qPrintable(both.out));
        const QString sequence = ends.join(' ');
        QVERIFY2(sequence.startsWith(
                     "rest:duration dcir:done discharge:capacity rest:duration dcir:done "),
                 qPrintable(sequence));
        QVERIFY2(sequence.endsWith(" discharge:cut-off repeat:done"), qPrintable(sequence));
        QVERIFY(measured >= 2);
        QVERIFY(!cycle.loadRunning());
    }

    // A program with every kind of step; its pause goes on with Enter.
    void everyKindOfStep()
    {
        Sim sim("1", "KV37,ir=45");
        Run run(sim.args({"--json", "program", write(m_dir, "every.json", EveryKind)}));
        QVERIFY2(run.waitForError("press Enter to go on", 60000), qPrintable(run.err));
        QVERIFY(run.err.contains("Check the temperature of the cell"));
        QVERIFY(!sim.loadRunning()); // a pause holds with the load off
        run.proc->write("\n");
        QCOMPARE(run.wait(60000), 0);
        QStringList steps;
        for (const QJsonObject &e : run.events())
            if (e.value("event") == "step" || e.value("event") == "pause")
                steps << e.value("event").toString() + " " + e.value("step").toString() + " " +
                             e.value("kind").toString() + " " + e.value("end").toString();
        QCOMPARE(steps, (QStringList{"step 1 discharge duration", "step 2 rest recovered",
                                     "step 3.1 discharge capacity", "step 3.2 rest duration",
                                     "step 3.1 discharge capacity", "step 3.2 rest duration",
                                     "step 3 repeat done", "step 4 dcir done", "pause 5  ",
                                     "step 5 pause confirmed", "step 6 discharge energy"}));
        const QJsonArray results = run.results();
        QCOMPARE(results.size(), 10);
        const QJsonObject first = results.at(0).toObject();
        QVERIFY(first.value("duration_s").toDouble() >= 3 &&
                first.value("duration_s").toDouble() < 4.5);
        QCOMPARE(results.at(2).toObject().value("pass").toArray(), QJsonArray({1}));
        QCOMPARE(results.at(4).toObject().value("pass").toArray(), QJsonArray({2}));
        for (int i : {2, 4})
            QVERIFY(results.at(i).toObject().value("capacity_mah").toDouble() >= 0.5);
        QCOMPARE(results.at(6).toObject().value("passes").toInt(), 2);
        QVERIFY(within(results.at(7).toObject().value("dcir_mohm").toDouble(), 45, 0.05));
        QVERIFY(results.at(9).toObject().value("energy_wh").toDouble() >= 0.002);
        QCOMPARE(results.at(9).toObject().value("name").toString(), QStringLiteral("short CR"));
        QVERIFY(!sim.loadRunning());
    }

    // Ctrl-C in the middle: the load stops, then the tool exits 1 with the
    // step aborted in its table. A pause nobody can answer ends the same way.
    void interruptedProgramStopsTheLoad()
    {
        Sim sim("1", "KV37");
        Run run(sim.args({"program", "--template", "capacity"}));
        QVERIFY(run.waitForError("running \"Capacity test\"", 20000));
        QTRY_VERIFY_WITH_TIMEOUT(sim.loadRunning(), 15000);
        ::kill(pid_t(run.proc->processId()), SIGINT);
        QCOMPARE(run.wait(20000), 1);
        QVERIFY2(run.out.contains("Program \"Capacity test\" aborted"), qPrintable(run.out));
        QVERIFY(run.out.contains(QRegularExpression("\n1 +discharge +aborted")));
        QVERIFY(!sim.loadRunning());

        Run unanswered(
            sim.args({"program", write(m_dir, "pause.json",
                                       R"({"format": "usb-tester-program", "version": 1, "steps": [
                                                      {"kind": "pause", "message": "Swap the cell"}]})")}));
        unanswered.proc->closeWriteChannel();
        QCOMPARE(unanswered.wait(20000), 1);
        QVERIFY2(unanswered.err.contains("standard input is closed"), qPrintable(unanswered.err));
    }

    // The instrument unplugged in the middle: the program holds; once it is
    // back the tool stops the load and exits 1, or goes on with
    // --resume-after-loss.
    void instrumentLostInTheMiddle()
    {
        const QString file =
            write(m_dir, "ten.json", R"({"format": "usb-tester-program", "version": 1,
            "steps": [{"kind": "discharge", "mode": "cc", "value": 1, "duration_s": 8},
                      {"kind": "rest", "duration_s": 1}]})");
        Sim stopping("1", "KV37"), resuming("1", "KV37");
        Run stop(stopping.args({"program", file}));
        Run resume(resuming.args({"--json", "program", file, "--resume-after-loss"}));
        for (Run *r : {&stop, &resume})
            QVERIFY(r->waitForError("running", 20000));
        QTRY_VERIFY_WITH_TIMEOUT(stopping.loadRunning() && resuming.loadRunning(), 15000);
        for (Sim *s : {&stopping, &resuming})
            s->command("unplug");
        for (Run *r : {&stop, &resume})
            QVERIFY2(r->waitForError("the instrument is gone", 15000), qPrintable(r->err));
        QTest::qWait(1500);
        QCOMPARE(stop.proc->state(), QProcess::Running); // it holds
        for (Sim *s : {&stopping, &resuming})
            s->command("replug");
        QCOMPARE(stop.wait(30000), 1);
        QVERIFY2(stop.err.contains("stopping the load"), qPrintable(stop.err));
        QVERIFY(!stopping.loadRunning());
        QCOMPARE(resume.wait(40000), 0);
        QCOMPARE(resume.results().at(0).toObject().value("end").toString(),
                 QStringLiteral("duration"));
        QCOMPARE(resume.results().size(), 2);
        QVERIFY(!resuming.loadRunning());
    }

    // Power testers have no load; bad files are refused before any
    // instrument is opened, with the step and field named.
    void refused()
    {
        Sim tester("1", "RX41");
        Run run(tester.args({"program", "--template", "capacity"}));
        QCOMPARE(run.wait(20000), 2);
        QVERIFY2(run.err.contains("test programs need an electronic load"), qPrintable(run.err));

        const QStringList none{"--device", "socket:/nonexistent/load.sock"};
        const QList<QPair<QByteArray, QString>> files = {
            {R"({"format": "usb-tester-program", "version": 3, "steps": []})",
             "field \"version\": version 3 is not known"},
            {R"({"format": "usb-tester-program", "version": 1, "steps": [{"kind": "rest", "duration_s": 60},
                {"kind": "repeat", "times": 2, "steps": [{"kind": "dcir", "i1_a": 1, "i2_a": 2, "t3_s": 1}]}]})",
             "step 2.1 (dcir), field \"t3_s\": no such field"},
        };
        for (int i = 0; i < files.size(); ++i) {
            Run bad(none + QStringList{"program", write(m_dir, QStringLiteral("bad%1.json").arg(i),
                                                        files.at(i).first)});
            // 2, not 3: no instrument was looked for.
            QCOMPARE(bad.wait(10000), 2);
            QVERIFY2(bad.err.contains(files.at(i).second), qPrintable(bad.err));
        }
        // Printing a template needs no instrument either, and prints a program.
        Run print(none +
                  QStringList{"program", "--template", "dcir", "--param", "i2_a=3", "--print"});
        QCOMPARE(print.wait(10000), 0);
        const QJsonObject printed = QJsonDocument::fromJson(print.out.toUtf8()).object();
        QCOMPARE(printed.value("format").toString(), QStringLiteral("usb-tester-program"));
        QCOMPARE(printed.value("steps").toArray().at(1).toObject().value("i2_a").toDouble(), 3.0);
    }
};

QTEST_GUILESS_MAIN(TestProgramProcess)
#include "test_program_process.moc"
