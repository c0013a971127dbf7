#pragma once

#include "clioptions.h"
#include "clioutput.h"
#include "instrumentsession.h"
#include "runrecord.h"

#include <QJsonObject>
#include <QObject>
#include <memory>

// Exit status of the tool.
namespace CliExit {
enum : int { Done = 0, Failed = 1, BadUsage = 2, NoInstrument = 3 };
}

// One command of the tool. Its arguments are checked when it is made (bad
// ones never reach an instrument); start() runs on a connected session and
// the command ends by emitting finished(exit status) once.
class CliCommand : public QObject
{
    Q_OBJECT
public:
    CliCommand(const CliOptions::Global &global, CliOutput &out, InstrumentSession &session);

    virtual void start() = 0;
    // Commands on the history alone, or printing what they were given, run without an
    // instrument.
    virtual bool needsInstrument() const { return true; }
    // Ctrl-C or SIGTERM: by default the command fails as interrupted.
    virtual void interrupt();
    // The instrument went away: short commands fail; log and watch wait for it.
    virtual void instrumentLost();

    bool isFinished() const { return m_finished; }

signals:
    void finished(int code);

protected:
    void finish(int code);
    // A message on standard error, then finish(code).
    void fail(const QString &message, int code = CliExit::Failed);
    QString timeoutText() const;

    const CliOptions::Global m_global;
    CliOutput &m_out;
    InstrumentSession &m_session;

private:
    bool m_finished = false;
};

// Makes the command the arguments name, or null with a message (bad usage).
std::unique_ptr<CliCommand> makeCommand(const CliOptions::Global &global, CliOutput &out,
                                        InstrumentSession &session, QString *error);

// Factories of the command groups; null with *error for bad arguments, and
// null without an error when the command is not theirs.
std::unique_ptr<CliCommand> makeControlCommand(const CliOptions::Global &global, CliOutput &out,
                                               InstrumentSession &session, QString *error);
std::unique_ptr<CliCommand> makeReadCommand(const CliOptions::Global &global, CliOutput &out,
                                            InstrumentSession &session, QString *error);
std::unique_ptr<CliCommand> makeLogCommand(const CliOptions::Global &global, CliOutput &out,
                                           InstrumentSession &session, QString *error);
std::unique_ptr<CliCommand> makeFlashCommand(const CliOptions::Global &global, CliOutput &out,
                                             InstrumentSession &session, QString *error);
std::unique_ptr<CliCommand> makeServeCommand(const CliOptions::Global &global, CliOutput &out,
                                             InstrumentSession &session, QString *error);
std::unique_ptr<CliCommand> makeHistoryCommand(const CliOptions::Global &global, CliOutput &out,
                                               InstrumentSession &session, QString *error);
std::unique_ptr<CliCommand> makeProgramCommand(const CliOptions::Global &global, CliOutput &out,
                                               InstrumentSession &session, QString *error);

// The English names of the work modes and their command words.
struct ModeWord
{
    const char *word; // "cc"
    quint8 mode;      // 0, the work mode the parameter report shows
    const char *name; // "Constant Current"
};
const QList<ModeWord> &modeWords();
QString modeName(quint8 mode, quint8 deviceClass);

// The shunt sizes of the power tester in the order of their index ("30A" ... "1000A").
const QStringList &shuntNames();
QString shuntText(quint8 reportCode);

// A run's summary as the tool prints it (log --until-stopped, history show).
QStringList summaryLines(const RunSummary &summary, const QString &endReason);
QJsonObject summaryJson(const RunSummary &summary, const QString &endReason);

// A reading for JSON: the float's shortest decimal form, not its double expansion.
double jsonNumber(float value);
