// usb-tester-cli run as a process against usb-tester-sim on a private socket.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// The standalone simulator, alive for one test.
class Sim
{
public:
    explicit Sim(const QString &dir, const QString &speed = QStringLiteral("1"),
                 const QString &setup = QString())
        : m_path(dir + QStringLiteral("/load%1.sock").arg(++s_count))
    {
        QStringList args{QStringLiteral("--listen"), m_path, QStringLiteral("--speed"), speed};
        if (!setup.isEmpty())
            args << setup;
        m_proc.start(QStringLiteral(SIM_PATH), args);
        m_proc.waitForStarted();
        // It says so on stderr once it listens.
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
    QString device() const { return QStringLiteral("socket:") + m_path; }
    bool listening() const { return QFile::exists(m_path); }

private:
    static int s_count;
    QString m_path;
    QProcess m_proc;
};

int Sim::s_count = 0;

QStringList deviceArgs(const Sim &sim, const QStringList &args)
{
    return QStringList{QStringLiteral("--device"), sim.device()} + args;
}

Run cli(const QStringList &args, int timeoutMs = 20000)
{
    QProcess p;
    p.start(QStringLiteral(CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList csvRows(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList rows;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("20"))
            rows << QString::fromUtf8(line);
    return rows;
}

} // namespace

class TestCliProcess : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void badUsageAndNoInstrument()
    {
        Sim sim(m_dir.path());
        QVERIFY(sim.listening());
        Run r = cli(deviceArgs(sim, {"set", "value", "abc"}));
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QLatin1String("\"abc\" is not a number")), qPrintable(r.err));
        r = cli(deviceArgs(sim, {"set", "value", "1.2.3"}));
        QCOMPARE(r.code, 2);
        r = cli(deviceArgs(sim, {"frobnicate"}));
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QLatin1String("unknown command \"frobnicate\"")));
        r = cli(deviceArgs(sim, {"set", "time-limit", "2x"}));
        QCOMPARE(r.code, 2);
        r = cli(deviceArgs(sim, {"factory-reset"}));
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QLatin1String("--yes")));
        r = cli(deviceArgs(sim, {"config", "brightness", "12"}));
        QCOMPARE(r.code, 2);
        r = cli({"--device", "socket:/nonexistent/load.sock", "read"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains(QLatin1String("no instrument")));
        r = cli({"--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("usage: usb-tester-cli")));
    }

    void settingsAreConfirmed()
    {
        Sim sim(m_dir.path());
        Run r = cli(deviceArgs(sim, {"mode", "cv"}));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("Constant Voltage")), qPrintable(r.out + r.err));
        r = cli(deviceArgs(sim, {"set", "value", "3.7"}));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("003.70 V")), qPrintable(r.out));
        QCOMPARE(cli(deviceArgs(sim, {"mode", "cc"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"set", "cutoff", "3.1"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"set", "full-current", "0.25"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"set", "time-limit", "2h30m"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"config", "brightness", "7"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"config", "style", "en-curve"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"calibrate", "voltage", "1.05"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"threshold", "over-power", "90"})).code, 0);
        // A shunt belongs to the power testers.
        QCOMPARE(cli(deviceArgs(sim, {"config", "shunt", "100A"})).code, 2);

        r = cli(deviceArgs(sim, {"--json", "read"}));
        QCOMPARE(r.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value("mode").toInt(), 0);
        QCOMPARE(o.value("cutoff_v").toDouble(), 3.1);
        QCOMPARE(o.value("full_current_a").toDouble(), 0.25);
        QCOMPARE(o.value("time_limit_h").toInt(), 2);
        QCOMPARE(o.value("time_limit_min").toInt(), 30);
        QCOMPARE(o.value("brightness").toInt(), 7);
        QCOMPARE(o.value("style").toInt(), 4);
        QCOMPARE(o.value("voltage_calibration").toDouble(), 1.05);
        QCOMPARE(o.value("over_power_w").toDouble(), 90.0);

        r = cli(deviceArgs(sim, {"read"}));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QRegularExpression(QStringLiteral("Voltage +\\d{4}\\.\\d{2} V"))),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QRegularExpression(QStringLiteral("Capacity +\\d{6} mAh"))));
        QVERIFY(r.out.contains(QRegularExpression(QStringLiteral("Cut-off voltage +003\\.1 V"))));
        QVERIFY(r.out.contains(QRegularExpression(QStringLiteral("Time limit +02:30"))));

        QCOMPARE(cli(deviceArgs(sim, {"factory-reset", "--yes"})).code, 0);
        r = cli(deviceArgs(sim, {"--json", "read"}));
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("brightness").toInt(), 5);
    }

    void runPromptAndAnswer()
    {
        Sim sim(m_dir.path());
        QCOMPARE(cli(deviceArgs(sim, {"mode", "cdc"})).code, 0);
        Run r = cli(deviceArgs(sim, {"run"}));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("answer cancel|clear")), qPrintable(r.out));
        // Two choices: the continue button is hidden.
        r = cli(deviceArgs(sim, {"answer", "continue"}));
        QCOMPARE(r.code, 2);
        r = cli(deviceArgs(sim, {"answer", "clear"}));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("running")), qPrintable(r.out + r.err));
        QCOMPARE(cli(deviceArgs(sim, {"stop"})).code, 0);
        r = cli(deviceArgs(sim, {"answer", "ok"}));
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("no prompt")));
    }

    void listAndWatch()
    {
        Sim sim(m_dir.path(), QStringLiteral("1"), QStringLiteral("KV37,slaves=3+5"));
        Run r = cli(deviceArgs(sim, {"--json", "list"}));
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        const QJsonObject master = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
        QCOMPARE(master.value("role").toString(), QStringLiteral("master"));
        QCOMPARE(master.value("model").toString(), QStringLiteral("KV37"));
        QCOMPARE(QJsonDocument::fromJson(lines.at(2).toUtf8()).object().value("address").toInt(),
                 5);

        r = cli(deviceArgs(sim, {"--address", "3", "--json", "watch", "--count", "2"}));
        QCOMPARE(r.code, 0);
        const QStringList watch = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(watch.size(), 2);
        QVERIFY(QJsonDocument::fromJson(watch.at(1).toUtf8()).object().contains("voltage_v"));
        // Nobody answers at address 9.
        r = cli(deviceArgs(sim, {"--address", "9", "--timeout", "1", "read"}));
        QCOMPARE(r.code, 1);
    }

    void logUntilTheCutOff()
    {
        // 3 Ah at 3 A is an hour of discharge; at 600 times real time about 6 s.
        Sim sim(m_dir.path(), QStringLiteral("600"));
        QCOMPARE(cli(deviceArgs(sim, {"mode", "cc"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"set", "value", "3"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"set", "cutoff", "3.0"})).code, 0);
        QCOMPARE(cli(deviceArgs(sim, {"run"})).code, 0);
        const QString file = m_dir.filePath(QStringLiteral("run.csv"));
        Run r = cli(deviceArgs(sim, {"--json", "log", file, "--until-stopped"}), 40000);
        QCOMPARE(r.code, 0);
        const QJsonObject end = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(end.value("end").toString(), QStringLiteral("stopped"));
        QVERIFY(end.value("capacity_mah").toDouble() > 2000);

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
        const double first = rows.first().section(QLatin1Char(','), 1, 1).toDouble();
        const double last = rows.last().section(QLatin1Char(','), 1, 1).toDouble();
        QVERIFY(first > last);
        QVERIFY2(last < 3.4, qPrintable(rows.last()));
        for (const QString &row : rows)
            QCOMPARE(row.count(QLatin1Char(',')), 10);
        QVERIFY(cli(deviceArgs(sim, {"read"})).out.contains(QRegularExpression("Running +no")));
    }

    void killedLogKeepsEveryRow()
    {
        Sim sim(m_dir.path());
        const QString file = m_dir.filePath(QStringLiteral("killed.csv"));
        QProcess p;
        p.start(QStringLiteral(CLI_PATH), deviceArgs(sim, {"log", file, "--always"}));
        QVERIFY(p.waitForStarted());
        QDeadlineTimer deadline(15000);
        while (csvRows(file).size() < 3 && !deadline.hasExpired())
            QTest::qWait(50);
        const int seen = csvRows(file).size();
        QVERIFY(seen >= 3);
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(5000));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        QVERIFY(all.endsWith('\n'));
        const QStringList rows = csvRows(file);
        QVERIFY(rows.size() >= seen);
        for (const QString &row : rows)
            QCOMPARE(row.count(QLatin1Char(',')), 10);

        // A second log appends below without a second header; SIGTERM ends it cleanly.
        p.start(QStringLiteral(CLI_PATH), deviceArgs(sim, {"log", file, "--always"}));
        QVERIFY(p.waitForStarted());
        deadline.setRemainingTime(15000);
        while (csvRows(file).size() < rows.size() + 2 && !deadline.hasExpired())
            QTest::qWait(50);
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(
            QString::fromUtf8(p.readAllStandardOutput()).contains(QLatin1String("interrupted")));
        f.seek(0);
        QCOMPARE(f.readAll().count("DATE,"), 1);
        QVERIFY(csvRows(file).size() >= rows.size() + 2);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCliProcess)
#include "test_cli_process.moc"
