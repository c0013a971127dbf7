// program: runs a test program (a file, or a built-in template) on an
// electronic load until its end, with a status line, events and the results.
#include "clicommand.h"
#include "csvlogwriter.h"
#include "devicemodel.h"
#include "historywriter.h"
#include "programrunner.h"
#include "programtemplates.h"
#include "programtexts.h"
#include "readingformat.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSocketNotifier>
#include <QTimer>
#include <cmath>
#include <unistd.h>

namespace {

using CliOptions::CommandArgs;

QString usageText()
{
    return QStringLiteral("usage: usb-tester-cli program FILE.json|--template NAME "
                          "[--param KEY=VALUE ...] [--print] [--log FILE.csv] [--yes] "
                          "[--resume-after-loss] [--no-history]");
}

class ProgramCommand : public CliCommand
{
public:
    struct Options
    {
        TestProgram program;
        bool print = false;
        QString log;
        bool yes = false;
        bool resumeAfterLoss = false;
        bool history = true;
    };

    ProgramCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s,
                   Options options)
        : CliCommand(g, out, s), m_o(std::move(options))
    {
        m_status.setInterval(1000);
        connect(&m_status, &QTimer::timeout, this, &ProgramCommand::showStatus);
    }

    bool needsInstrument() const override { return !m_o.print; }

    void start() override
    {
        if (m_o.print) {
            for (const QByteArray &line : ProgramFile::toJson(m_o.program).split('\n'))
                if (!line.isEmpty())
                    m_out.line(QString::fromUtf8(line));
            return finish(CliExit::Done);
        }
        const quint8 cls = m_session.deviceClass();
        if (cls != DeviceModel::ElectronicLoad)
            return fail(QStringLiteral("test programs need an electronic load; %1 is %2")
                            .arg(m_session.model(), cls == DeviceModel::PowerTester
                                                        ? QStringLiteral("a power tester")
                                                        : QStringLiteral("of no known family")),
                        CliExit::BadUsage);
        if (!m_o.log.isEmpty()) {
            m_log = std::make_unique<CsvLogWriter>(m_o.log, cls);
            if (!m_log->open())
                return fail(
                    QStringLiteral("cannot write to %1: %2").arg(m_o.log, m_log->errorString()),
                    CliExit::BadUsage);
        }
        if (m_o.history) {
            // A history that cannot be written is said once; the program goes on.
            connect(&m_history, &HistoryWriter::problem, this,
                    [this](HistoryWriter::Problem, const QString &detail) {
                        m_out.message(QStringLiteral("the history cannot be kept (%1); the "
                                                     "program goes on without it")
                                          .arg(detail));
                    });
            m_history.open(m_global.historyPath);
        }
        m_runner = std::make_unique<ProgramRunner>(m_session, m_o.history ? &m_history : nullptr);
        m_runner->setReadingsTimeoutMs(m_global.timeoutMs);
        ProgramRunner *r = m_runner.get();
        connect(r, &ProgramRunner::stepFinished, this, &ProgramCommand::stepFinished);
        connect(r, &ProgramRunner::pauseStepReached, this, &ProgramCommand::pauseStep);
        connect(r, &ProgramRunner::instrumentLost, this, &ProgramCommand::lost);
        connect(r, &ProgramRunner::resumeQuestion, this, &ProgramCommand::back);
        connect(r, &ProgramRunner::sampled, this, &ProgramCommand::sampled);
        connect(r, &ProgramRunner::finished, this, &ProgramCommand::ended);
        if (!r->start(m_o.program))
            return fail(ProgramTexts::failure(r->failure(), r->failedSetting()));
        m_out.message(
            QStringLiteral("running \"%1\": %2 step(s)%3")
                .arg(m_o.program.name)
                .arg(m_o.program.stepCount())
                .arg(m_log ? QStringLiteral(", a CSV row a second to ") + m_o.log : QString()));
        m_status.start();
    }

