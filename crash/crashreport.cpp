#include "crashreport.h"

// The fault handler these serve is the Linux one.
#if defined(__linux__)

#include "moduletable.h"
#include "safememory.h"
#include "stackwalk.h"

#include <sys/utsname.h>
#include <ucontext.h>

namespace CrashReport {

namespace {

constexpr int AddrDigits = int(sizeof(uintptr_t) * 2);
constexpr int MaxFrames = 256;
constexpr int MaxListedModules = 64;

uintptr_t frames[MaxFrames];
const char *listed[MaxListedModules];
uintptr_t listedBias[MaxListedModules];
int listedCount;

void remember(const ModuleTable::Hit &hit)
{
    for (int i = 0; i < listedCount; ++i)
        if (listed[i] == hit.path)
            return;
    if (listedCount < MaxListedModules) {
        listed[listedCount] = hit.path;
        listedBias[listedCount] = hit.bias;
        ++listedCount;
    }
}

// Appends the module's file name (no folder) after prefix when addr lies in
// a named module.
void addModuleName(ReportBuffer &b, uintptr_t addr, const char *prefix)
{
    ModuleTable::Hit hit;
    if (!ModuleTable::lookup(addr, &hit) || !hit.path || !hit.path[0])
        return;
    b.add(prefix);
    b.add(baseName(hit.path));
    remember(hit);
}

struct Registers
{
    bool valid = false;
    StackWalk::Start start{0, 0, 0};
    bool writeKnown = false;
    bool write = false;
};

Registers readRegisters(const void *ucontext)
{
    Registers r;
#if defined(__x86_64__)
    if (ucontext) {
        const auto *uc = static_cast<const ucontext_t *>(ucontext);
        const greg_t *g = uc->uc_mcontext.gregs;
        r.valid = true;
        r.start = {uintptr_t(g[REG_RIP]), uintptr_t(g[REG_RSP]), uintptr_t(g[REG_RBP])};
        // Page faults (trap 14) say in bit 1 of the error code whether the
        // access was a write.
        r.writeKnown = g[REG_TRAPNO] == 14;
        r.write = (g[REG_ERR] & 2) != 0;
    }
#else
    (void)ucontext;
#endif
    return r;
}

void addRegister(ReportBuffer &b, const char *name, uint64_t value, bool first)
{
    if (!first)
        b.add("  ");
    b.add(name);
    b.add(": ");
    b.addHex(value, 16);
}

// The register block; on other processors the fields stay 0.
void addRegisters(ReportBuffer &b, const void *ucontext)
{
    // clang-format off
    static const char *const names[5][4] = {
        {"RAX", "RBX", "RCX", "RDX"},
        {"RSI", "RDI", "RSP", "RBP"},
        {"R8", "R9", "R10", "R11"},
        {"R12", "R13", "R14", "R15"},
        {"RIP", "RFlags", nullptr, nullptr},
    };
    // clang-format on
    uint64_t values[5][4] = {};
#if defined(__x86_64__)
    if (ucontext) {
        const greg_t *g = static_cast<const ucontext_t *>(ucontext)->uc_mcontext.gregs;
        // clang-format off
        const int order[5][4] = {
            {REG_RAX, REG_RBX, REG_RCX, REG_RDX},
            {REG_RSI, REG_RDI, REG_RSP, REG_RBP},
            {REG_R8, REG_R9, REG_R10, REG_R11},
            {REG_R12, REG_R13, REG_R14, REG_R15},
            {REG_RIP, REG_EFL, -1, -1},
        };
        // clang-format on
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 4; ++col)
                if (order[row][col] >= 0)
                    values[row][col] = uint64_t(g[order[row][col]]);
    }
#else
    (void)ucontext;
#endif
    b.add("\nRegisters: ");
    for (int row = 0; row < 5; ++row) {
        b.addChar('\n');
        for (int col = 0; col < 4 && names[row][col]; ++col)
            addRegister(b, names[row][col], values[row][col], col == 0);
    }
}

void addInstructionBytes(ReportBuffer &b, uintptr_t pc)
{
    uint8_t code[16] = {};
    if (!SafeMemory::read(code, pc, sizeof code)) {
        // Code may end at a page boundary: take what is readable.
        for (size_t i = 0; i < sizeof code; ++i)
            if (!SafeMemory::read(&code[i], pc + i, 1))
                code[i] = 0;
    }
    b.add("Instruction: ");
    for (uint8_t byte : code) {
        b.addChar(' ');
        b.addHex(byte, 2);
    }
}

} // namespace

