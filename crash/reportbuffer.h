#pragma once

#include <cstddef>
#include <cstdint>

namespace CrashReport {

// Text built by hand into caller-owned memory: the fault handler may not
// allocate or use stdio. Output past the capacity is dropped, never overrun.
class ReportBuffer
{
public:
    ReportBuffer(char *storage, size_t capacity) : m_buf(storage), m_cap(capacity) {}

    void add(const char *text);
    void add(const char *text, size_t n);
    void addChar(char c);
    // Upper-case hexadecimal, zero-padded to `digits` (at most 16).
    void addHex(uint64_t value, int digits);
    void addDec(uint64_t value);

    const char *data() const { return m_buf; }
    size_t size() const { return m_len; }

private:
    char *m_buf;
    size_t m_cap;
    size_t m_len = 0;
};

// Length of a C string without the library (some libc string functions are
// replaced by sanitizer wrappers that are not safe in a signal handler).
size_t textLength(const char *text);

// The file name after the last '/'.
const char *baseName(const char *path);

} // namespace CrashReport