    void interrupt() override
    {
        if (!m_runner || !m_runner->active())
            return fail(QStringLiteral("interrupted"));
        if (m_runner->state() == ProgramRunner::State::InstrumentLost) {
            if (m_runner->abortPending())
                return m_runner->giveUp();
            m_out.message(QStringLiteral("interrupted: the load is stopped once the instrument is "
                                         "back; Ctrl-C again leaves without stopping it"));
        }
        m_runner->abort();
    }

    // The runner holds the program itself; the command only says so.
    void instrumentLost() override {}

private:
    void event(QJsonObject o, const char *name)
    {
        o[QStringLiteral("event")] = QLatin1String(name);
        m_out.object(o);
    }

    void stepFinished(const StepResult &r)
    {
        if (m_out.json())
            return event(r.toJson(), "step");
        QString figures;
        if (r.kind == StepKind::Discharge || r.kind == StepKind::Dcir)
            figures = QStringLiteral(", %1 mAh, %2 Wh")
                          .arg(QString::number(r.capacityMah, 'f', 1),
                               QString::number(r.energyWh, 'f', 3));
        if (r.hasDcir())
            figures += QStringLiteral(", DCIR %1 mOhm").arg(QString::number(r.dcirMohm, 'f', 1));
        if (r.kind == StepKind::Rest)
            figures = QStringLiteral(", %1 V at rest").arg(QString::number(r.endV, 'f', 3));
        m_out.message(QStringLiteral("step %1 %2: %3 after %4%5")
                          .arg(r.step, ProgramFile::kindWord(r.kind), StepResult::endWord(r.end),
                               ReadingFormat::durationText(r.durationS), figures));
    }

    void pauseStep(const QString &message)
    {
        if (m_out.json()) {
            QJsonObject o;
            o[QStringLiteral("message")] = message;
            o[QStringLiteral("step")] = m_runner->position().step;
            event(o, "pause");
        }
        if (m_o.yes) {
            m_out.message(QStringLiteral("pause: %1 (going on: --yes)").arg(message));
            QTimer::singleShot(0, m_runner.get(), &ProgramRunner::confirm);
            return;
        }
        m_out.message(QStringLiteral("pause: %1 -- press Enter to go on").arg(message));
        if (!m_stdin) {
            m_stdin = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
            connect(m_stdin.get(), &QSocketNotifier::activated, this, &ProgramCommand::readInput);
        }
        m_stdin->setEnabled(true);
    }

