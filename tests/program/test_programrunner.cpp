// The program runner in-process against the simulated instrument served on a
// socket: what it measures, and that the load is left stopped however a
// program ends (completed, aborted, failed, the instrument gone and back).
#include "commandframe.h"
#include "historywriter.h"
#include "programrunner.h"
#include "programtemplates.h"
#include "runstore.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace {

using State = ProgramRunner::State;

struct Rig
{
    Rig(const QString &setupText, double speed)
    {
        SimSetup setup;
        QString error;
        if (!SimSetup::parse(setupText, &setup, &error))
            qFatal("bad setup: %s", qPrintable(error));
        server = std::make_unique<SimServer>(setup, speed);
        if (!server->listen(path(), &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(path()));
        session = std::make_unique<InstrumentSession>();
        session->setTimeoutMs(2000);
        connected = session->open();
        runner = std::make_unique<ProgramRunner>(*session);
    }
    ~Rig()
    {
        runner.reset();
        session.reset();
        hid::setBackend(nullptr);
        server.reset();
    }
    QString path() const { return dir.filePath(QStringLiteral("i.sock")); }
    bool loadRunning()
    {
        bool running = false;
        server->withInstrument([&](SimInstrument &i) { running = i.master()->running(); });
        return running;
    }
    bool finished(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (runner->state() != State::Finished && !deadline.hasExpired())
            QTest::qWait(20);
        return runner->state() == State::Finished;
    }
    // Output reports of a command code (with a lead byte) the instrument received.
    int received(int code, int lead = -1) const
    {
        int n = 0;
        for (const QByteArray &r : server->receivedReports())
            n += r.size() == 64 && quint8(r[3]) == code && (lead < 0 || quint8(r[4]) == lead);
        return n;
    }

    QTemporaryDir dir;
    std::unique_ptr<SimServer> server;
    std::unique_ptr<InstrumentSession> session;
    std::unique_ptr<ProgramRunner> runner;
    bool connected = false;
};

TestProgram program(const QVector<ProgramStep> &steps)
{
    TestProgram p;
    p.name = QStringLiteral("test");
    p.steps = steps;
    return p;
}

ProgramStep discharge(double amps, double seconds, double cutoff = 0)
{
    ProgramStep s;
    s.kind = StepKind::Discharge;
    s.value = amps;
    s.durationS = seconds;
    s.cutoffV = cutoff;
    return s;
}

bool within(double measured, double expected, double fraction)
{
    return std::fabs(measured - expected) <= fraction * expected;
}

} // namespace

