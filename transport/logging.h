#pragma once

#include <QLoggingCategory>

// The program's log: one category per layer, all under "usbtester.", and a
// category of its own for byte and frame dumps. Quiet by default (warnings
// and above); --verbose turns on the debug lines of every layer but the
// byte dumps; QT_LOGGING_RULES, as in every Qt program, has the last word.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcLinkBytes)

namespace Logging {

// Installs the rules; call once at start, before anything logs.
void setup(bool verbose);
// The option every program takes, --verbose, by the name its parser knows.
constexpr const char *VerboseOption = "verbose";

// Names the calling thread for debuggers, top -H and crash reports (at most
// 15 characters reach the system).
void nameThisThread(const char *name);

} // namespace Logging
