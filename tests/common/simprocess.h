#pragma once

// The standalone simulator and the command-line tool as processes, for the
// tests that drive them as a user or a script would. SIM_PATH and CLI_PATH
// name the programs (compile definitions of the test).
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int code = -1;
    QString out, err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// The standalone simulator, alive for one test.
class Sim
{
public:
    explicit Sim(const QString &speed, const QString &setup = QString())
    {
        const QStringList args{"--listen", m_path, "--speed", speed};
        m_proc.start(QStringLiteral(SIM_PATH), setup.isEmpty() ? args : args + QStringList{setup});
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
    Run cli(const QStringList &args, int timeoutMs = 20000) const
    {
        QProcess p;
        p.start(QStringLiteral(CLI_PATH), args.value(0) == "--device" ? args : this->args(args));
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
        }
        const int code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return {code, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QStringList args(const QStringList &rest) const
    {
        return QStringList{"--device", "socket:" + m_path} + rest;
    }
    // One line on the simulator's standard input, e.g. "bootfault earlyff".
    void command(const QByteArray &line)
    {
        m_proc.write(line + '\n');
        m_proc.waitForBytesWritten(1000);
    }

private:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("load.sock"));
    QProcess m_proc;
};

QStringList csvRows(const QString &file)
{
    QFile f(file);
    QStringList rows;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("20"))
                rows << QString::fromUtf8(line);
    return rows;
}

} // namespace
