#pragma once

#include <cstdint>

// The call stack of a faulting thread, read through SafeMemory so that a
// corrupt stack ends the walk instead of faulting it.
namespace StackWalk {

struct Start
{
    uintptr_t pc; // faulting instruction
    uintptr_t sp; // stack pointer at the fault
    uintptr_t fp; // frame pointer at the fault
};

// Fills frames with the faulting address followed by return addresses,
// innermost first; returns how many. Follows the frame-pointer chain while it
// holds, then scans the stack for return addresses (code that follows a call
// instruction), because system libraries are built without frame pointers.
// Async-signal-safe.
int walk(const Start &start, uintptr_t *frames, int maxFrames);

// True when the bytes just before addr are a call instruction, so addr can be
// a return address (x86-64; elsewhere any code address passes).
bool followsCall(uintptr_t addr);

} // namespace StackWalk
