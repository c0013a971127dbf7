// The window's test program page against the simulated instrument served in
// this process: editing steps with their checks, files, and running programs
// from its buttons, with the load left stopped however they end.
#include "commandframe.h"
#include "maindialog.h"
#include "pages/programpage.h"
#include "runstore.h"
#include "runtracker.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QtTest>
#include <QtWidgets>
#include <cmath>

namespace {

template <class T = QPushButton> T *child(const QObject *parent, const char *name)
{
    T *w = parent->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

struct PageRig
{
    explicit PageRig(const QString &setupText, double speed = 1.0)
    {
        QDir::setCurrent(dir.path());
        SimSetup setup;
        QString error;
        if (!SimSetup::parse(setupText, &setup, &error))
            qFatal("bad setup: %s", qPrintable(error));
        server = std::make_unique<SimServer>(setup, speed);
        if (!server->listen(dir.filePath(QStringLiteral("i.sock")), &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(dir.filePath(QStringLiteral("i.sock"))));
        session = std::make_unique<InstrumentSession>();
        session->setTimeoutMs(2000);
        w = std::make_unique<MainDialog>(*session);
        w->setMessageBox([this](QWidget *, QMessageBox::Icon, const QString &,
                                const QString &text) { boxes.append(text); });
        // Closing with a run or unsaved samples asks first: these tests discard.
        w->setQuestionBox(
            [](QWidget *, const dialoghooks::Question &) { return QMessageBox::Discard; });
        page = w->findChild<ProgramPage *>();
    }
    ~PageRig()
    {
        w.reset();
        session.reset();
        hid::setBackend(nullptr);
        server.reset();
        QDir::setCurrent(QDir::tempPath());
    }
    // Connected, the bus scan done and the instrument's family known.
    bool ready(quint8 deviceClass)
    {
        QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() &&
               !(session->connected() && w->getDeviceClass() == deviceClass &&
                 !session->state().scanning && session->haveMeasurements()))
            QTest::qWait(20);
        return !deadline.hasExpired();
    }
    bool loadRunning()
    {
        bool running = false;
        server->withInstrument([&](SimInstrument &i) { running = i.master()->running(); });
        return running;
    }
    void click(const char *name) { child(w.get(), name)->click(); }
    // Run (1) or stop (0) frames among the last reports the instrument received.
    int runs(int lead) const
    {
        int n = 0;
        for (const QByteArray &r : server->receivedReports())
            n += quint8(r[3]) == CommandFrame::RunStop && quint8(r[4]) == lead;
        return n;
    }
    QString state() const { return child<QLabel>(w.get(), "program_state")->text(); }
    QString issue() const { return child<QLabel>(w.get(), "program_issue")->text(); }
    QTableWidget *steps() const { return child<QTableWidget>(w.get(), "program_steps"); }
    QTableWidget *results() const { return child<QTableWidget>(w.get(), "program_results"); }
    QStringList column(QTableWidget *t, int c) const
    {
        QStringList l;
        for (int r = 0; r < t->rowCount(); ++r)
            l << t->item(r, c)->text().trimmed();
        return l;
    }
    // The rows of the steps' table shown as the current step.
    QStringList highlighted() const
    {
        QStringList l;
        for (int r = 0; r < steps()->rowCount(); ++r)
            if (steps()->item(r, 0)->font().bold())
                l << steps()->item(r, 0)->text().trimmed();
        return l;
    }
    void selectRow(int row) { steps()->selectRow(row); }
    void setNumber(const char *field, double v)
    {
        child<QDoubleSpinBox>(w.get(), field)->setValue(v);
    }
    void chooseKind(int kind)
    {
        child<QComboBox>(w.get(), "program_addKind")->setCurrentIndex(kind);
    }

    QTemporaryDir dir;
    std::unique_ptr<SimServer> server;
    std::unique_ptr<InstrumentSession> session;
    std::unique_ptr<MainDialog> w;
    ProgramPage *page = nullptr;
    QStringList boxes;
};

} // namespace

class TestProgramPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    // Steps added, moved, removed and edited; an edit the checks refuse
    // names the step and field and leaves the program as it was.
    void editingSteps()
    {
        PageRig rig(QStringLiteral("KV37"));
        QCOMPARE(rig.column(rig.steps(), 1), QStringList{"放电"}); // the capacity template
        rig.selectRow(0);
        rig.chooseKind(1); // rest, after the selected step
        rig.click("program_btnAdd");
        rig.chooseKind(3); // a repeat, with a rest inside to begin with
        rig.click("program_btnAdd");
        QCOMPARE(rig.column(rig.steps(), 0), (QStringList{"1", "2", "3", "3.1"}));
        QVERIFY(
            child(rig.w.get(), "program_btnAddInside")->isEnabled()); // the new repeat is selected
        rig.chooseKind(2); // a DCIR step inside the repeat
        rig.click("program_btnAddInside");
        QCOMPARE(rig.column(rig.steps(), 0), (QStringList{"1", "2", "3", "3.1", "3.2"}));
        QCOMPARE(rig.column(rig.steps(), 1),
                 (QStringList{"放电", "静置", "循环", "静置", "直流内阻"}));

        // The DCIR step with its levels the wrong way round: refused, named.
        rig.selectRow(4);
        rig.setNumber("program_edit_i1_a", 3);
        rig.setNumber("program_edit_i2_a", 1);
        rig.click("program_btnApply");
        QCOMPARE(rig.issue(), QStringLiteral("第 3.2 步（直流内阻），字段“i2_a”：1 必须大于 i1_a"));
        QCOMPARE(rig.page->program().steps.at(2).steps.at(1).i1A, 0.5);
        rig.setNumber("program_edit_i2_a", 4);
        rig.click("program_btnApply");
        QCOMPARE(rig.issue(), QString());
        QCOMPARE(rig.page->program().steps.at(2).steps.at(1).i2A, 4.0);
        // More current than the instrument has, in constant current.
        rig.selectRow(0);
        rig.setNumber("program_edit_value", 150);
        rig.click("program_btnApply");
        QCOMPARE(
            rig.issue(),
            QStringLiteral("第 1 步（放电），字段“value”：150 超出范围（大于 0，至多 100 A）"));
        QCOMPARE(rig.page->program().steps.at(0).value, 1.0);

        // Moved down past the rest, then the repeat's rest removed.
        rig.selectRow(0);
        rig.click("program_btnDown");
        QCOMPARE(rig.column(rig.steps(), 1),
                 (QStringList{"静置", "放电", "循环", "静置", "直流内阻"}));
        QCOMPARE(rig.steps()->currentRow(), 1); // the moved step stays selected
        rig.selectRow(3);
        rig.click("program_btnRemove");
        QCOMPARE(rig.column(rig.steps(), 0), (QStringList{"1", "2", "3", "3.1"}));
        // Removing the repeat's last step leaves a repeat with none: said at once.
        rig.selectRow(3);
        rig.click("program_btnRemove");
        QCOMPARE(rig.issue(), QStringLiteral("第 3 步（循环），字段“steps”：没有步骤"));
        rig.boxes.clear();
        rig.click("program_btnRun");
        QCOMPARE(rig.boxes, QStringList{rig.issue()}); // not run, and why
        QVERIFY(!rig.page->runner().active());
    }

