#pragma once

// Process-wide fault handler that writes MyApp/crash.log under the working
// directory when the process faults, then ends it with the fault's own status.
// Linux is served by fatal-signal handlers; elsewhere these do nothing yet.
namespace CrashHandler {

// Installs the handler for the whole process, gives the calling thread its
// alternate signal stack and registers prepareThread() (with a module-list
// refresh) as the start hook of the program's threads. With an application
// object present, a slow timer on its thread also notices libraries loaded
// later. Safe to call more than once.
void install();

// Gives the calling thread its own alternate signal stack, so that a stack
// overflow on it is reported too. Every thread the program starts calls it;
// the stack is released when the thread ends.
void prepareThread();

// Retakes the list of loaded modules the report names addresses by, when the
// loader reports a change. Call after loading a library by hand.
void refreshModules();

} // namespace CrashHandler
