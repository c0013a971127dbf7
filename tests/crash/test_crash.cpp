// Crash reports of a child process that faults on purpose, read back from
// MyApp/crash.log, and the report's pieces built in this process.
#include "crash/crashreport.h"
#include "crash/moduletable.h"
#include "crash/safememory.h"
#include "crash/stackwalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

const int kAddrDigits = int(sizeof(void *) * 2);

struct Child
{
    bool signaled = false;
    int signal = 0;
    QByteArray output;
    QString report;
    bool hasReport = false;
};

// Runs crash_child MODE in dir; `ready` (when given) is awaited on its output
// and then the child is sent `sendSignal`.
Child runChild(const QByteArray &mode, const QString &dir, const QByteArray &ready = {},
               int sendSignal = 0)
{
    Child result;
    const QByteArray exe = CRASH_CHILD_PATH;
    const QByteArray cwd = QFile::encodeName(dir);
    char *argv[] = {const_cast<char *>(exe.constData()), const_cast<char *>(mode.constData()),
                    nullptr};
    int out[2];
    if (pipe(out) != 0)
        return result;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        if (chdir(cwd.constData()) == 0)
            execv(argv[0], argv);
        _exit(127);
    }
    close(out[1]);
    bool sent = false;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        struct pollfd p = {out[0], POLLIN, 0};
        if (poll(&p, 1, 1000) > 0) {
            char buf[256];
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            result.output.append(buf, int(n));
        }
        if (!sent && sendSignal && result.output.contains(ready)) {
            kill(pid, sendSignal);
            sent = true;
        }
        if (clock.elapsed() > 120000) {
            kill(pid, SIGKILL);
            break;
        }
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.signaled = WIFSIGNALED(status);
    result.signal = result.signaled ? WTERMSIG(status) : -1;
    QFile f(dir + "/MyApp/crash.log");
    if (f.open(QFile::ReadOnly)) {
        result.hasReport = true;
        result.report = QString::fromUtf8(f.readAll());
    }
    return result;
}

QString hex(quint64 v, int digits)
{
    return QString::number(v, 16).toUpper().rightJustified(digits, '0');
}

// The value after "Name:  " on its own line, or an empty string.
QString field(const QString &report, const QString &name)
{
    const QRegularExpression re("^" + QRegularExpression::escape(name) + ":  (\\S+)",
                                QRegularExpression::MultilineOption);
    return re.match(report).captured(1);
}

struct Frame
{
    quint64 address;
    QString module;
};

QList<Frame> callStack(const QString &report)
{
    QList<Frame> frames;
    const int from = report.indexOf("\nCall Stack:");
    const int to = report.indexOf("\n\nModules:");
    if (from < 0 || to < from)
        return frames;
    const QStringList lines = report.mid(from, to - from).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1)) {
        Frame f;
        bool ok = false;
        f.address = line.left(kAddrDigits).toULongLong(&ok, 16);
        if (ok && line.mid(kAddrDigits, 2) == "  ")
            f.module = line.mid(kAddrDigits + 2);
        frames.append(f);
    }
    return frames;
}

// Module file name -> (load bias, full path), from the report's last block.
QHash<QString, QPair<quint64, QString>> modules(const QString &report)
{
    QHash<QString, QPair<quint64, QString>> result;
    const int from = report.indexOf("\n\nModules:");
    if (from < 0)
        return result;
    const QStringList lines = report.mid(from).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1)) {
        const QString path = line.mid(kAddrDigits + 2);
        result.insert(QFileInfo(path).fileName(),
                      {line.left(kAddrDigits).toULongLong(nullptr, 16), path});
    }
    return result;
}

// Function names addr2line gives for the report's frames, module by module.
QStringList functionNames(const QString &report)
{
    const auto mods = modules(report);
    QHash<QString, QStringList> addresses;
    for (const Frame &f : callStack(report))
        if (mods.contains(f.module) && f.address > mods[f.module].first)
            // One byte back: a return address may already belong to the next line.
            addresses[f.module].append("0x" +
                                       QString::number(f.address - 1 - mods[f.module].first, 16));
    QStringList names;
    for (auto it = addresses.begin(); it != addresses.end(); ++it) {
        QProcess p;
        p.start("addr2line", QStringList{"-f", "-C", "-e", mods[it.key()].second} + it.value());
        p.waitForFinished(60000);
        const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        for (int i = 0; i < lines.size(); i += 2)
            names.append(it.key() + ": " + lines[i]);
    }
    return names;
}

