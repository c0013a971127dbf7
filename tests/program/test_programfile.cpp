// Program files: what is accepted, and the message a bad file gets, naming
// its step and field; the templates are programs that pass the same checks.
#include "programtemplates.h"
#include "programtexts.h"
#include "testprogram.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

QByteArray file(const QByteArray &steps,
                const QByteArray &head = "\"format\": \"usb-tester-program\", \"version\": 1")
{
    return "{" + head + ", \"steps\": [" + steps + "]}";
}

QString message(const QByteArray &json)
{
    TestProgram p;
    ProgramIssue issue;
    if (ProgramFile::parse(json, &p, &issue))
        return QStringLiteral("(accepted)");
    return ProgramTexts::issue(issue);
}

const QByteArray Discharge = R"({"kind": "discharge", "mode": "cc", "value": 1, "cutoff_v": 3})";

} // namespace

class TestProgramFile : public QObject
{
    Q_OBJECT
private slots:
    void badFilesNameStepAndField_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("says");
        QTest::newRow("not json") << QByteArray(
                                         "{\"format\": \"usb-tester-program\",\n \"version\": 1,,}")
                                  << "not JSON: unterminated object at line 2, column 16";
        QTest::newRow("other format")
            << file(Discharge, "\"format\": \"csv\", \"version\": 1")
            << "field \"format\": \"csv\" is not a test program (expected \"usb-tester-program\")";
        QTest::newRow("no format")
            << QByteArray("{\"version\": 1, \"steps\": []}") << "field \"format\": missing";
        QTest::newRow("newer version")
            << file(Discharge, "\"format\": \"usb-tester-program\", \"version\": 2")
            << "field \"version\": version 2 is not known (this program reads version 1)";
        QTest::newRow("version as text")
            << file(Discharge, "\"format\": \"usb-tester-program\", \"version\": \"1\"")
            << "field \"version\": version \"1\" is not known";
        QTest::newRow("unknown top field")
            << file(Discharge,
                    "\"format\": \"usb-tester-program\", \"version\": 1, \"author\": \"x\"")
            << "field \"author\": no such field (fields: format, version, name, steps)";
        QTest::newRow("no steps") << file("") << "field \"steps\": no steps";
        QTest::newRow("unknown kind") << file(Discharge + R"(, {"kind": "charge", "value": 1})")
                                      << "step 2, field \"kind\": unknown kind \"charge\" (kinds: "
                                         "discharge, rest, dcir, repeat, pause)";
        QTest::newRow("step not an object")
            << file(Discharge + ", 5") << "step 2: a step is a JSON object, not 5";
        QTest::newRow("unknown field")
            << file(R"({"kind": "rest", "duration_s": 5, "curent_a": 1})")
            << "step 1 (rest), field \"curent_a\": no such field in a rest step (fields: "
               "duration_s, until_v, name)";
        QTest::newRow("field of another kind")
            << file(R"({"kind": "discharge", "mode": "cc", "value": 1, "cutoff_v": 3, "t1_s": 2})")
            << "step 1 (discharge), field \"t1_s\": no such field in a discharge step";
        QTest::newRow("unknown mode")
            << file(R"({"kind": "discharge", "mode": "cx", "value": 1, "cutoff_v": 3})")
            << "step 1 (discharge), field \"mode\": unknown mode \"cx\" (modes: cc, cv, cr, cp)";
        QTest::newRow("missing value")
            << file(R"({"kind": "discharge", "mode": "cc", "cutoff_v": 3})")
            << "step 1 (discharge), field \"value\": missing";
        QTest::newRow("value as text")
            << file(R"({"kind": "discharge", "mode": "cc", "value": "1", "cutoff_v": 3})")
            << "step 1 (discharge), field \"value\": \"1\" is not a number";
        QTest::newRow("current out of range")
            << file(R"({"kind": "discharge", "mode": "cc", "value": 150, "cutoff_v": 3})")
            << "step 1 (discharge), field \"value\": 150 is out of range (more than 0 up to 100 A)";
        QTest::newRow("zero ohms")
            << file(R"({"kind": "discharge", "mode": "cr", "value": 0, "cutoff_v": 3})")
            << "step 1 (discharge), field \"value\": 0 is out of range (more than 0 up to 999999 "
               "ohm)";
        QTest::newRow("negative cut-off")
            << file(R"({"kind": "discharge", "mode": "cc", "value": 1, "cutoff_v": -3})")
            << "step 1 (discharge), field \"cutoff_v\": -3 is out of range (more than 0 up to 300 "
               "V)";
        QTest::newRow("endless discharge")
            << file(R"({"kind": "discharge", "mode": "cp", "value": 5})")
            << "step 1 (discharge): never ends: give cutoff_v, duration_s, capacity_mah or "
               "energy_wh";
        QTest::newRow("rest too short")
            << file(R"({"kind": "rest", "duration_s": 0.5})")
            << "step 1 (rest), field \"duration_s\": 0.5 is out of range (from 1 up to 3600000 s)";
        QTest::newRow("dcir levels") << file(R"({"kind": "dcir", "i1_a": 2, "i2_a": 0.5})")
                                     << "step 1 (dcir), field \"i2_a\": 0.5 must be above i1_a";
        QTest::newRow("dcir level time")
            << file(R"({"kind": "dcir", "i1_a": 0.5, "i2_a": 2, "t2_s": 7200})")
            << "step 1 (dcir), field \"t2_s\": 7200 is out of range (from 1 up to 3600 s)";
        QTest::newRow("nested step")
            << file(R"({"kind": "repeat", "times": 2, "steps": [)" + Discharge +
                    R"(, {"kind": "rest", "duration_s": 5, "until_v": 400}]})")
            << "step 1.2 (rest), field \"until_v\": 400 is out of range (more than 0 up to 300 V)";
        QTest::newRow("repeat count")
            << file(R"({"kind": "repeat", "times": 2.5, "steps": [)" + Discharge + "]}")
            << "step 1 (repeat), field \"times\": 2.5 is not a whole number";
        QTest::newRow("endless repeat")
            << file(R"({"kind": "repeat", "steps": [)" + Discharge + "]}")
            << "step 1 (repeat): never ends: give times, until_rest_below_v or until_cutoff";
        QTest::newRow("rest voltage without rest")
            << file(R"({"kind": "repeat", "until_rest_below_v": 3.3, "steps": [)" + Discharge +
                    "]}")
            << "step 1 (repeat), field \"until_rest_below_v\": needs a rest step inside the repeat";
        QTest::newRow("cut-off without one")
            << file(
                   R"({"kind": "repeat", "until_cutoff": true, "steps": [{"kind": "rest", "duration_s": 5}]})")
            << "step 1 (repeat), field \"until_cutoff\": needs a discharge step with cutoff_v "
               "inside the repeat";
        QTest::newRow("empty repeat")
            << file(
                   R"({"kind": "pause", "message": "a"}, {"kind": "repeat", "times": 2, "steps": []})")
            << "step 2 (repeat), field \"steps\": no steps";
        QTest::newRow("flag as number")
            << file(R"({"kind": "repeat", "until_cutoff": 1, "steps": [)" + Discharge + "]}")
            << "step 1 (repeat), field \"until_cutoff\": 1 is not a true or false";
        QTest::newRow("pause without message") << file(R"({"kind": "pause", "message": "  "})")
                                               << "step 1 (pause), field \"message\": missing";
        QByteArray deep = Discharge;
        for (int i = 0; i < 5; ++i)
            deep = R"({"kind": "repeat", "times": 2, "steps": [)" + deep + "]}";
        QTest::newRow("too deep")
            << file(deep) << "step 1.1.1.1 (repeat), field \"steps\": repeats nest at most 4 deep";
    }
    void badFilesNameStepAndField()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, says);
        const QString m = message(json);
        QVERIFY2(m.startsWith(says), qPrintable(m));
    }

    // Everything a file may hold comes back the same from the written file,
    // in the order a person reads it; left-out fields take their defaults.
    void writtenAndReadAgain()
    {
        const QByteArray json = R"({"format": "usb-tester-program", "version": 1, "name": "Cell 7",
            "steps": [
              {"kind": "discharge", "name": "first", "mode": "cp", "value": 4.5, "cutoff_v": 3.1,
               "duration_s": 7200, "capacity_mah": 1500, "energy_wh": 6},
              {"kind": "rest", "duration_s": 600, "until_v": 3.6},
              {"kind": "repeat", "times": 3, "until_rest_below_v": 3.2, "steps": [
                {"kind": "dcir", "i1_a": 0, "i2_a": 3, "cutoff_v": 2.8},
                {"kind": "rest", "duration_s": 30}]},
              {"kind": "pause", "message": "Swap the cell"}]})";
        TestProgram p;
        ProgramIssue issue;
        QVERIFY2(ProgramFile::parse(json, &p, &issue), qPrintable(ProgramTexts::issue(issue)));
        QCOMPARE(p.stepCount(), 6);
        const ProgramStep &dcir = p.steps.at(2).steps.at(0);
        QCOMPARE(dcir.t1S, 10.0); // the levels' usual lengths
        QCOMPARE(dcir.t2S, 1.0);
        QCOMPARE(p.steps.at(0).mode, quint8(3));
        const QByteArray written = ProgramFile::toJson(p);
        TestProgram again;
        QVERIFY(ProgramFile::parse(written, &again, &issue));
        QVERIFY(again == p);
        QVERIFY2(written.indexOf("\"format\"") < written.indexOf("\"version\"") &&
                     written.indexOf("\"version\"") < written.indexOf("\"steps\"") &&
                     written.indexOf("\"kind\": \"discharge\"") <
                         written.indexOf("\"mode\": \"cp\""),
                 written.constData());

        QTemporaryDir dir;
        const QString path = dir.filePath("p.json");
        QString error;
        QVERIFY(ProgramFile::save(path, p, &error));
        QVERIFY(ProgramFile::load(path, &again, &issue, &error) && again == p);
        // A named pipe would be read forever: refused before it is opened.
        const QString fifo = dir.filePath("p.pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!ProgramFile::load(fifo, &again, &issue, &error));
        QCOMPARE(error, QStringLiteral("not a regular file"));
    }

    void templates()
    {
        using namespace ProgramTemplates;
        QCOMPARE(names(), (QStringList{"capacity", "dcir", "capacity-dcir"}));
        for (const QString &name : names()) {
            TestProgram p;
            Problem problem;
            QString which;
            ProgramIssue issue;
            QVERIFY2(build(name, {}, &p, &problem, &which, &issue), qPrintable(name));
            TestProgram again;
            QVERIFY(ProgramFile::parse(ProgramFile::toJson(p), &again, &issue) && again == p);
        }
        TestProgram p;
        Problem problem;
        QString which;
        ProgramIssue issue;
        // Parameters go into the steps: every 250 mAh at 2 A down to 3.1 V.
        QVERIFY(build("capacity-dcir", {{"current_a", 2}, {"cutoff_v", 3.1}, {"every_mah", 250}},
                      &p, &problem, &which, &issue));
        const ProgramStep &loop = p.steps.last();
        QVERIFY(loop.kind == StepKind::Repeat && loop.untilCutoff);
        QCOMPARE(loop.steps.first().value, 2.0);
        QCOMPARE(loop.steps.first().cutoffV, 3.1);
        QCOMPARE(loop.steps.first().capacityMah, 250.0);
        QCOMPARE(loop.steps.last().kind, StepKind::Dcir);
        // A parameter out of range is caught as the step's field would be.
        QVERIFY(!build("capacity", {{"current_a", 500}}, &p, &problem, &which, &issue));
        QCOMPARE(ProgramTexts::issue(issue),
                 QStringLiteral("step 1 (discharge), field \"value\": 500 is out of range (more "
                                "than 0 up to 100 A)"));
        QVERIFY(!build("dcir", {{"current_a", 1}}, &p, &problem, &which, &issue));
        QVERIFY(problem == Problem::UnknownParameter && which == "current_a");
        QVERIFY(!build("cycle", {}, &p, &problem, &which, &issue));
        QVERIFY(problem == Problem::UnknownTemplate);
    }
};

QTEST_GUILESS_MAIN(TestProgramFile)
#include "test_programfile.moc"