class TestProgramRunner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    // R = (V1 - V2) / (I2 - I1) from the readings at the end of each level,
    // within 5 % of the battery's internal resistance; the whole program is
    // one run in the history with its step results.
    void dcirMeasuresTheInternalResistance_data()
    {
        QTest::addColumn<int>("milliohm");
        QTest::newRow("45 mOhm") << 45;
        QTest::newRow("150 mOhm") << 150;
    }
    void dcirMeasuresTheInternalResistance()
    {
        QFETCH(int, milliohm);
        Rig rig(QStringLiteral("KV37,ir=%1").arg(milliohm), 1.0);
        QVERIFY(rig.connected);
        HistoryWriter history;
        QVERIFY(history.open(rig.dir.filePath(QStringLiteral("history.sqlite"))));
        rig.runner->setHistory(&history);
        TestProgram p;
        ProgramTemplates::Problem problem;
        QString which;
        ProgramIssue issue;
        QVERIFY(ProgramTemplates::build("dcir", {{"rest_s", 1}, {"t1_s", 2}}, &p, &problem, &which,
                                        &issue));
        int samples = 0;
        connect(rig.runner.get(), &ProgramRunner::sampled, this, [&samples] { ++samples; });
        QVERIFY(rig.runner->start(p));
        QVERIFY(rig.finished(20000));
        QCOMPARE(rig.runner->outcome(), ProgramRunner::Outcome::Completed);
        QVERIFY(rig.runner->loadStopConfirmed());
        QVERIFY(!rig.loadRunning());
        const QVector<StepResult> &results = rig.runner->results();
        QCOMPARE(results.size(), 2);
        const StepResult &dcir = results.at(1);
        QVERIFY2(within(dcir.dcirMohm, milliohm, 0.05), qPrintable(QString::number(dcir.dcirMohm)));
        QVERIFY(dcir.i2 - dcir.i1 > 1.9 && dcir.v1 > dcir.v2);
        QVERIFY(dcir.capacityMah > 0);
        QVERIFY(samples >= 3);

        history.flush();
        RunStore store;
        QCOMPARE(store.open(history.path()), RunStore::Opened::Ok);
        const QList<RunEntry> runs = store.runs();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().info.label, QStringLiteral("DCIR test"));
        QCOMPARE(runs.first().endReason, QStringLiteral("program completed"));
        QVERIFY(runs.first().summary.samples >= 3);
        const QJsonObject stored = QJsonDocument::fromJson(runs.first().results.toUtf8()).object();
        QCOMPARE(stored.value("outcome").toString(), QStringLiteral("completed"));
        QCOMPARE(stored.value("steps").toArray().at(1).toObject().value("dcir_mohm").toDouble(),
                 std::round(dcir.dcirMohm * 100) / 100);
    }

    // A capacity test ends at the instrument's own cut-off, with the
    // battery's capacity delivered (within 2 %), at sixty times real time.
    void capacityTestDeliversTheCapacity()
    {
        Rig rig(QStringLiteral("KV37,ir=45,cap=400"), 60.0);
        QVERIFY(rig.connected);
        TestProgram p;
        ProgramTemplates::Problem problem;
        QString which;
        ProgramIssue issue;
        QVERIFY(
            ProgramTemplates::build("capacity", {{"current_a", 2}}, &p, &problem, &which, &issue));
        QVERIFY(rig.runner->start(p));
        QVERIFY(rig.finished(40000));
        QCOMPARE(rig.runner->outcome(), ProgramRunner::Outcome::Completed);
        const StepResult &r = rig.runner->results().first();
        QCOMPARE(r.end, StepResult::End::CutOff);
        QVERIFY2(within(r.capacityMah, 400, 0.02), qPrintable(QString::number(r.capacityMah)));
        QVERIFY(r.energyWh > 1.2 && r.energyWh < 1.6);
        QVERIFY(!rig.loadRunning());
        double cutoff = 0;
        rig.server->withInstrument(
            [&](SimInstrument &i) { cutoff = i.master()->parameters().cutoffVoltage; });
        QCOMPARE(cutoff, 3.0); // the instrument's own cut-off was set
    }

    // Abort during a discharge: the load stops and the instrument says so.
    void abortStopsTheLoad()
    {
        Rig rig(QStringLiteral("KV37"), 1.0);
        QVERIFY(rig.connected);
        QVERIFY(rig.runner->start(program({discharge(1, 600, 3.0)})));
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning(), 10000);
        // A whole-minute duration is the instrument's own time limit.
        int minutes = 0;
        rig.server->withInstrument(
            [&](SimInstrument &i) { minutes = i.master()->parameters().limitMinutes; });
        QCOMPARE(minutes, 10);
        rig.runner->abort();
        QVERIFY(rig.finished(10000));
        QCOMPARE(rig.runner->outcome(), ProgramRunner::Outcome::Aborted);
        QVERIFY(rig.runner->loadStopConfirmed());
        QVERIFY(!rig.loadRunning());
        QCOMPARE(rig.runner->results().last().end, StepResult::End::Aborted);
    }

    // A user's pause stops the load; resuming runs it again and the step
    // counts on from where it was.
    void pauseHoldsTheLoadOff()
    {
        Rig rig(QStringLiteral("KV37"), 1.0);
        QVERIFY(rig.runner->start(program({discharge(1, 30)})));
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning() && rig.runner->stepCapacityMah() > 0.2, 10000);
        rig.runner->pause();
        QTRY_COMPARE_WITH_TIMEOUT(rig.runner->state(), State::Paused, 10000);
        QVERIFY(!rig.loadRunning());
        const double before = rig.runner->stepCapacityMah();
        const double elapsed = rig.runner->stepElapsedS();
        QTest::qWait(1500);
        QCOMPARE(rig.runner->stepElapsedS(), elapsed); // its clock stands while paused
        rig.runner->resume();
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.runner->stepCapacityMah() > before + 0.2, 10000);
        rig.runner->abort();
        QVERIFY(rig.finished(10000));
        QVERIFY(!rig.loadRunning());
    }

    // The instrument goes away: the program holds and says so; once back it
    // asks, and goes on when told. Aborted while away, it stops the load as
    // soon as the instrument is back.
    void lossHoldsAndAsks()
    {
        Rig rig(QStringLiteral("KV37"), 1.0);
        QSignalSpy lost(rig.runner.get(), &ProgramRunner::instrumentLost);
        QSignalSpy asked(rig.runner.get(), &ProgramRunner::resumeQuestion);
        QVERIFY(rig.runner->start(program({discharge(1, 600, 3.0)})));
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning(), 10000);
        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(rig.runner->state(), State::InstrumentLost, 10000);
        QCOMPARE(lost.size(), 1);
        rig.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(rig.runner->state(), State::AskingToResume, 15000);
        QCOMPARE(asked.size(), 1);
        // The load ran on by itself while away; going on stops it and starts it afresh.
        const int starts = rig.received(CommandFrame::RunStop, 1);
        rig.runner->resume();
        QTRY_COMPARE_WITH_TIMEOUT(rig.runner->state(), State::Running, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.received(CommandFrame::RunStop, 1) > starts && rig.loadRunning(), 10000);

        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(rig.runner->state(), State::InstrumentLost, 10000);
        QVERIFY(rig.loadRunning()); // the instrument runs on by itself meanwhile
        rig.runner->abort();
        QVERIFY(rig.runner->abortPending());
        QCOMPARE(rig.runner->state(), State::InstrumentLost);
        rig.server->replug();
        QVERIFY(rig.finished(20000));
        QCOMPARE(rig.runner->outcome(), ProgramRunner::Outcome::Aborted);
        QVERIFY(rig.runner->loadStopConfirmed());
        QVERIFY(!rig.loadRunning());
    }

    // The load stopped by something else than the step's cut-off or time:
    // the program fails rather than report a capacity that is not the
    // battery's.
    void loadStoppedByOthersFails()
    {
        Rig rig(QStringLiteral("KV37"), 1.0);
        ProgramStep s = discharge(1, 0, 2.5);
        QVERIFY(rig.runner->start(program({s})));
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning() && rig.runner->stepCapacityMah() > 0, 10000);
        rig.server->withInstrument([](SimInstrument &i) {
            i.receive(CommandFrame::withLeadByte(1, CommandFrame::RunStop, 0));
        });
        QVERIFY(rig.finished(10000));
        QCOMPARE(rig.runner->failure(), ProgramRunner::Failure::InstrumentStopped);
        QCOMPARE(rig.runner->results().last().end, StepResult::End::Failed);
        QVERIFY(rig.runner->loadStopConfirmed());
    }

    // An instrument that stops answering: the program gives up within its
    // tries and says the stop was not confirmed.
    void unansweredChangesFail()
    {
        Rig rig(QStringLiteral("KV37"), 1.0);
        rig.session->setTimeoutMs(600);
        rig.server->setDropReplies(-1);
        QVERIFY(rig.runner->start(program({discharge(1, 10)})));
        QVERIFY(rig.finished(20000));
        QCOMPARE(rig.runner->outcome(), ProgramRunner::Outcome::Failed);
        QCOMPARE(rig.runner->failure(), ProgramRunner::Failure::StopUnconfirmed);
        QVERIFY(!rig.runner->loadStopConfirmed());
        QCOMPARE(rig.received(CommandFrame::RunStop + 0),
                 6); // three tries, then three more at the end
        QCOMPARE(rig.received(CommandFrame::ModeConstantCurrent), 0); // nothing went on
    }

    // Power testers have no load, and a program that fails its checks is no
    // program: nothing of either reaches the instrument.
    void refusedBeforeAnythingIsSent()
    {
        Rig tester(QStringLiteral("RX41"), 1.0);
        QVERIFY(tester.connected);
        QVERIFY(!tester.runner->start(program({discharge(1, 10)})));
        QCOMPARE(tester.runner->failure(), ProgramRunner::Failure::NotALoad);
        Rig load(QStringLiteral("KV37"), 1.0);
        QVERIFY(!load.runner->start(program({discharge(500, 10)})));
        QCOMPARE(load.runner->failure(), ProgramRunner::Failure::InvalidProgram);
        QTest::qWait(300);
        for (Rig *rig : {&tester, &load})
            QCOMPARE(rig->received(CommandFrame::RunStop) +
                         rig->received(CommandFrame::ModeConstantCurrent),
                     0);
    }
};

QTEST_GUILESS_MAIN(TestProgramRunner)
#include "test_programrunner.moc"
