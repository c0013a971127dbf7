#pragma once

// Process-wide fault handler that writes MyApp/crash.log under the working
// directory when the process faults, then ends it with the fault's own status.
namespace CrashHandler {

// Installs the handler for the whole process. Safe to call more than once.
void install();

// Gives the calling thread its own alternate signal stack, so that a stack
// overflow on it is reported too. Every thread the program starts calls it.
void prepareThread();

} // namespace CrashHandler
