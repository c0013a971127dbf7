// Crash reports of a child process that faults on purpose, read back from
// MyApp/crash.log in the child's working directory.
#include "crashreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

const int AddrDigits = int(sizeof(void *) * 2);
const QString childName = QFileInfo(CRASH_CHILD_PATH).fileName();

struct Child
{
    int signal = -1;
    QByteArray output;
    QString report;
};

// Runs crash_child MODE in dir and collects its output, signal and report.
Child runChild(const QByteArray &mode, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(CRASH_CHILD_PATH, {QString::fromLatin1(mode)});
    p.waitForFinished(120000);
    Child c;
    c.signal = p.exitStatus() == QProcess::CrashExit ? p.exitCode() : -1; // the signal's number
    c.output = p.readAllStandardOutput();
    QFile f(dir + "/MyApp/crash.log");
    if (f.open(QFile::ReadOnly))
        c.report = QString::fromUtf8(f.readAll());
    return c;
}

QString hex(quint64 v, int digits = AddrDigits)
{
    return QString::number(v, 16).toUpper().rightJustified(digits, '0');
}

// The lines of the report's call stack: "ADDRESS  module".
QStringList callStack(const QString &report)
{
    const int from = report.indexOf("\nCall Stack:\n") + 13, to = report.indexOf("\n\nModules:");
    return from < 13 || to < from ? QStringList()
                                  : report.mid(from, to - from).split('\n', Qt::SkipEmptyParts);
}

int ownFrames(const QStringList &stack)
{
    return stack.filter("  " + childName).size();
}

