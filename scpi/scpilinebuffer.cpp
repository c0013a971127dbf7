#include "scpilinebuffer.h"

#include <cstring>

void ScpiLineBuffer::append(const char *data, int size)
{
    const char *end = data + size;
    while (data < end) {
        const char *nl = static_cast<const char *>(memchr(data, '\n', size_t(end - data)));
        const char *stop = nl ? nl : end;
        const int n = int(stop - data);
        if (!m_overlong) {
            if (m_partial.size() + n > MaxLine + 1) { // room for a carriage return
                m_overlong = true;
                m_partial.clear();
                m_partial.squeeze();
            } else {
                m_partial.append(data, n);
            }
        }
        data = stop;
        if (nl) {
            finishLine();
            ++data;
        }
    }
}

void ScpiLineBuffer::finishLine()
{
    Line line;
    if (m_overlong) {
        line.status = Line::TooLong;
    } else {
        if (m_partial.endsWith('\r'))
            m_partial.chop(1);
        if (m_partial.size() > MaxLine) {
            line.status = Line::TooLong;
        } else {
            for (char c : qAsConst(m_partial)) {
                const uchar u = uchar(c);
                // Program messages are 7-bit text; tabs count as blanks.
                if ((u < 0x20 && u != '\t') || u >= 0x7f) {
                    line.status = Line::Binary;
                    break;
                }
            }
            if (line.status == Line::Ok)
                line.text = m_partial;
        }
    }
    m_partial.clear();
    m_overlong = false;
    if (line.status == Line::Ok && line.text.trimmed().isEmpty())
        return;
    m_lines.append(line);
}