    // Saved and opened again through the file dialogs; a bad file is
    // refused with its step and field named, and the program stays.
    void filesOpenAndSave()
    {
        PageRig rig(QStringLiteral("KV37"));
        const QString file = rig.dir.filePath(QStringLiteral("mine.json"));
        rig.page->setSaveFileDialog(
            [&](QWidget *, const QString &, const QString &, const QString &) { return file; });
        rig.page->setOpenFileDialog(
            [&](QWidget *, const QString &, const QString &, const QString &) { return file; });
        child<QComboBox>(rig.w.get(), "program_template")->setCurrentIndex(2); // capacity with DCIR
        rig.click("program_btnTemplate");
        const TestProgram made = rig.page->program();
        QCOMPARE(made.stepCount(), 6);
        rig.click("program_btnSave");
        TestProgram read;
        ProgramIssue issue;
        QString error;
        QVERIFY(ProgramFile::load(file, &read, &issue, &error));
        QVERIFY(read == made);

        QFile bad(file);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(
            R"({"format": "usb-tester-program", "version": 1, "steps": [{"kind": "rest", "duration_s": 0}]})");
        bad.close();
        rig.click("program_btnOpen");
        QCOMPARE(rig.boxes.size(), 1);
        QVERIFY2(rig.boxes.first().endsWith(QStringLiteral(
                     "第 1 步（静置），字段“duration_s”：0 超出范围（1 至 3600000 s）")),
                 qPrintable(rig.boxes.first()));
        QVERIFY(rig.page->program() == made);
        QVERIFY(ProgramFile::save(file, read, &error));
        rig.click("program_btnOpen");
        QVERIFY(rig.page->program() == made);
    }