// Permission bits of a file itself (a link is not followed); -1 when missing.
int modeOf(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QFile::ReadOnly) ? f.readAll() : QByteArray();
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
        // The children's sanitizer runtime must leave the fatal signals to the handler.
        QByteArray asan = qgetenv("ASAN_OPTIONS");
        if (!asan.isEmpty())
            asan += ':';
        asan += "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:"
                "allow_user_segv_handler=1";
        qputenv("ASAN_OPTIONS", asan);
    }

    void nullWriteReportsWriteAndAddress()
    {
        const Child c = runChild("write-null", freshDir("write"));
        QCOMPARE(c.signal, SIGSEGV);
        const QStringList lines = c.report.split('\n');
        struct utsname uts;
        QCOMPARE(uname(&uts), 0);
        unsigned long v[3];
        CrashReport::parseRelease(uts.release, v);
        QCOMPARE(lines.value(0),
                 QString("Linux:  %1.%2.%3, SP 0.0, Product Type 0").arg(v[0]).arg(v[1]).arg(v[2]));
        QCOMPARE(lines.value(1), "Process:  " + QFileInfo(CRASH_CHILD_PATH).canonicalFilePath());
        const QString pc = lines.value(2).section("  ", 1, 1);
        QCOMPARE(lines.value(2), "Exception Addr:  " + pc + "   Module: " + childName);
        QCOMPARE(lines.value(3), QString("Exception Code:  0000000B"));
        QCOMPARE(lines.value(4), "Write Address:  " + hex(0));
        QCOMPARE(lines.value(5).size(), int(strlen("Instruction: ")) + 16 * 3);
        QCOMPARE(lines.value(6), QString("Registers: "));
#if defined(__x86_64__)
        QVERIFY(lines.value(5).startsWith("Instruction:  48 89 04 25 00 00 00 00"));
        QVERIFY(lines.value(7).startsWith("RAX: 1122334455667788  RBX: 0123456789ABCDEF  RCX: "));
        QVERIFY(lines.value(11).startsWith("RIP: " + pc + "  RFlags: "));
        QCOMPARE(lines.value(12), QString("Call Stack:"));
#endif
        // The stack starts at the fault, in the program's own executable.
        QCOMPARE(callStack(c.report).value(0), pc + "  " + childName);
    }

    void unmappedReadReportsRead()
    {
        const Child c = runChild("read-unmapped", freshDir("read"));
        QCOMPARE(c.signal, SIGSEGV);
        bool ok = false;
        const quint64 addr = c.output.trimmed().toULongLong(&ok, 16);
        QVERIFY2(ok && addr, c.output.constData());
        QVERIFY2(c.report.contains("\nRead Address:  " + hex(addr) + "\n"), qPrintable(c.report));
        QVERIFY(!c.report.contains("Write Address"));
    }

    // Run two folders down: the report lands there and nowhere above.
    void abortHasNoAccessLine()
    {
        const QString outer = freshDir("abort");
        const Child c = runChild("abort", freshDir("abort/deeper/still"));
        QCOMPARE(c.signal, SIGABRT);
        QVERIFY2(c.report.contains("\nException Code:  00000006\nInstruction:  "),
                 qPrintable(c.report));
        QVERIFY(!c.report.contains(" Address:  "));
        QVERIFY(c.report.contains("\nCall Stack:\n"));
        QVERIFY(!QFile::exists(outer + "/MyApp"));
        QVERIFY(!QFile::exists(outer + "/deeper/MyApp"));
    }

    void faultInSystemLibraryNamesIt()
    {
        Dl_info info;
        QVERIFY(dladdr(reinterpret_cast<void *>(&strverscmp), &info));
        const QString lib = QFileInfo(info.dli_fname).fileName();
        QVERIFY(lib.startsWith("libc"));
        const Child c = runChild("libc", freshDir("libc"));
        QCOMPARE(c.signal, SIGSEGV);
        QVERIFY2(c.report.contains("   Module: " + lib + "\nException Code:  0000000B\nRead"),
                 qPrintable(c.report));
        // The caller in the program is still found below the library's frame.
        const QStringList stack = callStack(c.report);
        QVERIFY2(stack.value(0).endsWith("  " + lib), qPrintable(c.report));
        QVERIFY(ownFrames(stack) >= 1);
    }

    // A worker thread's overflow still reports; a second crash replaces it.
    void overflowThenSecondCrashReplacesFirst()
    {
        const QString dir = freshDir("twice");
        const Child first = runChild("overflow-thread", dir);
        QCOMPARE(first.signal, SIGSEGV);
        QVERIFY(first.report.contains("\nException Code:  0000000B\nWrite Address:  "));
        const QStringList stack = callStack(first.report);
        QVERIFY2(ownFrames(stack) >= 100, qPrintable(first.report.left(2000)));
        QVERIFY(stack.size() <= 256);

        const Child second = runChild("abort", dir);
        QCOMPARE(second.signal, SIGABRT);
        QVERIFY(second.report.size() < first.report.size());
        QCOMPARE(second.report.count("Linux:  "), 1);
        QVERIFY(second.report.contains("Exception Code:  00000006"));
        QVERIFY(!second.report.contains("Exception Code:  0000000B"));
        QVERIFY(second.report.endsWith('\n'));
        QCOMPARE(modeOf(dir + "/MyApp/crash.log"), 0600);
    }

    // Links planted at the report's name, or at its folder, in a shared
    // working directory: the files they point at are left alone.
    void plantedLinksAreNotFollowed()
    {
        const QString dir = freshDir("planted");
        const QString victim = dir + "/victim.txt";
        QFile v(victim);
        QVERIFY(v.open(QFile::WriteOnly) && v.write("someone else's file\n") > 0);
        v.close();
        QVERIFY(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QDir(dir).mkdir("MyApp"));
        QCOMPARE(symlink(QFile::encodeName(victim).constData(),
                         QFile::encodeName(dir + "/MyApp/crash.log").constData()),
                 0);
        const Child c = runChild("abort", dir);
        QCOMPARE(c.signal, SIGABRT);
        QCOMPARE(contentOf(victim), QByteArray("someone else's file\n"));
        QCOMPARE(modeOf(victim), 0644);
        // The report took the link's place, readable by its owner only.
        QVERIFY(!QFileInfo(dir + "/MyApp/crash.log").isSymLink());
        QVERIFY(c.report.contains("Exception Code:  00000006"));
        QCOMPARE(modeOf(dir + "/MyApp/crash.log"), 0600);

        const QString folderLink = freshDir("planted-folder");
        const QString elsewhere = freshDir("elsewhere");
        QCOMPARE(symlink(QFile::encodeName(elsewhere).constData(),
                         QFile::encodeName(folderLink + "/MyApp").constData()),
                 0);
        QCOMPARE(runChild("abort", folderLink).signal, SIGABRT);
        QVERIFY(!QFile::exists(elsewhere + "/crash.log"));
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
