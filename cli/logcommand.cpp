// log: samples once a second under the window's rule and writes each row to
// the CSV file as it is taken.
#include "clicommand.h"
#include "csvlogwriter.h"
#include "devicemodel.h"
#include "historywriter.h"
#include "readingformat.h"
#include "samplevalues.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>

namespace {

using CliOptions::CommandArgs;

class LogCommand : public CliCommand
{
public:
    struct Limits
    {
        QString file;
        qint64 durationS = 0; // 0: no limit
        qint64 samples = 0;   // 0: no limit
        bool untilStopped = false;
        bool always = false;
        bool history = true;
    };

    LogCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s, Limits limits)
        : CliCommand(g, out, s), m_limits(std::move(limits))
    {
        m_durationTimer.setSingleShot(true);
        connect(&m_durationTimer, &QTimer::timeout, this,
                [this] { end(QStringLiteral("duration")); });
    }

    void start() override
    {
        m_class = m_session.deviceClass();
        if (m_limits.untilStopped && m_class == DeviceModel::PowerTester)
            return fail(QStringLiteral(
                            "--until-stopped needs an electronic load; a power tester never stops"),
                        CliExit::BadUsage);
        if (m_class == DeviceModel::NoClass && !m_limits.always)
            m_out.message(
                QStringLiteral("the model \"%1\" is not known; rows are only taken with --always")
                    .arg(m_session.model()));
        m_writer = std::make_unique<CsvLogWriter>(m_limits.file, m_class);
        if (!m_writer->open())
            return fail(QStringLiteral("cannot write to %1: %2")
                            .arg(m_limits.file, m_writer->errorString()),
                        CliExit::BadUsage);

        if (m_limits.history) {
            // A history that cannot be written is said once; the CSV goes on.
            connect(&m_history, &HistoryWriter::problem, this,
                    [this](HistoryWriter::Problem p, const QString &detail) {
                        m_out.message(historyProblemText(p, detail));
                    });
            m_history.open(m_global.historyPath);
        }
        connect(&m_session, &InstrumentSession::sampleTick, this, &LogCommand::sample);
        connect(&m_session, &InstrumentSession::reportDecoded, this, &LogCommand::report);
        connect(&m_session, &InstrumentSession::reconnected, this,
                [this] { m_out.message(QStringLiteral("the instrument is back")); });
        m_session.startPolling();
        m_elapsed.start();
        if (m_limits.durationS > 0)
            m_durationTimer.start(int(qMin<qint64>(m_limits.durationS * 1000, INT_MAX)));
        m_out.message(QStringLiteral("logging to %1, a row a second %2")
                          .arg(m_limits.file, m_limits.always || m_class == DeviceModel::PowerTester
                                                  ? QStringLiteral("from now on")
                                                  : QStringLiteral("while the load runs")));
    }

    void interrupt() override { end(QStringLiteral("interrupted")); }
    void instrumentLost() override
    {
        m_out.message(QStringLiteral("the instrument is gone; logging goes on when it is back"));
    }

private:
    void sample()
    {
        if (!m_session.haveMeasurements()) {
            if (m_elapsed.elapsed() > m_global.timeoutMs)
                fail(QStringLiteral("the instrument did not answer within %1").arg(timeoutText()));
            return;
        }
        const InstrumentState &st = m_session.state();
        const MeasurementRecord &r = st.record;
        // Without a report since the last row the record only repeats itself.
        const bool fresh = m_fresh.available(st);
        if (fresh && (m_limits.always || DeviceModel::samplingAllowed(m_class, true, st.running))) {
            const SampleStore::Values v = sampleValues(r);
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (!m_writer->append(now, v))
                return fail(QStringLiteral("cannot write to %1: %2")
                                .arg(m_limits.file, m_writer->errorString()));
            m_fresh.take(st);
            // Without --no-history too: a writer never opened keeps the run in
            // memory only, and the summary and how the run ended come from it.
            if (!m_history.runOpen())
                m_history.beginRun(runInfo(now));
            m_history.addSample(now, v);
        }
        namespace F = ReadingFormat;
        const QString note = !fresh        ? QStringLiteral("  (no fresh readings)")
                             : !st.running ? QStringLiteral("  (stopped)")
                                           : QString();
        m_out.status(QStringLiteral("elapsed %1  %2 V  %3 A  %4 W  %5 Wh  %6 mAh  rows %7%8")
                         .arg(ReadingFormat::durationText(m_elapsed.elapsed() / 1000),
                              F::voltage(r.voltage), F::current(r.current), F::power(r.power),
                              F::energy(r.energy), F::capacity(r.capacity))
                         .arg(m_writer->rows())
                         .arg(note));
        if (m_limits.samples > 0 && m_writer->rows() >= m_limits.samples)
            end(QStringLiteral("samples"));
    }

    void report(Report::Outcome outcome)
    {
        if (outcome != Report::Outcome::Measurements || !m_limits.untilStopped || isFinished())
            return;
        if (m_session.state().running) {
            m_seenRunning = true;
        } else if (m_seenRunning) {
            end(QStringLiteral("stopped"));
        } else if (!m_waitingNoted) {
            m_waitingNoted = true;
            m_out.message(
                QStringLiteral("the load is not running; waiting for it to run and stop"));
        }
    }