    // A program with every kind of step run from the page: the current step
    // highlighted with its time, the pause answered by its button, each
    // step's results in the table, and the load stopped at the end. The
    // whole program is one run in the window's history, whose record keeps
    // no runs of its own for the program's discharges.
    void everyKindOfStepFromThePage()
    {
        PageRig rig(QStringLiteral("KV37,ir=45"));
        QVERIFY(rig.w->openHistory(rig.dir.filePath(QStringLiteral("history.sqlite"))));
        QVERIFY(rig.ready(1));
        const QByteArray json =
            R"({"format": "usb-tester-program", "version": 1, "name": "Every kind",
          "steps": [
            {"kind": "discharge", "mode": "cc", "value": 1.0, "duration_s": 3, "cutoff_v": 3.0},
            {"kind": "rest", "duration_s": 20, "until_v": 4.0},
            {"kind": "repeat", "times": 2, "steps": [
              {"kind": "discharge", "mode": "cp", "value": 3.0, "capacity_mah": 0.5},
              {"kind": "rest", "duration_s": 1}]},
            {"kind": "dcir", "i1_a": 0.5, "i2_a": 2.5, "t1_s": 2, "t2_s": 1},
            {"kind": "pause", "message": "Swap the cell"},
            {"kind": "discharge", "mode": "cr", "value": 4.0, "energy_wh": 0.002}]})";
        TestProgram p;
        ProgramIssue issue;
        QVERIFY(ProgramFile::parse(json, &p, &issue));
        rig.page->setProgram(p);
        // A run of the user's own first, which the window's record keeps.
        rig.session->run(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning() && rig.w->runTracker()->runOpen(), 10000);
        QTest::qWait(1500);
        rig.click("program_btnRun"); // ends the user's run, still going
        QTRY_COMPARE_WITH_TIMEOUT(rig.highlighted(), QStringList{"1"}, 10000);
        QCOMPARE(rig.state(), QStringLiteral("运行中"));
        QVERIFY(!child(rig.w.get(), "program_btnAdd")->isEnabled()); // no editing while it runs
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(rig.w.get(), "program_stepInfo")
                                     ->text()
                                     .contains(QRegularExpression("^第 1 步 放电  [1-3]s")),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(rig.w.get(), "program_progress")->value() > 0,
                                 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.highlighted(), QStringList{"3.1"}, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            child<QLabel>(rig.w.get(), "program_stepInfo")->text().contains("（第 1/2 遍）"), 5000);

        QTRY_VERIFY_WITH_TIMEOUT(rig.state().contains("Swap the cell"), 30000);
        QCOMPARE(rig.highlighted(), QStringList{"5"});
        QVERIFY(!rig.loadRunning());
        QVERIFY(child(rig.w.get(), "program_btnGoOn")->isEnabled());
        rig.click("program_btnGoOn");
        QTRY_COMPARE_WITH_TIMEOUT(rig.state(), QStringLiteral("已完成"), 20000);
        QCOMPARE(rig.highlighted(), QStringList());
        QCOMPARE(rig.column(rig.results(), 0),
                 (QStringList{"1", "2", "3.1", "3.2", "3.1", "3.2", "3", "4", "5", "6"}));
        QCOMPARE(rig.column(rig.results(), 3),
                 (QStringList{"时长", "电压恢复", "容量", "时长", "容量", "时长", "完成", "完成",
                              "已确认", "能量"}));
        QCOMPARE(rig.column(rig.results(), 2).mid(2, 4), (QStringList{"1", "1", "2", "2"}));
        const double dcir = rig.results()->item(7, 8)->text().toDouble();
        QVERIFY2(std::fabs(dcir - 45) <= 0.05 * 45, qPrintable(QString::number(dcir)));
        QVERIFY(rig.results()->item(0, 5)->text().toDouble() > 0.5); // mAh of 3 s at 1 A
        QVERIFY(!rig.loadRunning());
        QVERIFY(rig.boxes.isEmpty());
        QVERIFY(child(rig.w.get(), "program_btnAdd")->isEnabled());

        rig.w->runTracker()->writer().flush();
        RunStore store;
        QCOMPARE(store.open(rig.dir.filePath(QStringLiteral("history.sqlite"))),
                 RunStore::Opened::Ok);
        const QList<RunEntry> runs = store.runs(); // newest first
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs.last().endReason,
                 QStringLiteral("stopped")); // the user's own run, taken over
        const RunEntry &program = runs.first();
        QCOMPARE(program.info.label, QStringLiteral("Every kind"));
        QCOMPARE(program.endReason, QStringLiteral("program completed"));
        // A sample a second, each once.
        QVERIFY(program.summary.samples >= 10);
        QVERIFY2(program.summary.samples <= rig.page->runner().programElapsedS() + 2,
                 qPrintable(QString::number(program.summary.samples)));
        const QJsonObject results = QJsonDocument::fromJson(program.results.toUtf8()).object();
        QCOMPARE(results.value("steps").toArray().size(), 10);
    }

    // Abort, the instrument lost and back, and the window closed: each
    // leaves the load stopped.
    void abortLossAndClosing()
    {
        PageRig rig(QStringLiteral("KV37"));
        QVERIFY(rig.ready(1));
        rig.click("program_btnRun"); // the capacity template: an hour at 1 A
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning(), 10000);
        rig.click("program_btnAbort");
        QTRY_COMPARE_WITH_TIMEOUT(rig.state(), QStringLiteral("已中止"), 10000);
        QVERIFY(!rig.loadRunning());
        QCOMPARE(rig.column(rig.results(), 3), QStringList{"已中止"});

        rig.click("program_btnRun");
        QTRY_VERIFY_WITH_TIMEOUT(rig.loadRunning(), 10000);
        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state(), QStringLiteral("仪表已断开，程序暂停"), 10000);
        rig.server->replug();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state(), QStringLiteral("仪表已重新连接：继续运行还是中止？"),
                                  20000);
        QCOMPARE(child(rig.w.get(), "program_btnGoOn")->text(), QStringLiteral("继续运行"));
        // The load ran on while the instrument was away; going on starts it afresh.
        const int starts = rig.runs(1);
        rig.click("program_btnGoOn");
        QTRY_COMPARE_WITH_TIMEOUT(rig.state(), QStringLiteral("运行中"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.runs(1) > starts && rig.loadRunning(), 10000);

        // Closing the window waits for the load's stop.
        rig.w->close();
        QVERIFY(!rig.loadRunning());
        QVERIFY(!rig.page->runner().active());
        QCOMPARE(rig.page->runner().outcome(), ProgramRunner::Outcome::Aborted);
    }

    // A power tester has no load: its menu offers no programs and the page
    // refuses to run one, sending nothing.
    void powerTesterIsRefused()
    {
        PageRig rig(QStringLiteral("RX41"));
        QVERIFY(rig.ready(4));
        rig.click("program_btnRun");
        QCOMPARE(rig.boxes, QStringList{"测试程序需要电子负载"});
        QTest::qWait(300);
        for (const QByteArray &r : rig.server->receivedReports())
            QVERIFY(quint8(r[3]) != CommandFrame::RunStop &&
                    quint8(r[3]) != CommandFrame::ClearData);
    }
};

QTEST_MAIN(TestProgramPage)
#include "test_programpage.moc"
