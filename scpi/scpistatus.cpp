#include "scpistatus.h"

namespace ScpiError {

QByteArray text(int code)
{
    switch (code) {
    case None:
        return "No error";
    case Command:
        return "Command error";
    case Syntax:
        return "Syntax error";
    case UndefinedHeader:
        return "Undefined header";
    case SettingsConflict:
        return "Settings conflict";
    case DataOutOfRange:
        return "Data out of range";
    case Hardware:
        return "Hardware error";
    case HardwareMissing:
        return "Hardware missing";
    case QueueOverflow:
        return "Queue overflow";
    case InputOverrun:
        return "Input buffer overrun";
    }
    return "Error";
}

} // namespace ScpiError

namespace {

quint8 eventOf(int code)
{
    if (code <= -100 && code > -200)
        return ScpiStatus::CommandError;
    if (code <= -200 && code > -300)
        return ScpiStatus::ExecutionError;
    if (code <= -400 && code > -500)
        return ScpiStatus::QueryError;
    return ScpiStatus::DeviceError;
}

} // namespace

void ScpiStatus::push(int code, const QByteArray &info)
{
    if (code == ScpiError::None)
        return;
    m_events |= eventOf(code);
    if (m_queue.size() >= QueueSize) {
        // The newest entry gives way to the news that errors were lost.
        m_queue.last() = {ScpiError::QueueOverflow, QByteArray()};
        m_events |= eventOf(ScpiError::QueueOverflow);
        return;
    }
    QByteArray clean;
    clean.reserve(qMin(info.size(), 80));
    // The detail goes inside a quoted string: no quotes, no control bytes, short.
    for (char c : info) {
        if (clean.size() >= 80)
            break;
        if (c != '"' && uchar(c) >= 0x20 && uchar(c) < 0x7f)
            clean += c;
    }
    m_queue.append({code, clean});
}

QByteArray ScpiStatus::next()
{
    if (m_queue.isEmpty())
        return QByteArray("0,\"No error\"");
    const Entry e = m_queue.takeFirst();
    QByteArray s = QByteArray::number(e.code) + ",\"" + ScpiError::text(e.code);
    if (!e.info.isEmpty())
        s += ';' + e.info;
    return s + '"';
}

QList<int> ScpiStatus::codes() const
{
    QList<int> c;
    for (const Entry &e : m_queue)
        c << e.code;
    return c;
}

quint8 ScpiStatus::takeEvents()
{
    const quint8 e = m_events;
    m_events = 0;
    return e;
}

void ScpiStatus::clear()
{
    m_queue.clear();
    m_events = 0;
}
