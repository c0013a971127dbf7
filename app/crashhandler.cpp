#include "crashhandler.h"

namespace CrashHandler {

// Filled in by the crash-report work; start-up already calls it in its place.
void install() {}
void prepareThread() {}

} // namespace CrashHandler
