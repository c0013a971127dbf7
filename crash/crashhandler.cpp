#include "crashhandler.h"

#if defined(__linux__)

#include "crashreport.h"
#include "moduletable.h"
#include "safememory.h"
#include "threadhooks.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace CrashHandler {

namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

constexpr size_t AltStackSize = 64 * 1024;
// A stack someone else (a sanitizer runtime) already gave the thread is kept
// when it is at least this large.
constexpr size_t AltStackEnough = 32 * 1024;
constexpr int RefreshMs = 2000;
constexpr char RefreshTimerName[] = "crashModuleRefresh";

char reportText[128 * 1024];
std::atomic<long> reportingThread{0};
std::atomic<bool> handlersInstalled{false};

long threadId()
{
    return syscall(SYS_gettid);
}

void writeAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t put = write(fd, p, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return;
        p += put;
        n -= size_t(put);
    }
}

// Only calls that are safe in a signal handler. The working directory may be
// shared (a /tmp, a lab PC's desktop): neither the folder nor the report is
// followed through a symbolic link someone planted there, or the report would
// overwrite the file the link points at.
void writeReportFile(const char *text, size_t n)
{
    mkdir("MyApp", 0755); // an existing folder is fine; open() tells the rest
    const int dir = open("MyApp", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return;
    // A new file each time: whatever holds the name (a link, the last report)
    // is replaced rather than written through.
    unlinkat(dir, "crash.log", 0);
    const int fd =
        openat(dir, "crash.log", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    close(dir);
    if (fd < 0)
        return;
    fchmod(fd, 0600); // registers and addresses are for the user alone, whatever the umask
    writeAll(fd, text, n);
    close(fd);
}

// Ends the process by the signal's default action, so that the exit status
// (and a core dump, where enabled) says what happened.
void endWith(int sig)
{
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    syscall(SYS_tgkill, getpid(), threadId(), sig);
    // Still here: returning repeats a hardware fault under the default action.
}

void onFatalSignal(int sig, siginfo_t *info, void *ucontext)
{
    const long self = threadId();
    long expected = 0;
    if (!reportingThread.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            endWith(sig);
            return;
        }
        // Another thread is writing its report and will end the process.
        for (;;) {
            struct timespec pause = {0, 50 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
    const size_t n = CrashReport::build(reportText, sizeof reportText, sig, info, ucontext);
    writeReportFile(reportText, n);
    endWith(sig);
}

struct AltStack
{
    void *mapping = nullptr;
    size_t mappingSize = 0;
    void *stack = nullptr;

    ~AltStack()
    {
        if (!mapping)
            return;
        stack_t cur = {};
        if (sigaltstack(nullptr, &cur) != 0)
            return;
        if (cur.ss_sp == stack) {
            if (cur.ss_flags & SS_ONSTACK)
                return;
            stack_t off = {};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        } else if (cur.ss_sp == nullptr) {
            return; // someone took it down, and may have unmapped it too
        }
        munmap(mapping, mappingSize);
    }
};

thread_local AltStack threadAltStack;

void onThreadStart()
{
    prepareThread();
    ModuleTable::refreshIfChanged();
}

void installHandlers()
{
    ModuleTable::init();
    SafeMemory::init();
    ModuleTable::refresh();

    struct sigaction sa = {};
    sa.sa_sigaction = onFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // A fault inside the handler then ends the process at once.
    sigemptyset(&sa.sa_mask);
    for (int sig : FatalSignals)
        sigaddset(&sa.sa_mask, sig);
    for (int sig : FatalSignals)
        sigaction(sig, &sa, nullptr);
    ThreadHooks::setThreadStartHook(&onThreadStart);
}

// Libraries loaded after start-up (Qt plugins, for one) cannot be announced
// to us, so the application's thread looks for them now and then.
void startRefreshTimer()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    if (app->findChild<QTimer *>(RefreshTimerName, Qt::FindDirectChildrenOnly))
        return;
    auto *timer = new QTimer(app);
    timer->setObjectName(RefreshTimerName);
    timer->setTimerType(Qt::VeryCoarseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, &ModuleTable::refreshIfChanged);
    timer->start(RefreshMs);
}

} // namespace

void install()
{
    bool expected = false;
    if (handlersInstalled.compare_exchange_strong(expected, true))
        installHandlers();
    else
        ModuleTable::refreshIfChanged();
    prepareThread();
    startRefreshTimer();
}

void prepareThread()
{
    AltStack &alt = threadAltStack;
    if (alt.mapping)
        return;
    stack_t cur = {};
    if (sigaltstack(nullptr, &cur) == 0 && !(cur.ss_flags & SS_DISABLE) &&
        cur.ss_size >= AltStackEnough)
        return;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t total = AltStackSize + page;
    void *mapping = mmap(nullptr, total, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED)
        return;
    // A guard page below it, so that an overflow of the handler itself faults
    // (and ends the process) instead of writing over other memory.
    mprotect(mapping, page, PROT_NONE);
    stack_t ss = {};
    ss.ss_sp = static_cast<char *>(mapping) + page;
    ss.ss_size = AltStackSize;
    if (sigaltstack(&ss, nullptr) != 0) {
        munmap(mapping, total);
        return;
    }
    alt.mapping = mapping;
    alt.mappingSize = total;
    alt.stack = ss.ss_sp;
}

void refreshModules()
{
    ModuleTable::refreshIfChanged();
}

} // namespace CrashHandler

#else

namespace CrashHandler {

// Other platforms' fault facilities go here, behind the same three calls.
void install() {}
void prepareThread() {}
void refreshModules() {}

} // namespace CrashHandler

#endif
