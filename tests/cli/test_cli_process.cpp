// usb-tester-cli run as a process against usb-tester-sim on a private socket.
#include "../common/simprocess.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>

namespace {

bool contains(const QString &text, const QString &pattern)
{
    return text.contains(QRegularExpression(pattern));
}

} // namespace

class TestCliProcess : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void commandsAgainstTheSimulator()
    {
        Sim sim("1", "KV37,slaves=3+5");
        Run r = sim.cli({"set", "value", "abc"});
        QVERIFY2(r.code == 2 && r.err.contains("\"abc\" is not a number"), qPrintable(r.err));
        r = sim.cli({"frobnicate"});
        QVERIFY(r.code == 2 && r.err.contains("unknown command \"frobnicate\""));
        r = sim.cli({"factory-reset"});
        QVERIFY(r.code == 2 && r.err.contains("--yes"));
        QCOMPARE(sim.cli({"config", "shunt", "100A"}).code,
                 2); // a shunt belongs to the power testers
        r = sim.cli({"--device", "socket:/nonexistent/load.sock", "read"});
        QVERIFY(r.code == 3 && r.err.contains("no instrument"));
        QVERIFY(sim.cli({"mode", "cv"}).out.contains("Constant Voltage"));
        QVERIFY(sim.cli({"set", "value", "3.7"}).out.contains("003.70 V"));
        for (const QStringList &cmd : QList<QStringList>{{"mode", "cc"},
                                                         {"set", "cutoff", "3.1"},
                                                         {"set", "time-limit", "2h30m"},
                                                         {"config", "style", "en-curve"},
                                                         {"config", "brightness", "7"},
                                                         {"calibrate", "voltage", "1.05"},
                                                         {"threshold", "over-power", "90"}})
            QVERIFY2(sim.cli(cmd).code == 0, qPrintable(cmd.join(' ')));
        const QJsonObject o = sim.cli({"--json", "read"}).json();
        QCOMPARE(o.value("mode").toInt(), 0);
        QCOMPARE(o.value("style").toInt(), 4);
        QCOMPARE(o.value("brightness").toInt(), 7);
        QCOMPARE(o.value("voltage_calibration").toDouble(), 1.05);
        QCOMPARE(o.value("over_power_w").toDouble(), 90.0);
        r = sim.cli({"read"});
        QVERIFY2(contains(r.out, "Voltage +\\d{4}\\.\\d{2} V") &&
                     contains(r.out, "Capacity +\\d{6} mAh"),
                 qPrintable(r.out));
        QVERIFY(contains(r.out, "Cut-off voltage +003\\.1 V") &&
                contains(r.out, "Time limit +02:30"));
        QCOMPARE(sim.cli({"factory-reset", "--yes"}).code, 0);
        QCOMPARE(sim.cli({"--json", "read"}).json().value("brightness").toInt(), 5);

        QCOMPARE(sim.cli({"mode", "cdc"}).code, 0);
        r = sim.cli({"run"});
        QVERIFY2(r.code == 0 && r.out.contains("answer cancel|clear"), qPrintable(r.out));
        QCOMPARE(sim.cli({"answer", "continue"}).code, 2); // two choices: continue is hidden
        r = sim.cli({"answer", "clear"});
        QVERIFY2(r.code == 0 && r.out.contains("running"), qPrintable(r.out + r.err));
        QCOMPARE(sim.cli({"stop"}).code, 0);
        r = sim.cli({"answer", "ok"});
        QVERIFY(r.code == 1 && r.err.contains("no prompt"));
        const QStringList list = sim.cli({"--json", "list"}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(list.size(), 3);
        const QJsonObject master = QJsonDocument::fromJson(list.at(0).toUtf8()).object();
        QCOMPARE(master.value("role").toString() + master.value("model").toString(),
                 QStringLiteral("masterKV37"));
        QCOMPARE(QJsonDocument::fromJson(list.at(2).toUtf8()).object().value("address").toInt(), 5);
        const QStringList watch = sim.cli({"--address", "3", "--json", "watch", "--count", "2"})
                                      .out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(watch.size(), 2);
        QVERIFY(QJsonDocument::fromJson(watch.at(1).toUtf8()).object().contains("voltage_v"));
        QCOMPARE(sim.cli({"--address", "9", "--timeout", "1", "read"}).code, 1); // nobody answers
    }
    void logUntilTheCutOff()
    {
        // 3 Ah at 3 A is an hour of discharge; at 600 times real time about 6 s.
        Sim sim("600");
        for (const QStringList &cmd : QList<QStringList>{
                 {"mode", "cc"}, {"set", "value", "3"}, {"set", "cutoff", "3.0"}, {"run"}})
            QCOMPARE(sim.cli(cmd).code, 0);
        const QString file = m_dir.filePath(QStringLiteral("run.csv"));
        // Kept out of the history: the summary is the run's all the same.
        const Run r = sim.cli({"--json", "log", file, "--until-stopped", "--no-history"}, 40000);
        QCOMPARE(r.code, 0);
        const QJsonObject end = r.json();
        QCOMPARE(end.value("end").toString(), QStringLiteral("stopped"));
        QVERIFY(end.value("capacity_mah").toDouble() > 2000);
        const QJsonObject summary = end.value("summary").toObject();
        QCOMPARE(summary.value("end_reason").toString(), QStringLiteral("cut-off"));
        QVERIFY2(summary.value("duration_s").toDouble() > 2 &&
                     summary.value("capacity_mah").toDouble() > 2000,
                 qPrintable(QJsonDocument(summary).toJson()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.at(1),
                 QByteArray("---------------------KV33/HM307/HM309----------------------"));
        QVERIFY(lines.at(3).startsWith("DATE,VOLTAGE(V),"));
        const QStringList rows = csvRows(file);
        QCOMPARE(qint64(rows.size()), qint64(end.value("rows").toDouble()));
        QVERIFY2(rows.size() >= 3, qPrintable(QString::number(rows.size())));
        // The discharge falls towards the cut-off and the last row is near it.
        const double last = rows.last().section(',', 1, 1).toDouble();
        QVERIFY(rows.first().section(',', 1, 1).toDouble() > last);
        QVERIFY2(last < 3.4, qPrintable(rows.last()));
        for (const QString &row : rows)
            QCOMPARE(row.count(','), 10);
        QVERIFY(contains(sim.cli({"read"}).out, "Running +no"));
    }
    // While the instrument is unplugged, or every write to it fails, nothing is
    // measured: log writes no rows and watch prints no lines until readings
    // come again, and says so. No row ever repeats a frozen record.
    void onlyMeasuredReadingsAreLogged()
    {
        // Power testers: a row every second while they answer. Two of them, as
        // every program polling one instrument would see the other's answers.
        Sim sim("1", "RX41"), other("1", "RX41");
        const QString file = m_dir.filePath(QStringLiteral("gaps.csv"));
        QProcess log, watch;
        log.start(QStringLiteral(CLI_PATH), sim.args({"log", file, "--duration", "16s"}));
        watch.start(QStringLiteral(CLI_PATH), other.args({"--json", "watch", "--count", "8"}));
        const auto waitRows = [&](int n) {
            QDeadlineTimer deadline(8000);
            while (csvRows(file).size() < n && !deadline.hasExpired())
                QTest::qWait(50);
            return csvRows(file).size() >= n;
        };
        QVERIFY(waitRows(2));
        for (Sim *s : {&sim, &other})
            s->command("unplug");
        QTest::qWait(3500);
        const int duringUnplug = csvRows(file).size();
        for (Sim *s : {&sim, &other})
            s->command("replug");
        QVERIFY(waitRows(duringUnplug + 2));
        sim.command("failwrites");
        QVERIFY(waitRows(duringUnplug + 4)); // the link comes back on new connections
        for (QProcess *p : {&log, &watch})
            QVERIFY(p->state() == QProcess::NotRunning || p->waitForFinished(20000));
        QCOMPARE(log.exitCode(), 0);
        QCOMPARE(watch.exitCode(), 0);

        // Rows only for reports that came: a gap over the unplug, and no two
        // rows alike (energy and capacity grow with every measurement).
        const QStringList rows = csvRows(file);
        QVERIFY2(rows.size() <= 16 - 3, qPrintable(rows.join('\n')));
        QDateTime previous;
        QString previousValues;
        qint64 widestGap = 0;
        for (const QString &row : rows) {
            const QDateTime at =
                QDateTime::fromString(row.section(',', 0, 0), "yyyy-MM-dd_hh:mm:ss");
            QVERIFY(at.isValid());
            if (previous.isValid())
                widestGap = qMax(widestGap, previous.secsTo(at));
            QVERIFY2(row.section(',', 1) != previousValues, qPrintable(rows.join('\n')));
            previous = at;
            previousValues = row.section(',', 1);
        }
        QVERIFY2(widestGap >= 3, qPrintable(rows.join('\n')));
        const QString watchErr = QString::fromUtf8(watch.readAllStandardError());
        QVERIFY2(watchErr.contains("gone"), qPrintable(watchErr));
        const QStringList lines =
            QString::fromUtf8(watch.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8);
        QSet<double> energies;
        for (const QString &line : lines)
            energies.insert(
                QJsonDocument::fromJson(line.toUtf8()).object().value("energy_wh").toDouble());
        QCOMPARE(energies.size(), lines.size());
    }
    void killedLogKeepsEveryRow()
    {
        Sim sim("1");
        const QString file = m_dir.filePath(QStringLiteral("killed.csv"));
        const auto logUntil = [&](QProcess &p, int rows) {
            p.start(QStringLiteral(CLI_PATH), sim.args({"log", file, "--always"}));
            QDeadlineTimer deadline(15000);
            while (p.waitForStarted() && csvRows(file).size() < rows && !deadline.hasExpired())
                QTest::qWait(50);
            return csvRows(file).size();
        };
        QProcess p;
        const int seen = logUntil(p, 3);
        QVERIFY(seen >= 3);
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(5000));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith('\n'));
        const QStringList rows = csvRows(file);
        QVERIFY(rows.size() >= seen);
        for (const QString &row : rows)
            QCOMPARE(row.count(','), 10);
        // A second log appends below without a second header; SIGTERM ends it cleanly.
        QVERIFY(logUntil(p, rows.size() + 2) >= rows.size() + 2);
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains("interrupted"));
        f.seek(0);
        QCOMPARE(f.readAll().count("DATE,"), 1);

        // Without --history the runs went to the default history, which for
        // a test is a folder of its own, never the developer's.
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        QVERIFY2(!data.isEmpty() && !data.startsWith(QDir::homePath() + "/.local"),
                 qPrintable(data));
        QProcess history;
        history.start(QStringLiteral(CLI_PATH), {"--json", "history", "list"});
        QVERIFY(history.waitForFinished(10000));
        const QString listed = QString::fromUtf8(history.readAllStandardOutput());
        QVERIFY2(QFile::exists(data + "/usb-tester/history.sqlite") &&
                     listed.contains("\"end_reason\":\"interrupted\""),
                 qPrintable(listed));
    }

    // The disk fills in the middle of the first row: log stops with the
    // system's reason and the file still ends with its last whole line.
    void fullDiskDuringLog()
    {
        const QString prlimit = QStandardPaths::findExecutable("prlimit");
        if (prlimit.isEmpty())
            QSKIP("prlimit (util-linux) is not installed");
        Sim sim("1");
        const QString file = m_dir.filePath(QStringLiteral("full.csv"));
        const QByteArray before = "DATE,VOLTAGE(V),CURRENT(A),POWER(W),RESISTANCE(\xce\xa9),"
                                  "E_QUANTITY(Wh),E_CAPACITY(mAh),NTC_TEMP(\xe2\x84\x83),"
                                  "CPU_TEMP(\xe2\x84\x83),MOS_TEMP(\xe2\x84\x83),FAN_SPEED(RPM),\n";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
        f.close();
        // Writes past the limit fail with EFBIG once SIGXFSZ is ignored, which
        // the shell passes on through exec.
        QProcess p;
        p.start("/bin/sh",
                QStringList{"-c", "trap '' XFSZ; exec \"$@\"", "sh", prlimit,
                            "--fsize=" + QString::number(before.size() + 40), "--", CLI_PATH} +
                    sim.args({"log", file, "--always"}));
        QVERIFY(p.waitForFinished(20000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 1 &&
                     err.contains("cannot write to " + file + ": " + strerror(EFBIG)),
                 qPrintable(err));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before); // the torn row is cut off again
    }

    // A bootloader that answers the handshake with "burn completed" has burned
    // nothing: flash fails with exit status 1 and says so.
    void flashEndedEarlyByTheInstrument()
    {
        Sim sim("1");
        sim.command("bootfault earlyff");
        const QString image = m_dir.filePath(QStringLiteral("fw.bin"));
        QFile f(image);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(60000, 'x')) == 60000);
        f.close();
        Run r = sim.cli({"flash", image});
        QVERIFY2(r.code == 1 && r.err.contains("the instrument ended the upgrade early"),
                 qPrintable(QString::number(r.code) + r.out + r.err));
        QVERIFY(!r.out.contains("Flashed"));
        r = sim.cli({"--json", "flash", image});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.json().value("ok").toBool(true), false);
    }

    // Something that is not a regular file is refused before it is opened:
    // opening a named pipe would wait for a writer forever.
    void flashRefusesWhatIsNotAFile()
    {
        Sim sim("1");
        const QString fifo = m_dir.filePath(QStringLiteral("fw.pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QList<QPair<QString, QString>> cases = {
            {fifo, "is a named pipe, not a regular file"},
            {m_dir.path(), "is a directory, not a regular file"},
            {"/dev/zero", "is a device, not a regular file"}};
        for (const auto &c : cases) {
            const Run r = sim.cli({"flash", c.first}, 5000); // -1 when killed waiting
            QVERIFY2(r.code == 2 && r.err.contains(c.second), qPrintable(c.first + ": " + r.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliProcess)
#include "test_cli_process.moc"
