#pragma once

// Work every thread the program starts must do first (the crash handler gives
// each thread its own signal stack). The core layers cannot see the handler,
// so it registers itself here and the threads call runThreadStartHook().
namespace ThreadHooks {

using Hook = void (*)();
void setThreadStartHook(Hook hook);
void runThreadStartHook();

} // namespace ThreadHooks
