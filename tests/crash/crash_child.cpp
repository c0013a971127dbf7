// Faults on purpose in the way its first argument names, with the crash
// handler installed as the program installs it. Driven by test_crash.
#include "crashhandler.h"
#include "threadhooks.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

volatile int zero = 0;
volatile int hundred = 100;
volatile bool stopRecursion = false;

void say(const char *text)
{
    fputs(text, stdout);
    fflush(stdout);
}

__attribute__((noinline)) void writeNull()
{
#if defined(__x86_64__)
    // Known register values and a known instruction for the report to show.
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

// The undefined-behaviour checker would stop before the processor does.
__attribute__((noinline, no_sanitize_undefined)) int divide(int a, int b)
{
    return a / b;
}

__attribute__((noinline)) int recurse(int depth)
{
    volatile char pad[512];
    pad[depth % 512] = char(depth);
    if (stopRecursion)
        return 0;
    return recurse(depth + 1) + pad[0];
}

// Like the link thread: the start hook first, then the work.
class OverflowThread : public QThread
{
protected:
    void run() override
    {
        ThreadHooks::runThreadStartHook();
        recurse(0);
    }
};

class IdleThread : public QThread
{
protected:
    void run() override
    {
        ThreadHooks::runThreadStartHook();
        exec();
    }
};

using Function = void (*)();
Function volatile nothing = nullptr;

__attribute__((noinline)) void callNull()
{
    nothing();
    zero = 0;
}

__attribute__((noinline)) void crashInSlot()
{
    writeNull();
    zero = 0; // keeps the call a call, so this frame shows
}

int busError()
{
    char path[] = "/tmp/crash_childXXXXXX";
    const int fd = mkstemp(path);
    unlink(path);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return 2;
    // Mapped beyond the end of an empty file.
    void *p = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED)
        return 2;
    return *static_cast<volatile char *>(p);
}

// With refresh false the library is found only through /proc/self/maps.
int lateLibrary(bool refresh)
{
    void *lib = dlopen("libbz2.so.1.0", RTLD_NOW);
    if (!lib)
        return 3;
    using Init = int (*)(void *, int, int, int);
    auto init = reinterpret_cast<Init>(dlsym(lib, "BZ2_bzCompressInit"));
    if (!init)
        return 3;
    if (refresh)
        CrashHandler::refreshModules();
    return init(reinterpret_cast<void *>(8), 9, 0, 0);
}

} // namespace

int main(int argc, char *argv[])
{
    // Tests crash this on purpose; no core files.
    const struct rlimit noCore = {0, 0};
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
    else if (!strcmp(mode, "fpe"))
        return divide(hundred, zero);
    else if (!strcmp(mode, "ill"))
        __builtin_trap();
    else if (!strcmp(mode, "bus"))
        return busError();
    else if (!strcmp(mode, "late-lib"))
        return lateLibrary(false);
    else if (!strcmp(mode, "late-lib-refreshed"))
        return lateLibrary(true);
    else if (!strcmp(mode, "call-null"))
        callNull();
    else if (!strcmp(mode, "overflow-thread")) {
        OverflowThread t;
        t.start();
        t.wait();
    } else if (!strcmp(mode, "qt-slot")) {
        QTimer::singleShot(0, &app, [] { crashInSlot(); });
        return app.exec();
    } else if (!strcmp(mode, "wait")) {
        // Idles in the event loop beside a worker until a signal arrives.
        IdleThread worker;
        worker.start();
        QTimer::singleShot(0, &app, [] { say("ready\n"); });
        const int rc = app.exec();
        worker.quit();
        worker.wait();
        return rc;
    }
    return 1;
}