    void readInput()
    {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_stdin->setEnabled(false);
            // Nobody can confirm: the program ends rather than waiting forever.
            if (m_runner->state() == ProgramRunner::State::WaitingForUser) {
                m_out.message(QStringLiteral("standard input is closed, so nobody can confirm "
                                             "the pause (--yes goes on by itself)"));
                m_runner->abort();
            }
            return;
        }
        if (!QByteArray(buffer, int(n)).contains('\n'))
            return;
        if (m_runner->state() == ProgramRunner::State::WaitingForUser) {
            m_stdin->setEnabled(false);
            m_runner->confirm();
        }
    }

    void lost()
    {
        if (m_out.json())
            event(QJsonObject(), "instrument-lost");
        m_out.message(QStringLiteral("the instrument is gone; the program holds until it is back "
                                     "(Ctrl-C: stop the load when it is back)"));
    }

    void back()
    {
        if (m_out.json()) {
            QJsonObject o;
            o[QStringLiteral("resume")] = m_o.resumeAfterLoss;
            event(o, "instrument-back");
        }
        if (m_o.resumeAfterLoss) {
            m_out.message(QStringLiteral("the instrument is back; the program goes on"));
            m_runner->resume();
        } else {
            m_out.message(QStringLiteral("the instrument is back; stopping the load and ending "
                                         "(--resume-after-loss would go on)"));
            m_runner->abort();
        }
    }

    void sampled(qint64 timeMs, const SampleStore::Values &values)
    {
        if (m_log && !m_log->append(timeMs, values)) {
            m_out.message(
                QStringLiteral("cannot write to %1: %2").arg(m_o.log, m_log->errorString()));
            m_log.reset();
            m_logFailed = true;
            m_runner->abort();
        }
    }

    void showStatus()
    {
        if (!m_runner || !m_runner->active())
            return;
        const ProgramRunner &r = *m_runner;
        const ProgramRunner::Position p = r.position();
        const MeasurementRecord &rec = m_session.record();
        QString where =
            p.current
                ? QStringLiteral("step %1 %2").arg(p.step, ProgramFile::kindWord(p.current->kind))
                : QStringLiteral("starting");
        for (int i = 0; i < p.passes.size(); ++i)
            where += p.totals.at(i) > 0
                         ? QStringLiteral(" pass %1/%2").arg(p.passes.at(i)).arg(p.totals.at(i))
                         : QStringLiteral(" pass %1").arg(p.passes.at(i));
        QString state;
        switch (r.state()) {
        case ProgramRunner::State::Paused:
        case ProgramRunner::State::Pausing:
            state = QStringLiteral("  (paused)");
            break;
        case ProgramRunner::State::WaitingForUser:
            state = QStringLiteral("  (waiting for Enter)");
            break;
        case ProgramRunner::State::InstrumentLost:
            state = QStringLiteral("  (instrument gone)");
            break;
        case ProgramRunner::State::Stopping:
            state = QStringLiteral("  (stopping the load)");
            break;
        default:
            break;
        }
        const double progress = r.stepProgress();
        namespace F = ReadingFormat;
        m_out.status(
            QStringLiteral("%1  %2%3  %4 V  %5 A  %6 mAh  total %7%8")
                .arg(where, ReadingFormat::durationText(r.stepElapsedS()),
                     progress >= 0 ? QStringLiteral("  %1%").arg(int(progress * 100)) : QString(),
                     F::voltage(rec.voltage), F::current(rec.current),
                     QString::number(r.stepCapacityMah(), 'f', 1),
                     ReadingFormat::durationText(r.programElapsedS()), state));
    }

    void ended(ProgramRunner::Outcome outcome, ProgramRunner::Failure failure)
    {
        m_status.stop();
        if (m_stdin)
            m_stdin->setEnabled(false);
        const bool logClosed = m_log ? m_log->close() : true;
        m_history.flush();
        const qint64 run = m_o.history ? m_history.lastRunId() : 0;
        const ProgramRunner &r = *m_runner;
        const QString outcomeWord = ProgramRunner::outcomeWord(outcome);
        const QString why = ProgramTexts::failure(failure, r.failedSetting());
        if (m_out.json()) {
            QJsonObject o;
            o[QStringLiteral("program")] = m_o.program.name;
            o[QStringLiteral("outcome")] = outcomeWord;
            o[QStringLiteral("failure")] =
                why.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(why);
            o[QStringLiteral("load_stopped")] = r.loadStopConfirmed();
            o[QStringLiteral("elapsed_s")] = std::round(r.programElapsedS() * 10) / 10;
            o[QStringLiteral("results")] = resultsJson(r.results());
            if (run > 0)
                o[QStringLiteral("history_run")] = double(run);
            event(o, "program-end");
        } else {
            m_out.line(QStringLiteral("Program \"%1\" %2 in %3.")
                           .arg(m_o.program.name, outcomeWord,
                                ReadingFormat::durationText(r.programElapsedS())));
            for (const QString &row : ProgramTexts::table(r.results()))
                m_out.line(row);
            if (run > 0)
                m_out.line(QStringLiteral("Kept in the history as run %1.").arg(run));
        }
        if (!why.isEmpty())
            m_out.message(why);
        if (!r.loadStopConfirmed())
            m_out.message(QStringLiteral("WARNING: the load's stop was not confirmed; it may "
                                         "still be running"));
        if (!logClosed)
            m_out.message(QStringLiteral("cannot sync %1: %2").arg(m_o.log, m_log->errorString()));
        const bool done = outcome == ProgramRunner::Outcome::Completed && logClosed && !m_logFailed;
        finish(done ? CliExit::Done : CliExit::Failed);
    }

    Options m_o;
    HistoryWriter m_history;
    std::unique_ptr<ProgramRunner> m_runner;
    std::unique_ptr<CsvLogWriter> m_log;
    std::unique_ptr<QSocketNotifier> m_stdin;
    QTimer m_status;
    bool m_logFailed = false;
};

} // namespace

