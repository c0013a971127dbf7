#pragma once

#include <QByteArray>
#include <QList>

// The standard error numbers the server queues, in the classes IEEE 488.2
// gives them: -1xx command errors, -2xx execution errors, -3xx device errors.
namespace ScpiError {
enum : int {
    None = 0,
    Command = -100,         // a known header in a form it does not take
    Syntax = -102,          // not a program message at all
    UndefinedHeader = -113, // no command of that name
    SettingsConflict = -221,
    DataOutOfRange = -222,
    Hardware = -240,        // the instrument did not confirm in time
    HardwareMissing = -241, // no instrument connected
    QueueOverflow = -350,
    InputOverrun = -363, // a line longer than the server takes
};

// The standard text of a number ("Undefined header").
QByteArray text(int code);
} // namespace ScpiError

// What one client of the server has seen: its error queue and its standard
// event status register. Each client has its own, so one script's mistakes
// never show up in another's SYSTem:ERRor? answers.
class ScpiStatus
{
public:
    // The queue holds at most this many; an error that finds it full turns
    // the newest entry into -350 and is itself lost.
    static constexpr int QueueSize = 20;

    // Event status register bits.
    enum Event : quint8 {
        OperationComplete = 0x01,
        QueryError = 0x04,
        DeviceError = 0x08,
        ExecutionError = 0x10,
        CommandError = 0x20,
    };

    // Queues an error and sets the register bit of its class. `info` is the
    // detail after the standard text; quotes in it are dropped.
    void push(int code, const QByteArray &info = QByteArray());
    // The answer to SYSTem:ERRor[:NEXT]?: the oldest entry, taken off the
    // queue, as `-113,"Undefined header;FOO"`; `0,"No error"` when empty.
    QByteArray next();
    int count() const { return m_queue.size(); }
    // The codes waiting, oldest first.
    QList<int> codes() const;

    // *ESR?: the register, which reading clears.
    quint8 takeEvents();
    void setEvent(Event e) { m_events |= e; }
    // *CLS: the queue and the register cleared.
    void clear();

private:
    struct Entry
    {
        int code;
        QByteArray info;
    };
    QList<Entry> m_queue;
    quint8 m_events = 0;
};
