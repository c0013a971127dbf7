#pragma once

#include <QByteArray>
#include <QList>

// Cuts what a client sends into newline-terminated lines of at most MaxLine
// bytes, so no client can make the server hold more than that of one line:
// the bytes of a longer line are dropped as they come and the line is
// reported once its newline arrives. A carriage return before the newline is
// taken off; empty lines are nothing.
class ScpiLineBuffer
{
public:
    static constexpr int MaxLine = 4096;

    struct Line
    {
        enum Status { Ok, TooLong, Binary } status = Ok;
        QByteArray text; // without the terminator; empty unless Ok
    };

    void append(const char *data, int size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    bool hasLine() const { return !m_lines.isEmpty(); }
    int lineCount() const { return m_lines.size(); }
    Line takeLine() { return m_lines.takeFirst(); }
    // Bytes of a line still waiting for its newline (0 while one is dropped).
    int partialSize() const { return m_partial.size(); }

private:
    void finishLine();

    QList<Line> m_lines;
    QByteArray m_partial;
    bool m_overlong = false;
};
