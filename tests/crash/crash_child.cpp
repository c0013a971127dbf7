// Faults on purpose in the way its first argument names, with the crash
// handler installed as the program installs it. Driven by test_crash.
#include "crashhandler.h"
#include "threadhooks.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

volatile int zero = 0;
volatile bool stopRecursion = false;

__attribute__((noinline)) void writeNull()
{
#if defined(__x86_64__)
    // Known register values for the report to show.
    asm volatile("movabs $0x1122334455667788, %%rax\n\t"
                 "movabs $0x0123456789ABCDEF, %%rbx\n\t"
                 "movq %%rax, 0\n\t" ::
                     : "rax", "rbx", "memory");
#else
    *reinterpret_cast<volatile int *>(zero) = 1;
#endif
}

__attribute__((noinline)) int readUnmapped()
{
    const long page = sysconf(_SC_PAGESIZE);
    void *p = mmap(nullptr, size_t(page), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    munmap(p, size_t(page));
    printf("%p\n", p);
    fflush(stdout);
    return *static_cast<volatile int *>(p);
}

__attribute__((noinline)) int recurse(int depth)
{
    volatile char pad[512];
    pad[depth % 512] = char(depth);
    return stopRecursion ? 0 : recurse(depth + 1) + pad[0];
}

// Like the link thread: the start hook first, then the work.
class OverflowThread : public QThread
{
    void run() override
    {
        ThreadHooks::runThreadStartHook();
        recurse(0);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    const struct rlimit noCore = {0, 0}; // crashed on purpose: no core files
    setrlimit(RLIMIT_CORE, &noCore);
    QCoreApplication app(argc, argv);
    CrashHandler::install();
    const char *mode = argc > 1 ? argv[1] : "";
    if (!strcmp(mode, "write-null"))
        writeNull();
    else if (!strcmp(mode, "read-unmapped"))
        return readUnmapped();
    else if (!strcmp(mode, "abort"))
        abort();
    else if (!strcmp(mode, "libc"))
        return strverscmp(reinterpret_cast<const char *>(16), "a");
    else if (!strcmp(mode, "overflow-thread")) {
        OverflowThread t;
        t.start();
        t.wait();
    }
    return 1;
}