void parseRelease(const char *release, unsigned long parts[3])
{
    parts[0] = parts[1] = parts[2] = 0;
    const char *p = release;
    for (int i = 0; i < 3; ++i) {
        if (*p < '0' || *p > '9')
            return;
        unsigned long v = 0;
        while (*p >= '0' && *p <= '9' && v < 100000000UL)
            v = v * 10 + unsigned(*p++ - '0');
        parts[i] = v;
        if (*p != '.')
            return;
        ++p;
    }
}

void addSystemLine(ReportBuffer &b)
{
    // The kernel release stands in for the version numbers; a Linux system
    // has no service pack or product type, so those fields are 0.
    unsigned long version[3] = {0, 0, 0};
    struct utsname uts;
    if (uname(&uts) == 0)
        parseRelease(uts.release, version);
    b.add("Linux:  ");
    b.addDec(version[0]);
    b.addChar('.');
    b.addDec(version[1]);
    b.addChar('.');
    b.addDec(version[2]);
    b.add(", SP 0.0, Product Type 0\n");
}

size_t build(char *out, size_t capacity, int sig, const siginfo_t *info, const void *ucontext)
{
    ReportBuffer b(out, capacity);
    listedCount = 0;
    ModuleTable::beginReport();

    addSystemLine(b);
    b.add("Process:  ");
    b.add(ModuleTable::executablePath());
    b.addChar('\n');

    const Registers regs = readRegisters(ucontext);
    if (info) {
        b.add("Exception Addr:  ");
        b.addHex(regs.start.pc, AddrDigits);
        b.add("  ");
        addModuleName(b, regs.start.pc, " Module: ");
        b.add("\nException Code:  ");
        b.addHex(uint32_t(sig), 8);
        b.addChar('\n');
        // Only a fault the processor raised touched memory; the same signal
        // sent by kill() did not.
        if ((sig == SIGSEGV || sig == SIGBUS) && info->si_code > 0) {
            b.add(regs.writeKnown && regs.write ? "Write" : "Read");
            b.add(" Address:  ");
            b.addHex(uintptr_t(info->si_addr), AddrDigits);
            b.addChar('\n');
        }
        addInstructionBytes(b, regs.start.pc);
        addRegisters(b, ucontext);
    }

    b.add("\nCall Stack:");
    StackWalk::Start from = regs.start;
    if (!regs.valid) {
        // Nothing to go by but where the report is being built.
        from.pc = uintptr_t(__builtin_return_address(0));
        from.sp = from.fp = uintptr_t(__builtin_frame_address(0));
    }
    const int count = StackWalk::walk(from, frames, MaxFrames);
    for (int i = 0; i < count; ++i) {
        b.addChar('\n');
        b.addHex(frames[i], AddrDigits);
        b.add("  ");
        addModuleName(b, frames[i], "");
    }

    // Load addresses, so that addr2line can name the functions of the frames
    // above: the address in the file is the frame minus the module's bias.
    b.add("\n\nModules:");
    for (int i = 0; i < listedCount; ++i) {
        b.addChar('\n');
        b.addHex(listedBias[i], AddrDigits);
        b.add("  ");
        b.add(listed[i]);
    }
    b.addChar('\n');
    ModuleTable::endReport();
    return b.size();
}

} // namespace CrashReport

#endif
