#pragma once

#include "reportbuffer.h"

#include <csignal>
#include <cstddef>

// The text of MyApp/crash.log. Everything here runs inside the fault handler:
// async-signal-safe, no allocation, fixed buffers.
namespace CrashReport {

// Writes the report for signal sig with the handler's siginfo and ucontext
// (either may be null) into out; returns its length.
size_t build(char *out, size_t capacity, int sig, const siginfo_t *info, const void *ucontext);

// The system line: "Linux:  6.1.0, SP 0.0, Product Type 0\n".
void addSystemLine(ReportBuffer &b);

// Reads up to three dot-separated numbers from a kernel release such as
// "6.1.0-18-amd64"; missing parts stay 0.
void parseRelease(const char *release, unsigned long parts[3]);

} // namespace CrashReport
