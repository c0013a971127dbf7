#pragma once

#include <cstddef>
#include <cstdint>

// Reads of memory the fault handler cannot trust: a bad pointer must make the
// read fail, not fault the handler. The kernel does the touching for us.
namespace SafeMemory {

// Prepares the fallback used when process_vm_readv is refused (seccomp,
// old kernels). Called once outside signal context.
void init();

// Copies n bytes from address src to dst; false when any of them is unreadable.
// Async-signal-safe.
bool read(void *dst, uintptr_t src, size_t n);

// One machine word at src.
bool readWord(uintptr_t src, uintptr_t *out);

} // namespace SafeMemory
