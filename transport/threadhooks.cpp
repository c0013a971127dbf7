#include "threadhooks.h"

#include <atomic>

namespace ThreadHooks {

namespace {
std::atomic<Hook> startHook{nullptr};
}

void setThreadStartHook(Hook hook)
{
    startHook.store(hook);
}

void runThreadStartHook()
{
    if (Hook h = startHook.load())
        h();
}

} // namespace ThreadHooks