    void end(const QString &reason)
    {
        if (isFinished())
            return;
        m_durationTimer.stop();
        m_session.stopPolling();
        const bool closed = m_writer ? m_writer->close() : true;
        const QString why = historyReason(reason);
        const RunSummary summary = m_history.endRun(why);
        m_history.flush();
        const MeasurementRecord &r = m_session.record();
        const qint64 elapsedS = m_elapsed.isValid() ? m_elapsed.elapsed() / 1000 : 0;
        const qint64 rows = m_writer ? m_writer->rows() : 0;
        if (m_out.json()) {
            QJsonObject o;
            o[QStringLiteral("event")] = QStringLiteral("log-end");
            o[QStringLiteral("file")] = m_limits.file;
            o[QStringLiteral("rows")] = double(rows);
            o[QStringLiteral("elapsed_s")] = double(elapsedS);
            o[QStringLiteral("end")] = reason;
            o[QStringLiteral("voltage_v")] = jsonNumber(r.voltage);
            o[QStringLiteral("energy_wh")] = jsonNumber(r.energy);
            o[QStringLiteral("capacity_mah")] = jsonNumber(r.capacity);
            if (m_limits.untilStopped)
                o[QStringLiteral("summary")] = summaryJson(summary, why);
            m_out.object(o);
        } else {
            m_out.line(
                QStringLiteral("Wrote %1 rows to %2 in %3 (%4).")
                    .arg(rows)
                    .arg(m_limits.file, ReadingFormat::durationText(elapsedS), endText(reason)));
            m_out.line(QStringLiteral("Duration %1, %2 Wh, %3 mAh, last voltage %4 V.")
                           .arg(ReadingFormat::durationText(elapsedS),
                                QString::number(jsonNumber(r.energy), 'f', 3),
                                QString::number(jsonNumber(r.capacity), 'f', 0),
                                QString::number(jsonNumber(r.voltage), 'f', 3)));
            if (m_limits.untilStopped)
                for (const QString &line : summaryLines(summary, why))
                    m_out.line(line);
        }
        if (!closed)
            return fail(
                QStringLiteral("cannot sync %1: %2").arg(m_limits.file, m_writer->errorString()));
        finish(CliExit::Done);
    }

    // What the history keeps of the run: its instrument and settings.
    RunInfo runInfo(qint64 startedMs) const { return runInfoFrom(m_session, startedMs, m_class); }

    // How the run ends, in the history's words: a load that stopped by
    // itself stopped at its cut-off or its time limit, or was stopped.
    QString historyReason(const QString &reason) const
    {
        if (reason != QLatin1String("stopped"))
            return QString::fromLatin1(EndReason::Closed);
        const MeasurementRecord &r = m_session.record();
        const RunSummary s = m_history.summary();
        return EndReason::ofStop(double(r.voltage), double(r.cutoffVoltage), s.durationS,
                                 r.timeLimitHours * 60 + r.timeLimitMinutes);
    }

    static QString historyProblemText(HistoryWriter::Problem p, const QString &detail)
    {
        switch (p) {
        case HistoryWriter::Problem::MovedAside:
            return QStringLiteral("the history was damaged; it was moved to %1 and a new one "
                                  "started")
                .arg(detail);
        case HistoryWriter::Problem::CannotOpen:
            return QStringLiteral("the history cannot be opened (%1); this run is not kept in it")
                .arg(detail);
        case HistoryWriter::Problem::WriteFailed:
            break;
        }
        return QStringLiteral("the history cannot be written (%1); this run is not kept in it, "
                              "the CSV file goes on")
            .arg(detail);
    }

    static QString endText(const QString &reason)
    {
        if (reason == QLatin1String("stopped"))
            return QStringLiteral("the load stopped");
        if (reason == QLatin1String("duration"))
            return QStringLiteral("duration reached");
        if (reason == QLatin1String("samples"))
            return QStringLiteral("sample count reached");
        return QStringLiteral("interrupted");
    }

    Limits m_limits;
    quint8 m_class = 0;
    std::unique_ptr<CsvLogWriter> m_writer;
    HistoryWriter m_history;
    FreshMeasurement m_fresh;
    QElapsedTimer m_elapsed;
    QTimer m_durationTimer;
    bool m_seenRunning = false;
    bool m_waitingNoted = false;
};

} // namespace

std::unique_ptr<CliCommand> makeLogCommand(const CliOptions::Global &g, CliOutput &out,
                                           InstrumentSession &s, QString *error)
{
    if (g.command != QLatin1String("log"))
        return nullptr;
    CommandArgs a;
    if (!CliOptions::parseCommandArgs(g.args, {"--until-stopped", "--always", "--no-history"},
                                      {"--duration", "--samples"}, &a, error))
        return nullptr;
    if (a.positional.size() != 1) {
        *error = QStringLiteral("usage: usb-tester-cli log FILE [--duration D] [--samples N] "
                                "[--until-stopped] [--always] [--no-history]");
        return nullptr;
    }
    LogCommand::Limits l;
    l.file = a.positional.at(0);
    l.untilStopped = a.has(QStringLiteral("--until-stopped"));
    l.always = a.has(QStringLiteral("--always"));
    l.history = !a.has(QStringLiteral("--no-history"));
    if (a.hasValue(QStringLiteral("--duration")) &&
        !CliOptions::parseDuration(a.value(QStringLiteral("--duration")), &l.durationS, error))
        return nullptr;
    if (a.hasValue(QStringLiteral("--samples"))) {
        int n = 0;
        if (!CliOptions::parseInteger(a.value(QStringLiteral("--samples")), 1, INT_MAX,
                                      QStringLiteral("--samples"), &n, error))
            return nullptr;
        l.samples = n;
    }
    return std::make_unique<LogCommand>(g, out, s, l);
}
