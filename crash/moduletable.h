#pragma once

#include <cstddef>
#include <cstdint>

// Where the loaded modules (the executable, shared libraries) lie in memory.
// The loader's own look-ups take locks and may allocate, so they cannot run in
// the fault handler: a snapshot is taken outside it (at start-up, when a
// thread starts, and on a slow timer when the loader reports a change), and
// the handler only reads the snapshot. An address the snapshot misses (a
// library loaded since) is looked up in /proc/self/maps, read with plain
// system calls.
namespace ModuleTable {

struct Hit
{
    const char *path = nullptr; // full path, empty string when unnamed
    uintptr_t bias = 0;         // load bias: file address = address - bias
    bool executable = false;    // the address lies in code
};

// Remembers the executable's path; call once before the first refresh.
void init();

// Takes a new snapshot. Not for signal context.
void refresh();

// Takes a new snapshot only when the loader reports libraries loaded or
// unloaded since the last one. Cheap enough for a timer.
void refreshIfChanged();

// Full path of the running executable ("" when unknown).
const char *executablePath();

// The following are for the fault handler: async-signal-safe, no allocation.

// Pins the current snapshot for the handler (refreshes then wait) and forgets
// the /proc fallback read by a previous report.
void beginReport();

// Releases what beginReport() pinned (a report that goes on living, as in
// tests).
void endReport();

// The module holding addr; false when none does.
bool lookup(uintptr_t addr, Hit *hit);

// True when addr lies in executable code of a known module.
bool isCode(uintptr_t addr);

} // namespace ModuleTable
