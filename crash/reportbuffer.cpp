#include "reportbuffer.h"

namespace CrashReport {

void ReportBuffer::add(const char *text)
{
    if (text)
        add(text, textLength(text));
}

void ReportBuffer::add(const char *text, size_t n)
{
    for (size_t i = 0; i < n && m_len < m_cap; ++i)
        m_buf[m_len++] = text[i];
}

void ReportBuffer::addChar(char c)
{
    if (m_len < m_cap)
        m_buf[m_len++] = c;
}

void ReportBuffer::addHex(uint64_t value, int digits)
{
    static const char hex[] = "0123456789ABCDEF";
    if (digits < 1)
        digits = 1;
    if (digits > 16)
        digits = 16;
    char tmp[16];
    for (int i = digits - 1; i >= 0; --i) {
        tmp[i] = hex[value & 0xF];
        value >>= 4;
    }
    add(tmp, size_t(digits));
}

void ReportBuffer::addDec(uint64_t value)
{
    char tmp[20];
    int n = 0;
    do {
        tmp[n++] = char('0' + value % 10);
        value /= 10;
    } while (value && n < 20);
    while (n > 0)
        addChar(tmp[--n]);
}

size_t textLength(const char *text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

const char *baseName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/')
            name = p + 1;
    return name;
}

} // namespace CrashReport