bool anyContains(const QStringList &list, const QString &a, const QString &b = QString())
{
    for (const QString &s : list)
        if (s.contains(a) && (b.isEmpty() || s.contains(b)))
            return true;
    return false;
}

const QString childName = QFileInfo(CRASH_CHILD_PATH).fileName();

__attribute__((noinline)) uintptr_t callerAddress()
{
    return uintptr_t(__builtin_return_address(0));
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

    QString freshDir(const QString &name)
    {
        const QString dir = tmp.path() + "/" + name;
        QDir().mkpath(dir);
        return dir;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        // The children's own sanitizer runtime (in the sanitizer build) must
        // leave the fatal signals to the handler under test.
        QByteArray asan = qgetenv("ASAN_OPTIONS");
        if (!asan.isEmpty())
            asan += ':';
        asan += "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:"
                "allow_user_segv_handler=1";
        qputenv("ASAN_OPTIONS", asan);
        ModuleTable::init();
        SafeMemory::init();
        ModuleTable::refresh();
    }

    // --- in this process ---

    void bufferFormatsAndNeverOverruns()
    {
        char storage[12];
        memset(storage, '#', sizeof storage);
        CrashReport::ReportBuffer b(storage, 10);
        b.addHex(0xBEEF, 8);
        QCOMPARE(QByteArray(b.data(), int(b.size())), QByteArray("0000BEEF"));
        b.addDec(1234);
        QCOMPARE(QByteArray(b.data(), int(b.size())), QByteArray("0000BEEF12"));
        QCOMPARE(storage[10], '#');

        char big[64];
        CrashReport::ReportBuffer c(big, sizeof big);
        c.addHex(0xFFFFFFFFFFFFFFFFull, 16);
        c.addChar(' ');
        c.addDec(0);
        c.addChar(' ');
        c.addHex(0x7, 2);
        QCOMPARE(QByteArray(c.data(), int(c.size())), QByteArray("FFFFFFFFFFFFFFFF 0 07"));
    }

    void kernelReleaseInVersionShape()
    {
        unsigned long v[3];
        CrashReport::parseRelease("6.1.0-18-amd64", v);
        QCOMPARE(v[0], 6ul);
        QCOMPARE(v[1], 1ul);
        QCOMPARE(v[2], 0ul);
        CrashReport::parseRelease("5.10", v);
        QCOMPARE(v[1], 10ul);
        QCOMPARE(v[2], 0ul);
        CrashReport::parseRelease("weird", v);
        QCOMPARE(v[0] + v[1] + v[2], 0ul);
    }

    void unreadableMemoryFailsQuietly()
    {
        const long page = sysconf(_SC_PAGESIZE);
        void *p = mmap(nullptr, size_t(page) * 2, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        QVERIFY(p != MAP_FAILED);
        auto *bytes = static_cast<char *>(p);
        memcpy(bytes + page - 4, "abcd", 4);
        munmap(bytes + page, size_t(page));

        char out[8] = {};
        QVERIFY(SafeMemory::read(out, uintptr_t(bytes + page - 4), 4));
        QCOMPARE(QByteArray(out, 4), QByteArray("abcd"));
        QVERIFY(!SafeMemory::read(out, uintptr_t(bytes + page - 4), 8)); // runs off the end
        QVERIFY(!SafeMemory::read(out, 0, 1));
        munmap(p, size_t(page));
    }

    void modulesAndReturnAddresses()
    {
        ModuleTable::beginReport();
        ModuleTable::Hit hit;
        QVERIFY(ModuleTable::lookup(uintptr_t(&strverscmp), &hit));
        Dl_info info;
        QVERIFY(dladdr(reinterpret_cast<void *>(&strverscmp), &info));
        QCOMPARE(QFileInfo(hit.path).fileName(), QFileInfo(info.dli_fname).fileName());
        QVERIFY(hit.executable);

        const uintptr_t ret = callerAddress();
        QVERIFY(ModuleTable::lookup(ret, &hit));
        QCOMPARE(QFileInfo(hit.path).fileName(), QString("test_crash"));
        QVERIFY(ModuleTable::isCode(ret));
        QVERIFY(StackWalk::followsCall(ret));
        QVERIFY(!ModuleTable::isCode(uintptr_t(&hit)));
        ModuleTable::endReport();
    }

    // A corrupt frame chain pointing at itself must end the walk.
    void frameChainLoopEnds()
    {
        ModuleTable::beginReport();
        const uintptr_t code = callerAddress();
        uintptr_t frame[2] = {0, code};
        frame[0] = uintptr_t(&frame[0]);
        uintptr_t frames[256];
        const int n = StackWalk::walk({code, uintptr_t(frame), uintptr_t(frame)}, frames, 256);
        ModuleTable::endReport();
        QVERIFY(n >= 2);
        QVERIFY(n < 256);
        QCOMPARE(frames[0], code);
        QCOMPARE(frames[1], code);
    }

#if defined(__x86_64__)
    void reportLayoutFromContext()
    {
        ucontext_t uc;
        memset(&uc, 0, sizeof uc);
        greg_t *g = uc.uc_mcontext.gregs;
        g[REG_RIP] = greg_t(callerAddress());
        g[REG_RAX] = greg_t(0x1122334455667788);
        g[REG_R15] = greg_t(0x0F0F0F0F0F0F0F0F);
        g[REG_EFL] = 0x246;
        g[REG_TRAPNO] = 14;
        g[REG_ERR] = 2;
        siginfo_t si;
        memset(&si, 0, sizeof si);
        si.si_signo = SIGSEGV;
        si.si_code = SEGV_MAPERR;
        si.si_addr = reinterpret_cast<void *>(0x1234);

        static char out[64 * 1024];
        const size_t n = CrashReport::build(out, sizeof out, SIGSEGV, &si, &uc);
        const QString r = QString::fromUtf8(out, int(n));
        const QString pc = hex(quint64(g[REG_RIP]), kAddrDigits);
        QVERIFY2(r.contains("\nException Addr:  " + pc +
                            "   Module: test_crash\nException Code:  "
                            "0000000B\nWrite Address:  " +
                            hex(0x1234, kAddrDigits) + "\nInstruction: "),
                 qPrintable(r));
        QVERIFY(r.contains("\nRegisters: \nRAX: 1122334455667788  RBX: 0000000000000000"));
        QVERIFY(r.contains("  R15: 0F0F0F0F0F0F0F0F\nRIP: " + pc +
                           "  RFlags: 0000000000000246"
                           "\nCall Stack:\n" +
                           pc + "  test_crash"));
        // The instruction bytes are the ones in memory.
        QString bytes;
        for (int i = 0; i < 16; ++i)
            bytes += " " + hex(reinterpret_cast<const quint8 *>(g[REG_RIP])[i], 2);
        QVERIFY(r.contains("Instruction: " + bytes + "\nRegisters: "));

        // A read, and a signal that is no access at all.
        g[REG_ERR] = 0;
        QString read =
            QString::fromUtf8(out, int(CrashReport::build(out, sizeof out, SIGSEGV, &si, &uc)));
        QVERIFY(read.contains("\nRead Address:  "));
        si.si_code = SI_USER;
        read = QString::fromUtf8(out, int(CrashReport::build(out, sizeof out, SIGSEGV, &si, &uc)));
        QVERIFY(!read.contains(" Address:  "));
    }
#endif

    // --- in a child that faults ---

    void nullWriteReportsWriteAndAddress()
    {
        const QString dir = freshDir("write");
        const Child c = runChild("write-null", dir);
        QVERIFY(c.signaled);
        QCOMPARE(c.signal, SIGSEGV);
        QVERIFY(c.hasReport);
        const QStringList lines = c.report.split('\n');

        struct utsname uts;
        QCOMPARE(uname(&uts), 0);
        unsigned long v[3];
        CrashReport::parseRelease(uts.release, v);
        QCOMPARE(lines.value(0),
                 QString("Linux:  %1.%2.%3, SP 0.0, Product Type 0").arg(v[0]).arg(v[1]).arg(v[2]));
        QCOMPARE(lines.value(1), "Process:  " + QFileInfo(CRASH_CHILD_PATH).canonicalFilePath());
        const QString pc = field(c.report, "Exception Addr");
        QCOMPARE(lines.value(2), "Exception Addr:  " + pc + "   Module: " + childName);
        QCOMPARE(lines.value(3), QString("Exception Code:  0000000B"));
        QCOMPARE(lines.value(4), "Write Address:  " + hex(0, kAddrDigits));
        QVERIFY(lines.value(5).startsWith("Instruction:  "));
        QCOMPARE(lines.value(5).size(), int(strlen("Instruction: ")) + 16 * 3);
        QCOMPARE(lines.value(6), QString("Registers: "));
#if defined(__x86_64__)
        QVERIFY(lines.value(5).startsWith("Instruction:  48 89 04 25 00 00 00 00"));
        QVERIFY(lines.value(7).startsWith("RAX: 1122334455667788  RBX: 0123456789ABCDEF  RCX: "));
        QVERIFY(lines.value(8).startsWith("RSI: "));
        QVERIFY(lines.value(11).startsWith("RIP: " + pc + "  RFlags: "));
        QCOMPARE(lines.value(12), QString("Call Stack:"));
#endif
        const QList<Frame> stack = callStack(c.report);
        QVERIFY(!stack.isEmpty());
        QCOMPARE(hex(stack[0].address, kAddrDigits), pc);
        QCOMPARE(stack[0].module, childName);
    }

    void unmappedReadReportsRead()
    {
        const QString dir = freshDir("read");
        const Child c = runChild("read-unmapped", dir);
        QCOMPARE(c.signal, SIGSEGV);
        bool ok = false;
        const quint64 addr = c.output.trimmed().toULongLong(&ok, 16);
        QVERIFY2(ok && addr, c.output.constData());
        QVERIFY2(c.report.contains("\nRead Address:  " + hex(addr, kAddrDigits) + "\n"),
                 qPrintable(c.report));
        QVERIFY(!c.report.contains("Write Address"));
    }

    void signalsWithoutAccessLine_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<int>("sig");
        QTest::newRow("abort") << QByteArray("abort") << int(SIGABRT);
        QTest::newRow("divide by zero") << QByteArray("fpe") << int(SIGFPE);
        QTest::newRow("illegal instruction") << QByteArray("ill") << int(SIGILL);
    }

    void signalsWithoutAccessLine()
    {
        QFETCH(QByteArray, mode);
        QFETCH(int, sig);
        const QString dir = freshDir(QString::fromLatin1(mode));
        const Child c = runChild(mode, dir);
        QCOMPARE(c.signal, sig);
        QVERIFY2(
            c.report.contains("\nException Code:  " + hex(quint64(sig), 8) + "\nInstruction:  "),
            qPrintable(c.report));
        QVERIFY(!c.report.contains(" Address:  "));
        QVERIFY(c.report.contains("\nCall Stack:\n"));
    }

    void busErrorHasAccessLine()
    {
        const QString dir = freshDir("bus");
        const Child c = runChild("bus", dir);
        QCOMPARE(c.signal, SIGBUS);
        QVERIFY2(c.report.contains("\nException Code:  00000007\nRead Address:  "),
                 qPrintable(c.report));
    }

    void faultInSystemLibraryNamesIt()
    {
        Dl_info info;
        QVERIFY(dladdr(reinterpret_cast<void *>(&strverscmp), &info));
        const QString lib = QFileInfo(info.dli_fname).fileName();
        QVERIFY(lib.startsWith("libc"));

        const QString dir = freshDir("libc");
        const Child c = runChild("libc", dir);
        QCOMPARE(c.signal, SIGSEGV);
        QVERIFY2(c.report.contains("   Module: " + lib + "\nException Code:  0000000B\nRead"),
                 qPrintable(c.report));
        // The caller in the program is still found below the library's frame.
        const QList<Frame> stack = callStack(c.report);
        QVERIFY(stack.size() >= 2);
        QCOMPARE(stack[0].module, lib);
        QVERIFY(std::any_of(stack.begin(), stack.end(),
                            [](const Frame &f) { return f.module == childName; }));
    }

    void libraryLoadedLaterIsNamed_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::newRow("not yet in the module list") << QByteArray("late-lib");
        QTest::newRow("module list refreshed") << QByteArray("late-lib-refreshed");
    }

    void libraryLoadedLaterIsNamed()
    {
        QFETCH(QByteArray, mode);
        const QString dir = freshDir(QString::fromLatin1(mode));
        const Child c = runChild(mode, dir);
        if (!c.signaled)
            QSKIP("libbz2 is not installed");
        QVERIFY2(c.report.contains("   Module: libbz2.so"), qPrintable(c.report));
    }

    // A jump to nowhere: the caller is still on the stack.
    void callThroughNullPointer()
    {
        const QString dir = freshDir("callnull");
        const Child c = runChild("call-null", dir);
        QCOMPARE(c.signal, SIGSEGV);
        QVERIFY(c.report.startsWith("Linux:  "));
        QVERIFY(c.report.contains("Exception Addr:  " + hex(0, kAddrDigits) +
                                  "  \nException Code:  0000000B\nRead Address:  " +
                                  hex(0, kAddrDigits) + "\nInstruction:  00 00 00"));
        const QList<Frame> stack = callStack(c.report);
        QVERIFY(stack.size() >= 3);
        QCOMPARE(stack[0].address, 0ull);
        QCOMPARE(stack[1].module, childName);
        if (QStandardPaths::findExecutable("addr2line").isEmpty())
            QSKIP("addr2line is not installed");
        QVERIFY2(anyContains(functionNames(c.report), childName, "callNull"), qPrintable(c.report));
    }

    void secondCrashReplacesFirst()
    {
        const QString dir = freshDir("twice");
        const Child first = runChild("overflow-thread", dir);
        QCOMPARE(first.signal, SIGSEGV);
        const Child second = runChild("abort", dir);
        QCOMPARE(second.signal, SIGABRT);
        QVERIFY(second.report.size() < first.report.size());
        QCOMPARE(second.report.count("Linux:  "), 1);
        QVERIFY(second.report.contains("Exception Code:  00000006"));
        QVERIFY(!second.report.contains("Exception Code:  0000000B"));
        QVERIFY(second.report.endsWith('\n'));
    }

    void reportGoesToWorkingDirectory()
    {
        const QString outer = freshDir("elsewhere");
        const QString inner = freshDir("elsewhere/deeper/still");
        const Child c = runChild("abort", inner);
        QVERIFY(c.hasReport);
        QVERIFY(c.report.contains("Exception Code:  00000006"));
        QVERIFY(!QFile::exists(outer + "/MyApp"));
        QVERIFY(!QFile::exists(outer + "/deeper/MyApp"));
    }

    void stackOverflowInWorkerThread()
    {
        const QString dir = freshDir("overflow");
        const Child c = runChild("overflow-thread", dir);
        QCOMPARE(c.signal, SIGSEGV);
        QVERIFY(c.hasReport);
        QVERIFY(c.report.contains("\nException Code:  0000000B\nWrite Address:  "));
        const QList<Frame> stack = callStack(c.report);
        const auto own = std::count_if(stack.begin(), stack.end(),
                                       [](const Frame &f) { return f.module == childName; });
        QVERIFY2(own >= 100, qPrintable(c.report.left(2000)));
        QVERIFY(stack.size() <= 256);
    }

    void stackNamesProgramAndQtFunctions()
    {
        const QString dir = freshDir("slot");
        const Child c = runChild("qt-slot", dir);
        QCOMPARE(c.signal, SIGSEGV);
        const QList<Frame> stack = callStack(c.report);
        const auto own = std::count_if(stack.begin(), stack.end(),
                                       [](const Frame &f) { return f.module == childName; });
        QVERIFY2(own >= 3, qPrintable(c.report));
        QVERIFY(std::any_of(stack.begin(), stack.end(),
                            [](const Frame &f) { return f.module.startsWith("libQt5Core"); }));
        if (QStandardPaths::findExecutable("addr2line").isEmpty())
            QSKIP("addr2line is not installed");
        const QStringList names = functionNames(c.report);
        QVERIFY2(anyContains(names, childName, "crashInSlot"), qPrintable(names.join('\n')));
        QVERIFY2(anyContains(names, childName, "main"), qPrintable(names.join('\n')));
        QVERIFY2(anyContains(names, "libQt5Core", "::exec"), qPrintable(names.join('\n')));
    }

    // The signal sent by hand to a program idling in its event loop.
    void killedProgramLeavesReadableReport()
    {
        const QString dir = freshDir("kill");
        const Child c = runChild("wait", dir, "ready\n", SIGSEGV);
        QCOMPARE(c.signal, SIGSEGV);
        QVERIFY(c.report.contains("\nException Code:  0000000B\nInstruction:  "));
        QVERIFY(!c.report.contains(" Address:  "));
        if (QStandardPaths::findExecutable("addr2line").isEmpty())
            QSKIP("addr2line is not installed");
        const QStringList names = functionNames(c.report);
        QVERIFY2(anyContains(names, childName, "main"), qPrintable(c.report + names.join('\n')));
        QVERIFY2(anyContains(names, "libQt5Core", "QCoreApplication::exec"),
                 qPrintable(c.report + names.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
