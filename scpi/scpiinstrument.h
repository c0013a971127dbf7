#pragma once

#include "instrumentsession.h"
#include "scpiparser.h"

#include <QObject>
#include <QTimer>
#include <functional>

// What one command came to: an answer, an error for the queue, or neither.
struct ScpiOutcome
{
    bool replied = false;
    QByteArray reply;
    int error = 0;
    QByteArray info;
};

// Runs the commands that need the instrument on the session, one at a time:
// each setting goes out through the session's instrument-level commands and
// counts once the next parameter report shows it; each reading comes from a
// measurement report newer than the command. Lives on the session's thread.
class ScpiInstrument : public QObject
{
    Q_OBJECT
public:
    explicit ScpiInstrument(InstrumentSession &session, QObject *parent = nullptr);
    ~ScpiInstrument() override;

    // Starts a command; `done` is called once, always later from the event
    // loop. One command at a time: the server queues the rest.
    void execute(const Scpi::ParsedCommand &command, std::function<void(const ScpiOutcome &)> done);
    bool busy() const { return bool(m_done); }

    // The answer to a reading, as the server writes numbers: the shortest
    // text of the float, "9.91E+37" (SCPI's not-a-number) for no value.
    static QByteArray number(double value);
    // *IDN? fields: maker, model, serial, firmware, with no commas inside.
    static QByteArray identity(const QString &maker, const QString &model, const QString &serial,
                               const QString &version);

private:
    using Step = std::function<void()>;
    void run(const Scpi::ParsedCommand &c);
    void reading(const Scpi::ParsedCommand &c);
    void loadSetting(const Scpi::ParsedCommand &c);
    void setLevel(const Scpi::ParsedCommand &c, quint8 mode);
    // Asks for fresh reports of the kinds named, then goes on; -240 when none come.
    void fresh(bool parameters, bool measurements, Step then);
    // Waits for the instrument to confirm a change, then goes on; -240 when it does not.
    void confirm(const InstrumentSession::Change &change, Step then);
    void reply(const QByteArray &text);
    void fail(int code, const QByteArray &info);
    void finish(const ScpiOutcome &outcome);
    QByteArray timeoutText() const;

    InstrumentSession &m_session;
    std::function<void(const ScpiOutcome &)> m_done;
    // Tells a session callback of a command that has ended from the current one.
    quint64 m_serial = 0;
    // The last resort should the session's wait be taken over by another user.
    QTimer m_watchdog;
};