std::unique_ptr<CliCommand> makeProgramCommand(const CliOptions::Global &g, CliOutput &out,
                                               InstrumentSession &s, QString *error)
{
    if (g.command != QLatin1String("program"))
        return nullptr;
    CommandArgs a;
    if (!CliOptions::parseCommandArgs(g.args,
                                      {"--print", "--yes", "--resume-after-loss", "--no-history"},
                                      {"--template", "--param", "--log"}, &a, error))
        return nullptr;
    const bool byTemplate = a.hasValue(QStringLiteral("--template"));
    if (a.positional.size() != (byTemplate ? 0 : 1)) {
        *error = usageText();
        return nullptr;
    }
    ProgramCommand::Options o;
    o.print = a.has(QStringLiteral("--print"));
    o.yes = a.has(QStringLiteral("--yes"));
    o.resumeAfterLoss = a.has(QStringLiteral("--resume-after-loss"));
    o.log = a.value(QStringLiteral("--log"));
    o.history = !a.has(QStringLiteral("--no-history"));
    if (byTemplate) {
        QMap<QString, double> values;
        for (const auto &v : a.values) {
            if (v.first != QLatin1String("--param"))
                continue;
            const QString key = v.second.section(QLatin1Char('='), 0, 0);
            double number = 0;
            if (!v.second.contains(QLatin1Char('=')) ||
                !CliOptions::parseNumber(v.second.section(QLatin1Char('='), 1), &number, error)) {
                *error = QStringLiteral("--param takes KEY=NUMBER, not \"%1\"").arg(v.second);
                return nullptr;
            }
            values.insert(key, number);
        }
        const QString name = a.value(QStringLiteral("--template"));
        ProgramTemplates::Problem problem;
        QString which;
        ProgramIssue issue;
        if (!ProgramTemplates::build(name, values, &o.program, &problem, &which, &issue)) {
            if (problem == ProgramTemplates::Problem::UnknownTemplate) {
                *error = QStringLiteral("unknown template \"%1\" (templates: %2)")
                             .arg(name, ProgramTemplates::names().join(QStringLiteral(", ")));
            } else if (problem == ProgramTemplates::Problem::UnknownParameter) {
                QStringList keys;
                for (const ProgramTemplates::Parameter &p : ProgramTemplates::parameters(name))
                    keys << QStringLiteral("%1 (%2)").arg(QLatin1String(p.key)).arg(p.value);
                *error = QStringLiteral("the template %1 has no parameter \"%2\" (parameters: %3)")
                             .arg(name, which, keys.join(QStringLiteral(", ")));
            } else {
                *error = QStringLiteral("template %1: %2").arg(name, ProgramTexts::issue(issue));
            }
            return nullptr;
        }
    } else {
        if (a.hasValue(QStringLiteral("--param"))) {
            *error = QStringLiteral("--param goes with --template");
            return nullptr;
        }
        const QString file = a.positional.at(0);
        ProgramIssue issue;
        QString ioError;
        if (!ProgramFile::load(file, &o.program, &issue, &ioError)) {
            *error = ioError.isEmpty()
                         ? QStringLiteral("%1: %2").arg(file, ProgramTexts::issue(issue))
                         : QStringLiteral("cannot read %1: %2").arg(file, ioError);
            return nullptr;
        }
        if (o.program.name.isEmpty())
            o.program.name = QFileInfo(file).completeBaseName();
    }
    return std::make_unique<ProgramCommand>(g, out, s, std::move(o));
}
